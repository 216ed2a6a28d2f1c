// The client's output buffer.

#include "term/output.h"

#include <errno.h>
#include <poll.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "term/escape.h"
#include "term/report.h"

namespace {

constexpr size_t OUTPUT_BUFFER_SIZE = 64 * 1024;
/// Server text is escaped in slices small enough that the worst case fits.
constexpr size_t ESCAPE_SLICE = 1024;

char output_buffer[OUTPUT_BUFFER_SIZE];
size_t output_used = 0;
int output_fd = 1;
bool output_terminal = false;

}  // namespace

int write_all(int fd, const char* data, size_t size) {
  while (size > 0) {
    ssize_t done = write(fd, data, size);
    if (done < 0) {
      if (errno == EINTR)
        continue;
      if (errno == EAGAIN || errno == EWOULDBLOCK) {
        pollfd ready = {fd, POLLOUT, 0};
        poll(&ready, 1, -1);
        continue;
      }
      return -1;
    }
    data += done;
    size -= static_cast<size_t>(done);
  }
  return 0;
}

void output_start(bool standard_output_open) {
  output_init(standard_output_open ? 1 : -1, standard_output_open && isatty(1) == 1);
}

void output_init(int fd, bool terminal) {
  output_fd = fd;
  output_terminal = terminal;
}

bool output_is_terminal() {
  return output_terminal;
}

void output_flush() {
  if (output_used == 0)
    return;
  size_t pending = output_used;
  output_used = 0;
  if (write_all(output_fd, output_buffer, pending) < 0) {
    report_failure("Can't write to standard output");
    exit(1);
  }
}

void output_own(const char* data, size_t size) {
  while (size > 0) {
    if (output_used == OUTPUT_BUFFER_SIZE)
      output_flush();
    size_t room = OUTPUT_BUFFER_SIZE - output_used;
    size_t part = size < room ? size : room;
    memcpy(output_buffer + output_used, data, part);
    output_used += part;
    data += part;
    size -= part;
  }
}

void output_own_string(const char* text) {
  output_own(text, strlen(text));
}

void output_server_text(const char* data, size_t size) {
  if (!output_terminal) {
    output_own(data, size);
    return;
  }
  while (size > 0) {
    if (OUTPUT_BUFFER_SIZE - output_used < ESCAPED_BYTE_MAX * (ESCAPE_SLICE + 1))
      output_flush();
    size_t part = size <= ESCAPE_SLICE ? size : utf8_cut(data, ESCAPE_SLICE);
    output_used += escape_for_terminal(data, part, output_buffer + output_used);
    data += part;
    size -= part;
  }
}
