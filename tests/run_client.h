// Runs the real zenotar-client binary with pipes, for end-to-end tests.
#ifndef ZENOTAR_TESTS_RUN_CLIENT_H_
#define ZENOTAR_TESTS_RUN_CLIENT_H_

#include <sys/types.h>

#include <atomic>
#include <functional>
#include <string>
#include <vector>

/// How a run ended and what it wrote.
struct ClientRun {
  std::string out;
  std::string err;
  int status = -1;  ///< exit status, or 128 + signal number
  double seconds = 0;
};

/// What to change about a run.
struct ClientOptions {
  int port = 0;                    ///< the services entry for zenotar/udp; 0: none
  std::string stdin_path;          ///< open this as standard input instead of a pipe
  bool close_stdin = false;        ///< start with standard input closed
  std::string stdout_path;         ///< open this as standard output instead of a pipe
  bool stdout_reader_gone = false; ///< standard output is a pipe nobody reads any more
  bool ignore_sigpipe = false;     ///< start with SIGPIPE ignored
  bool close_stderr = false;       ///< start with standard error closed
  const std::atomic<bool>* hold_output = nullptr;  ///< while true, standard output is not read
  std::function<void(pid_t)> on_start;  ///< told the client's process id
  std::string later_input;         ///< written to standard input once later_when holds
  std::function<bool()> later_when;
  int timeout_seconds = 60;        ///< killed after this long
  std::vector<std::string> extra_env;
};

/// The path of the built client.
const char* client_path();

/// The command that runs program: its path, behind the words of
/// ZENOTAR_TEST_WRAPPER (e.g. a valgrind command line) where that is set.
std::vector<std::string> wrapped_command(const std::string& program);

/// The command that runs the client, wrapped as wrapped_command says.
std::vector<std::string> client_command();

/// Runs the client with input on standard input and collects its output.
ClientRun run_client(const std::string& input, const ClientOptions& options);

/// The environment for a program that should see ZENOTAR_FAKE_PORT=port.
std::vector<std::string> fake_services_env(int port);

/// This process's environment with the services entry for port in place
/// of any inherited one.
std::vector<std::string> client_environment(int port);

/// Replaces this (child) process with command and env; never returns.
[[noreturn]] void exec_program(std::vector<std::string> command, std::vector<std::string> env);

/// What fd gives until its end.
std::string read_to_end(int fd);

/// Runs a program to its end; what it wrote on standard output, and its
/// exit status in *status (-1 when it did not exit).
std::string program_output(const std::vector<std::string>& argv, int* status);

#endif  // ZENOTAR_TESTS_RUN_CLIENT_H_
