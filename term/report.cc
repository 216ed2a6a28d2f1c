// Every message of the client's own on standard error is written here,
// after what standard output still holds, so the two keep their order.

#include "term/report.h"

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "term/output.h"

void report_error(const char* line) {
  output_flush();
  char text[512];
  size_t length = strlen(line);
  if (length > sizeof text - 1)
    length = sizeof text - 1;
  memcpy(text, line, length);
  text[length] = '\n';
  write_all(2, text, length + 1);
}

void report_reason(const char* what, const char* reason) {
  char line[256];
  snprintf(line, sizeof line, "%s: %s", what, reason);
  report_error(line);
}

void report_failure(const char* what) {
  report_reason(what, strerror(errno));
}

void exit_client(int status) {
  output_flush();
  exit(status);
}
