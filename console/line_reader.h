// Reading command lines from standard input into a fixed buffer.
#ifndef ZENOTAR_CONSOLE_LINE_READER_H_
#define ZENOTAR_CONSOLE_LINE_READER_H_

#include <stddef.h>

/// Room for one command of at most 79 characters and its zero byte.
inline constexpr size_t COMMAND_LINE_SIZE = 80;

/// What one read of a line found.
enum LineStatus {
  LINE_COMMAND,    ///< a line of at most 79 characters, in text
  LINE_TOO_LONG,   ///< a longer line, discarded; its first 79 characters are in text
  LINE_ZERO_BYTE,  ///< a line holding a zero byte, which no command can carry
  LINE_END,        ///< the end of input: no line
  LINE_FAILED,     ///< the input could not be read; errno says why
};

/// One line as read: its first characters (at most 79, zero-terminated) and their count.
struct CommandLine {
  char text[COMMAND_LINE_SIZE];
  size_t length;
};

/// The input of the console: a descriptor and what was read ahead from it.
struct LineReader {
  int fd;
  size_t start;
  size_t end;
  bool ended;
  int read_errno;
  char buffer[4096];
};

/// Sets reader up to read lines from fd.
void line_reader_init(LineReader* reader, int fd);

/// Reads the next line without its newline; a last line without one counts.
/// Pending output is flushed before the reader can block.
LineStatus read_command_line(LineReader* reader, CommandLine* line);

#endif  // ZENOTAR_CONSOLE_LINE_READER_H_
