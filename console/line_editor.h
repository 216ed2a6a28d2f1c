// Line editing and in-session history for command lines typed at a terminal.
#ifndef ZENOTAR_CONSOLE_LINE_EDITOR_H_
#define ZENOTAR_CONSOLE_LINE_EDITOR_H_

#include "console/line_reader.h"

/// Sets up line editing on the terminal at fd with prompt; false when fd or
/// standard output is no terminal, or the client was built without libedit.
bool line_editor_start(int fd, const char* prompt);

/// Shows the prompt and reads one edited line, as read_command_line does;
/// non-empty lines go into the history unless they repeat the last one.
LineStatus edit_command_line(CommandLine* line);

#endif  // ZENOTAR_CONSOLE_LINE_EDITOR_H_
