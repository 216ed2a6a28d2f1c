// The terminal guard. The editor puts the terminal in raw mode while it
// reads a line; a client that ended or stopped then would leave it so, with
// no echo and no line editing, under any parent that does not reset it (dash,
// a script, a wrapper). So the modes from before the start are put back at
// exit, in the handlers of the signals that end the client, and while it is
// stopped. SIGINT, SIGWINCH and SIGCONT only set flags and wake the waits
// through a pipe each, so that nothing waits forever on their account.

#include "console/terminal.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <termios.h>

#include <initializer_list>
#include <unistd.h>

namespace {

int terminal_fd = -1;
termios saved_modes;
int interrupt_pipe[2] = {-1, -1};
int event_pipe[2] = {-1, -1};
volatile sig_atomic_t resized = 0;
volatile sig_atomic_t continued = 0;

void wake(int fd) {
  int saved = errno;
  ssize_t ignored = write(fd, "!", 1);  // a full pipe is awake already
  (void)ignored;
  errno = saved;
}

void on_interrupt(int) {
  wake(interrupt_pipe[1]);
}

void on_event(int signal_number) {
  if (signal_number == SIGWINCH)
    resized = 1;
  else
    continued = 1;
  wake(event_pipe[1]);
}

void on_fatal(int signal_number) {
  terminal_end_by_signal(signal_number, false);
}

void on_stop(int) {
  terminal_suspend(false);
}

void catch_signal(int signal_number, void (*handler)(int), int flags) {
  struct sigaction action = {};
  action.sa_handler = handler;
  action.sa_flags = flags;
  sigemptyset(&action.sa_mask);
  sigaction(signal_number, &action, nullptr);
}

bool open_wake_pipe(int fds[2]) {
  return pipe2(fds, O_CLOEXEC | O_NONBLOCK) == 0;
}

/// Lets signal_number through and gives it its default action.
void default_action(int signal_number) {
  signal(signal_number, SIG_DFL);
  sigset_t only;
  sigemptyset(&only);
  sigaddset(&only, signal_number);
  sigprocmask(SIG_UNBLOCK, &only, nullptr);
}

void restore_at_exit() {
  terminal_restore();
}

}  // namespace

bool terminal_guard_start(int fd) {
  if (tcgetattr(fd, &saved_modes) != 0)
    return false;
  if (!open_wake_pipe(interrupt_pipe) || !open_wake_pipe(event_pipe))
    return false;
  terminal_fd = fd;
  atexit(restore_at_exit);
  // No SA_RESTART for SIGINT: a wait it interrupts ends, and is seen to.
  catch_signal(SIGINT, on_interrupt, 0);
  catch_signal(SIGWINCH, on_event, SA_RESTART);
  catch_signal(SIGCONT, on_event, SA_RESTART);
  catch_signal(SIGTSTP, on_stop, SA_RESTART);
  for (int fatal : {SIGTERM, SIGHUP, SIGQUIT})
    catch_signal(fatal, on_fatal, 0);
  return true;
}

void terminal_restore() {
  // In the background the terminal is another job's, and its modes too.
  if (terminal_fd >= 0 && tcgetpgrp(terminal_fd) == getpgrp())
    tcsetattr(terminal_fd, TCSADRAIN, &saved_modes);
}

void terminal_end_by_signal(int signal_number, bool group) {
  terminal_restore();
  default_action(signal_number);
  kill(group ? 0 : getpid(), signal_number);
  _exit(128 + signal_number);  // only if the signal did not end the client
}

void terminal_suspend(bool group) {
  int saved = errno;
  termios modes;
  bool have_modes = tcgetattr(terminal_fd, &modes) == 0;
  terminal_restore();
  default_action(SIGTSTP);
  kill(group ? 0 : getpid(), SIGTSTP);  // stops here
  catch_signal(SIGTSTP, on_stop, SA_RESTART);
  if (have_modes)
    tcsetattr(terminal_fd, TCSADRAIN, &modes);
  errno = saved;
}

int terminal_interrupt_fd() {
  return interrupt_pipe[0];
}

int terminal_event_fd() {
  return event_pipe[0];
}

bool terminal_drain(int fd) {
  char bytes[64];
  bool any = false;
  while (fd >= 0 && read(fd, bytes, sizeof bytes) > 0)
    any = true;
  return any;
}

TerminalEvents terminal_take_events() {
  TerminalEvents events = {resized != 0, continued != 0};
  resized = 0;
  continued = 0;
  terminal_drain(event_pipe[0]);
  return events;
}
