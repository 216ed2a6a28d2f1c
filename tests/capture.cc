#include "tests/capture.h"

#include <sys/mman.h>
#include <unistd.h>

#include "link/output.h"

std::string capture_output(const std::function<void()>& body, bool terminal) {
  int fd = memfd_create("captured-output", MFD_CLOEXEC);
  output_init(fd, terminal);
  body();
  output_flush();
  output_init(1, false);
  std::string text;
  char buffer[65536];
  ssize_t got;
  lseek(fd, 0, SEEK_SET);
  while ((got = read(fd, buffer, sizeof buffer)) > 0)
    text.append(buffer, static_cast<size_t>(got));
  close(fd);
  return text;
}
