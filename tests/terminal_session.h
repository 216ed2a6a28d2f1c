// A program (the client by default) in a pseudo-terminal of its own, driven
// as a person drives it: keys typed, the screen read, its end awaited.
#ifndef ZENOTAR_TESTS_TERMINAL_SESSION_H_
#define ZENOTAR_TESTS_TERMINAL_SESSION_H_

#include <sys/types.h>
#include <termios.h>

#include <string>
#include <vector>

/// The prompt as the client shows it.
inline constexpr char CLIENT_PROMPT[] = "Enter command, or QUIT to exit >> ";

/// How to start a program in a new pseudo-terminal.
struct TerminalOptions {
  const termios* modes = nullptr;   ///< the terminal's modes at the start; nullptr: defaults
  std::vector<std::string> command; ///< empty: the client
  std::vector<std::string> extra_env;
  std::string stdout_path;          ///< where given, standard output goes to this file
  bool await_prompt = true;         ///< start waits for the client's prompt on the terminal
};

struct TerminalSession {
  int terminal = -1;       ///< the terminal's controlling side
  pid_t pid = -1;
  std::string screen;      ///< everything the terminal has shown so far
  termios started_modes{}; ///< the modes the terminal had at the start
  bool modes_restored = false;  ///< set by finish: the modes are as at the start

  /// Starts the program with the services entry for port; with
  /// options.await_prompt, fails the test unless the prompt appears.
  void start(int port, const TerminalOptions& options = {});
  /// Reads the terminal until text has appeared at or after from.
  bool wait_for(const std::string& text, size_t from = 0);
  /// Types keys once the client is ready for them (where it edits lines,
  /// once the editor has the terminal), then, where awaited is given, fails
  /// the test unless it appears after them.
  void type(const std::string& keys, const std::string& awaited = "");
  /// Writes keys at once, whatever the terminal's mode.
  void press(const std::string& keys);
  /// Reads what the terminal shows until the program has gone.
  void read_to_end();
  /// Waits for the program to end and closes the terminal; its status as a
  /// shell sees it (128 + signal when killed).
  int finish();
};

#endif  // ZENOTAR_TESTS_TERMINAL_SESSION_H_
