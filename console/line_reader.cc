// Reading command lines: at most 79 characters are kept, the rest of an
// over-long line is read and dropped, and the end of input is remembered.

#include "console/line_reader.h"

#include <errno.h>
#include <poll.h>
#include <string.h>
#include <unistd.h>

#include "term/output.h"

namespace {

/// Refills the reader's buffer; returns false at the end of input or on failure.
bool fill(LineReader* reader) {
  if (reader->ended)
    return false;
  output_flush();
  for (;;) {
    ssize_t got = read(reader->fd, reader->buffer, sizeof reader->buffer);
    if (got > 0) {
      reader->start = 0;
      reader->end = static_cast<size_t>(got);
      return true;
    }
    if (got < 0 && errno == EINTR)
      continue;
    if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      pollfd ready = {reader->fd, POLLIN, 0};
      poll(&ready, 1, -1);
      continue;
    }
    reader->ended = true;
    reader->read_errno = got < 0 ? errno : 0;
    return false;
  }
}

}  // namespace

void clear_line(CommandLine* line) {
  line->text[0] = '\0';
  line->length = 0;
  line->typed = 0;
  line->zero = false;
}

void append_to_line(CommandLine* line, const char* chunk, size_t size) {
  size_t room = COMMAND_LINE_SIZE - 1 - line->length;
  size_t kept = size < room ? size : room;
  memcpy(line->text + line->length, chunk, kept);
  line->length += kept;
  line->text[line->length] = '\0';
  line->typed += size;
  line->zero = line->zero || memchr(chunk, '\0', size) != nullptr;
}

LineStatus line_status(const CommandLine& line) {
  if (line.typed > COMMAND_LINE_SIZE - 1)
    return LINE_TOO_LONG;
  return line.zero ? LINE_ZERO_BYTE : LINE_COMMAND;
}

void line_reader_init(LineReader* reader, int fd) {
  reader->fd = fd;
  reader->start = 0;
  reader->end = 0;
  reader->ended = false;
  reader->read_errno = 0;
}

LineStatus read_command_line(LineReader* reader, CommandLine* line) {
  clear_line(line);
  bool started = false;
  for (;;) {
    if (reader->start == reader->end && !fill(reader)) {
      if (!started) {
        errno = reader->read_errno;
        return reader->read_errno != 0 ? LINE_FAILED : LINE_END;
      }
      break;  // a last line without its newline
    }
    started = true;
    const char* chunk = reader->buffer + reader->start;
    size_t available = reader->end - reader->start;
    const char* newline = static_cast<const char*>(memchr(chunk, '\n', available));
    size_t size = newline ? static_cast<size_t>(newline - chunk) : available;
    append_to_line(line, chunk, size);
    reader->start += newline ? size + 1 : size;
    if (newline)
      break;
  }
  return line_status(*line);
}
