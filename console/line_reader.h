// Reading command lines from standard input into a fixed buffer.
#ifndef ZENOTAR_CONSOLE_LINE_READER_H_
#define ZENOTAR_CONSOLE_LINE_READER_H_

#include <stddef.h>

#include "protocol/protocol.h"

/// Room for one command of at most 79 characters and its zero byte.
inline constexpr size_t COMMAND_LINE_SIZE = MAX_COMMAND + 1;

/// What one read of a line found.
enum LineStatus {
  LINE_COMMAND,    ///< a line of at most 79 characters, in text
  LINE_TOO_LONG,   ///< a longer line, discarded; its first 79 characters are in text
  LINE_ZERO_BYTE,  ///< a line holding a zero byte, which no command can carry
  LINE_END,        ///< the end of input: no line
  LINE_INTERRUPTED,  ///< Ctrl-C dropped the line being typed
  LINE_FAILED,     ///< the input could not be read; errno says why
};

/// One line as read: its first characters (at most 79, zero-terminated),
/// their count, and what the whole line held.
struct CommandLine {
  char text[COMMAND_LINE_SIZE];
  size_t length;
  size_t typed;  ///< characters in the whole line, kept or not
  bool zero;     ///< the line holds a zero byte
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

/// Empties line.
void clear_line(CommandLine* line);

/// Adds size bytes of a line: at most 79 characters are kept, all are counted.
void append_to_line(CommandLine* line, const char* chunk, size_t size);

/// What a whole line is: a command, too long, or holding a zero byte.
LineStatus line_status(const CommandLine& line);

/// Sets reader up to read lines from fd.
void line_reader_init(LineReader* reader, int fd);

/// Reads the next line without its newline; a last line without one counts.
/// Pending output is flushed before the reader can block.
LineStatus read_command_line(LineReader* reader, CommandLine* line);

#endif  // ZENOTAR_CONSOLE_LINE_READER_H_
