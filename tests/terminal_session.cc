#include "tests/terminal_session.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utmp.h>

#include <gtest/gtest.h>

#include "tests/run_client.h"
#include "tests/wait.h"

namespace {

bool same_modes(const termios& a, const termios& b) {
  return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
         a.c_lflag == b.c_lflag && memcmp(a.c_cc, b.c_cc, sizeof a.c_cc) == 0;
}

/// Reads what the terminal has into screen, waiting at most wait_ms;
/// false at its end or when nothing came.
bool read_some(int terminal, std::string* screen, int wait_ms) {
  pollfd ready = {terminal, POLLIN, 0};
  if (poll(&ready, 1, wait_ms) <= 0)
    return false;
  char buffer[4096];
  ssize_t got = read(terminal, buffer, sizeof buffer);
  if (got <= 0)
    return false;
  screen->append(buffer, static_cast<size_t>(got));
  return true;
}

}  // namespace

void TerminalSession::start(int port, const TerminalOptions& options) {
  std::vector<std::string> env = client_environment(port);
  env.insert(env.end(), options.extra_env.begin(), options.extra_env.end());
  int slave;
  winsize size = {30, 100, 0, 0};
  ASSERT_EQ(openpty(&terminal, &slave, nullptr, options.modes, &size), 0);
  tcgetattr(terminal, &started_modes);
  pid = fork();
  if (pid == 0) {
    close(terminal);
    login_tty(slave);
    signal(SIGPIPE, SIG_DFL);
    if (!options.stdout_path.empty())
      dup2(open(options.stdout_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 1);
    exec_program(options.command.empty() ? client_command() : options.command, env);
  }
  close(slave);
  if (options.await_prompt) {
    ASSERT_TRUE(wait_for(CLIENT_PROMPT)) << screen;
  }
}

bool TerminalSession::wait_for(const std::string& text, size_t from) {
  double deadline = monotonic_seconds() + WAIT_SECONDS;
  while (screen.find(text, from) == std::string::npos) {
    int left_ms = static_cast<int>((deadline - monotonic_seconds()) * 1000);
    if (left_ms <= 0 || !read_some(terminal, &screen, left_ms))
      return false;
  }
  return true;
}

void TerminalSession::type(const std::string& keys, const std::string& awaited) {
  size_t mark = screen.size();
#if ZENOTAR_EDITING
  // The editor turns canonical mode off while it reads a line.
  wait_until([&] {
    termios mode;
    return tcgetattr(terminal, &mode) == 0 && (mode.c_lflag & ICANON) == 0;
  });
#endif
  press(keys);
  if (!awaited.empty()) {
    ASSERT_TRUE(wait_for(awaited, mark)) << screen.substr(mark);
  }
}

void TerminalSession::press(const std::string& keys) {
  size_t written = 0;
  while (written < keys.size()) {
    ssize_t done = write(terminal, keys.data() + written, keys.size() - written);
    ASSERT_GT(done, 0) << "the terminal took no keys";
    written += static_cast<size_t>(done);
  }
}

void TerminalSession::read_to_end() {
  while (read_some(terminal, &screen, static_cast<int>(WAIT_SECONDS * 1000))) {
  }
}

int TerminalSession::finish() {
  int status = -1;
  waitpid(pid, &status, 0);
  termios after{};
  tcgetattr(terminal, &after);
  modes_restored = same_modes(after, started_modes);
  close(terminal);
  terminal = -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}
