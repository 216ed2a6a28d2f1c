// The client's standard output: one buffer, flushed before every wait, where
// the client's own text goes as it is and the server's is made safe for a
// terminal.
#ifndef ZENOTAR_TERM_OUTPUT_H_
#define ZENOTAR_TERM_OUTPUT_H_

#include <stddef.h>

/// Sends output to standard output (nowhere when it was closed at start),
/// escaping server text where standard output is a terminal.
void output_start(bool standard_output_open);

/// Sends output to fd; when terminal is true, server text is escaped.
void output_init(int fd, bool terminal);

/// True when output goes to a terminal, as output_start found.
bool output_is_terminal();

/// Appends text of the client's own, as it is.
void output_own(const char* data, size_t size);

/// Appends zero-terminated text of the client's own, as it is.
void output_own_string(const char* text);

/// Appends server text: exact bytes, or control bytes made visible on a terminal.
void output_server_text(const char* data, size_t size);

/// Writes out all pending output; on failure tells standard error and exits 1.
void output_flush();

/// Writes all of data to fd, waiting out EINTR and a non-blocking
/// descriptor; returns 0, or -1 with errno set.
int write_all(int fd, const char* data, size_t size);

#endif  // ZENOTAR_TERM_OUTPUT_H_
