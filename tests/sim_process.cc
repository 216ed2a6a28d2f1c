#include "tests/sim_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/run_client.h"

std::vector<std::string> sim_command(const std::vector<std::string>& args) {
  std::vector<std::string> all = wrapped_command(ZENOTAR_SIM_PATH);
  all.insert(all.end(), args.begin(), args.end());
  return all;
}

void exec_sim(const std::vector<std::string>& args) {
  std::vector<std::string> all = sim_command(args);
  std::vector<char*> argv;
  for (std::string& a : all)
    argv.push_back(a.data());
  argv.push_back(nullptr);
  execvp(argv[0], argv.data());
  _exit(127);
}

bool start_sim(SimProcess* sim, const std::vector<std::string>& args) {
  int out[2];
  if (pipe2(out, O_CLOEXEC) < 0)
    return false;
  std::vector<std::string> all = {"--port", "0"};
  all.insert(all.end(), args.begin(), args.end());
  sim->pid = fork();
  if (sim->pid == 0) {
    dup2(out[1], 1);
    exec_sim(all);
  }
  close(out[1]);
  sim->output = out[0];
  char buffer[512];
  while (sim->said.find('\n') == std::string::npos) {
    pollfd ready = {sim->output, POLLIN, 0};
    if (poll(&ready, 1, 10000) <= 0)
      return false;
    ssize_t got = read(sim->output, buffer, sizeof buffer);
    if (got <= 0)
      return false;
    sim->said.append(buffer, static_cast<size_t>(got));
  }
  size_t at = sim->said.find("127.0.0.1:");
  if (at == std::string::npos)
    return false;
  sim->port = atoi(sim->said.c_str() + at + 10);
  return sim->port > 0;
}

int stop_sim(SimProcess* sim, int signal_number) {
  kill(sim->pid, signal_number);
  int status = 0;
  waitpid(sim->pid, &status, 0);
  char buffer[512];
  ssize_t got;
  while ((got = read(sim->output, buffer, sizeof buffer)) > 0)
    sim->said.append(buffer, static_cast<size_t>(got));
  close(sim->output);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::string with_checksum(const std::string& line) {
  int sum = 0;
  for (char c : line)
    sum += c == '-' ? 1 : (c >= '0' && c <= '9' ? c - '0' : 0);
  return line + static_cast<char>('0' + sum % 10);
}

std::string temporary_file(const std::string& text) {
  char path[] = "/tmp/zenotar-test-XXXXXX";
  int fd = mkstemp(path);
  if (write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size()))
    path[0] = '\0';
  close(fd);
  return path;
}
