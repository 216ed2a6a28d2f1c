// The client's output buffer and terminal-safe escaping.

#include "link/output.h"

#include <errno.h>
#include <poll.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

namespace {

constexpr size_t OUTPUT_BUFFER_SIZE = 64 * 1024;

char output_buffer[OUTPUT_BUFFER_SIZE];
size_t output_used = 0;
int output_fd = 1;
bool output_terminal = false;

/// Writes all of data to fd, waiting out EINTR and a non-blocking descriptor;
/// returns 0, or -1 with errno set.
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

/// Length of the valid UTF-8 sequence at data, or 0 when it is not one (or
/// a C1 control); its code point in *code.
size_t utf8_length(const unsigned char* data, size_t size, unsigned* code_point) {
  unsigned char lead = data[0];
  size_t length;
  unsigned min;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, min = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, min = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, min = 0x10000;
  } else {
    return 0;
  }
  if (size < length)
    return 0;
  unsigned code = lead & (0x7F >> length);
  for (size_t i = 1; i < length; ++i) {
    if ((data[i] & 0xC0) != 0x80)
      return 0;
    code = (code << 6) | (data[i] & 0x3F);
  }
  if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
    return 0;
  // U+0080 to U+009F are the C1 controls, whatever their encoding.
  if (code <= 0x9F)
    return 0;
  *code_point = code;
  return length;
}

/// True for the bidirectional embeddings, overrides and isolates, with
/// which a text can be made to read differently from its bytes.
bool is_bidi_control(unsigned code) {
  return (code >= 0x202A && code <= 0x202E) || (code >= 0x2066 && code <= 0x2069);
}

/// Appends \uHHHH for a code point of four hex digits; returns the 6 bytes.
size_t escape_code_point(unsigned code, char* out) {
  static const char hex[] = "0123456789ABCDEF";
  out[0] = '\\';
  out[1] = 'u';
  for (int i = 0; i < 4; ++i)
    out[2 + i] = hex[(code >> (12 - 4 * i)) & 0x0F];
  return 6;
}

/// Appends \xHH for byte to out; returns the 4 bytes written.
size_t escape_byte(unsigned char byte, char* out) {
  static const char hex[] = "0123456789ABCDEF";
  out[0] = '\\';
  out[1] = 'x';
  out[2] = hex[byte >> 4];
  out[3] = hex[byte & 0x0F];
  return 4;
}

/// Moves a cut before data[part] back to the lead byte of a UTF-8 sequence
/// that would reach past it, so that escaping in slices sees what escaping the
/// whole text sees. A lead byte always starts a character of its own.
size_t utf8_cut(const char* data, size_t part) {
  for (size_t k = 1; k <= 3 && k <= part; ++k) {
    unsigned char byte = static_cast<unsigned char>(data[part - k]);
    if (byte < 0x80)
      return part;
    if (byte >= 0xC0) {
      size_t length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : 2;
      return length > k ? part - k : part;
    }
  }
  return part;
}

}  // namespace

size_t escape_for_terminal(const char* data, size_t size, char* out) {
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(data);
  size_t written = 0;
  size_t i = 0;
  while (i < size) {
    unsigned char byte = bytes[i];
    if ((byte >= 0x20 && byte < 0x7F) || byte == '\n' || byte == '\r' || byte == '\t') {
      out[written++] = static_cast<char>(byte);
      ++i;
      continue;
    }
    unsigned code = 0;
    size_t length = byte >= 0x80 ? utf8_length(bytes + i, size - i, &code) : 0;
    if (length == 0) {
      written += escape_byte(byte, out + written);
      ++i;
      continue;
    }
    if (is_bidi_control(code)) {
      written += escape_code_point(code, out + written);
      i += length;
      continue;
    }
    memcpy(out + written, bytes + i, length);
    written += length;
    i += length;
  }
  return written;
}

void output_init(int fd, bool terminal) {
  output_fd = fd;
  output_terminal = terminal;
}

void output_flush() {
  if (output_used == 0)
    return;
  size_t pending = output_used;
  output_used = 0;
  if (write_all(output_fd, output_buffer, pending) < 0) {
    char line[160] = "Can't write to standard output: ";
    strncat(line, strerror(errno), sizeof line - strlen(line) - 1);
    report_error(line);
    exit(1);
  }
}

void output_raw(const char* data, size_t size) {
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

void output_string(const char* text) {
  output_raw(text, strlen(text));
}

void output_text(const char* data, size_t size) {
  if (!output_terminal) {
    output_raw(data, size);
    return;
  }
  // Escape in slices small enough that the worst case always fits the buffer.
  constexpr size_t SLICE = 1024;
  while (size > 0) {
    if (OUTPUT_BUFFER_SIZE - output_used < 4 * SLICE + 4)
      output_flush();
    size_t part = size <= SLICE ? size : utf8_cut(data, SLICE);
    output_used += escape_for_terminal(data, part, output_buffer + output_used);
    data += part;
    size -= part;
  }
}

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

void exit_client(int status) {
  output_flush();
  exit(status);
}
