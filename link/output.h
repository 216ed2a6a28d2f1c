// Standard output and standard error of the client: one buffer, flushed
// before every wait, and server text made safe for a terminal.
#ifndef ZENOTAR_LINK_OUTPUT_H_
#define ZENOTAR_LINK_OUTPUT_H_

#include <stddef.h>

/// Sends output to fd; when terminal is true, server text is escaped.
void output_init(int fd, bool terminal);

/// Appends the client's own text, as it is.
void output_raw(const char* data, size_t size);

/// Appends zero-terminated text of the client's own, as it is.
void output_string(const char* text);

/// Appends server text: exact bytes, or control bytes made visible on a terminal.
void output_text(const char* data, size_t size);

/// Writes out all pending output; on failure tells standard error and exits 1.
void output_flush();

/// Flushes standard output, then writes one line (with its newline) to standard error.
void report_error(const char* line);

/// Flushes standard output and ends the process with status.
[[noreturn]] void exit_client(int status);

/// Writes the terminal-safe form of data to out (room for 4 bytes per input
/// byte) and returns its length: C0 and C1 controls other than newline, CR and
/// tab, DEL and bytes that are not valid UTF-8 become \xHH, and the
/// bidirectional controls (U+202A to U+202E, U+2066 to U+2069) \uHHHH.
size_t escape_for_terminal(const char* data, size_t size, char* out);

#endif  // ZENOTAR_LINK_OUTPUT_H_
