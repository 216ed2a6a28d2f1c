// The property check of the fuzz targets.
#ifndef ZENOTAR_FUZZ_CHECK_H_
#define ZENOTAR_FUZZ_CHECK_H_

#include <stdio.h>
#include <stdlib.h>

/// Stops the run, naming the property that failed and where.
inline void check_property(bool holds, const char* property, const char* file, int line) {
  if (holds)
    return;
  fprintf(stderr, "%s:%d: property failed: %s\n", file, line, property);
  abort();
}

#define check(property) check_property((property), #property, __FILE__, __LINE__)

#endif  // ZENOTAR_FUZZ_CHECK_H_
