// Runs the real zenotar-sim as a child process, for end-to-end tests.
#ifndef ZENOTAR_TESTS_SIM_PROCESS_H_
#define ZENOTAR_TESTS_SIM_PROCESS_H_

#include <sys/types.h>

#include <string>
#include <vector>

struct SimProcess {
  pid_t pid = -1;
  int port = 0;
  int output = -1;   ///< its standard output
  std::string said;  ///< what it printed so far
};

/// Starts zenotar-sim --port 0 with args and waits for its listening line.
bool start_sim(SimProcess* sim, const std::vector<std::string>& args);

/// The command that runs zenotar-sim with args, wrapped as wrapped_command says.
std::vector<std::string> sim_command(const std::vector<std::string>& args);

/// Replaces this (child) process with zenotar-sim and args; never returns.
[[noreturn]] void exec_sim(const std::vector<std::string>& args);

/// Sends signal to the server and returns its exit status (128 + signal if killed).
int stop_sim(SimProcess* sim, int signal_number);

/// Writes text to a fresh temporary file and returns its path.
std::string temporary_file(const std::string& text);

/// An element set line of 68 columns with its checksum added.
std::string with_checksum(const std::string& line);

#endif  // ZENOTAR_TESTS_SIM_PROCESS_H_
