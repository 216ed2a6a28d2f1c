// Runs the real zenotar-client binary with pipes, for end-to-end tests.
#ifndef ZENOTAR_TESTS_RUN_CLIENT_H_
#define ZENOTAR_TESTS_RUN_CLIENT_H_

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
  int timeout_seconds = 60;        ///< killed after this long
  std::vector<std::string> extra_env;
};

/// The path of the built client.
const char* client_path();

/// Runs the client with input on standard input and collects its output.
ClientRun run_client(const std::string& input, const ClientOptions& options);

/// The environment for a program that should see ZENOTAR_FAKE_PORT=port.
std::vector<std::string> fake_services_env(int port);

#endif  // ZENOTAR_TESTS_RUN_CLIENT_H_
