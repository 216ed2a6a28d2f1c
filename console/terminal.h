// The terminal a person edits lines on: its modes, kept safe from every way
// the client can end or stop, and the signals that reach it while it edits.
// Nothing here is used when the client reads from a pipe or a file.
#ifndef ZENOTAR_CONSOLE_TERMINAL_H_
#define ZENOTAR_CONSOLE_TERMINAL_H_

/// Saves the modes of the terminal at fd, restores them at exit and before
/// SIGTERM, SIGHUP or SIGQUIT end the client or SIGTSTP stops it (taking the
/// modes of the moment back on resume), and catches SIGINT, SIGWINCH and
/// SIGCONT for the editor and the exchanges; false when fd is no terminal.
bool terminal_guard_start(int fd);

/// Puts the saved modes back; safe in a signal handler.
void terminal_restore();

/// Ends the client as the signal would (the terminal restored first):
/// sent to the whole process group when group is true, as a key the
/// terminal itself turns into a signal would be.
[[noreturn]] void terminal_end_by_signal(int signal_number, bool group);

/// Stops the client (its whole process group where group is true, as
/// Ctrl-Z does), the terminal restored while it is stopped and its modes of
/// the moment taken back when it goes on.
void terminal_suspend(bool group);

/// A descriptor that is readable once SIGINT has come, until drained.
int terminal_interrupt_fd();

/// A descriptor that is readable once SIGWINCH or SIGCONT has come.
int terminal_event_fd();

/// Reads a wake-up descriptor empty; true when anything was in it.
bool terminal_drain(int fd);

/// What came since the events were last taken: a resize, a resume.
struct TerminalEvents {
  bool resized;
  bool continued;
};

/// Takes the events that came and clears them.
TerminalEvents terminal_take_events();

#endif  // ZENOTAR_CONSOLE_TERMINAL_H_
