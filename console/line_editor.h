// Line editing and in-session history for command lines typed at a terminal.
#ifndef ZENOTAR_CONSOLE_LINE_EDITOR_H_
#define ZENOTAR_CONSOLE_LINE_EDITOR_H_

#include "console/line_reader.h"

/// Sets up line editing on the terminal at fd with prompt; false when fd or
/// standard output is no terminal, or (saying so on standard error) when
/// libedit cannot be had.
bool line_editor_start(int fd, const char* prompt);

/// Shows the prompt and reads one edited line, as read_command_line does;
/// non-empty lines go into the history unless they repeat the last one.
/// Ctrl-C gives LINE_INTERRUPTED, or on an empty line ends the client.
LineStatus edit_command_line(CommandLine* line);

/// A descriptor that is readable once the user has interrupted (Ctrl-C)
/// while no line is edited; -1 when lines are not edited.
int line_editor_interrupt_fd();

/// Forgets the interrupts that came while a command ran: its exchange has
/// answered them, and a late one must not end the client at the next prompt.
void line_editor_forget_interrupts();

#endif  // ZENOTAR_CONSOLE_LINE_EDITOR_H_
