#include "tests/capture.h"

#include <sys/mman.h>
#include <unistd.h>

#include "term/escape.h"
#include "term/output.h"

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

std::string escaped(const std::string& text) {
  std::string out(text.size() * ESCAPED_BYTE_MAX, '\0');
  out.resize(escape_for_terminal(text.data(), text.size(), out.data()));
  return out;
}
