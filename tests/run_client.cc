#include "tests/run_client.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <signal.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>

#include "tests/wait.h"

extern char** environ;

namespace {

/// The zero-ended array of pointers execve takes, into words.
std::vector<char*> pointers(std::vector<std::string>& words) {
  std::vector<char*> array;
  for (std::string& word : words)
    array.push_back(word.data());
  array.push_back(nullptr);
  return array;
}

void exec_client(int in, int out, int err, const ClientOptions& options) {
  // The tests ignore SIGPIPE; the client must not inherit that unless asked.
  signal(SIGPIPE, options.ignore_sigpipe ? SIG_IGN : SIG_DFL);
  if (options.close_stdin)
    close(0);
  else
    dup2(in, 0);
  dup2(out, 1);
  if (options.close_stderr)
    close(2);
  else
    dup2(err, 2);
  std::vector<std::string> env = client_environment(options.port);
  env.insert(env.end(), options.extra_env.begin(), options.extra_env.end());
  exec_program(client_command(), env);
}

}  // namespace

const char* client_path() {
  return ZENOTAR_CLIENT_PATH;
}

std::vector<std::string> wrapped_command(const std::string& program) {
  std::vector<std::string> command;
  if (const char* wrapper = getenv("ZENOTAR_TEST_WRAPPER")) {
    std::string words = wrapper;
    for (size_t at = 0; at < words.size();) {
      size_t end = words.find(' ', at);
      if (end == std::string::npos)
        end = words.size();
      if (end > at)
        command.push_back(words.substr(at, end - at));
      at = end + 1;
    }
  }
  command.push_back(program);
  return command;
}

std::vector<std::string> client_command() {
  return wrapped_command(client_path());
}

std::vector<std::string> fake_services_env(int port) {
  return {std::string("LD_PRELOAD=") + FAKE_SERVICES_PATH,
          "ZENOTAR_FAKE_PORT=" + std::to_string(port)};
}

std::vector<std::string> client_environment(int port) {
  std::vector<std::string> env;
  for (char** e = environ; *e != nullptr; ++e) {
    if (strncmp(*e, "LD_PRELOAD=", 11) != 0 && strncmp(*e, "ZENOTAR_FAKE_PORT=", 18) != 0)
      env.emplace_back(*e);
  }
  if (port != 0) {
    for (const std::string& e : fake_services_env(port))
      env.push_back(e);
  }
  return env;
}

void exec_program(std::vector<std::string> command, std::vector<std::string> env) {
  std::vector<char*> argv = pointers(command), envp = pointers(env);
  execvpe(argv[0], argv.data(), envp.data());
  _exit(127);
}

ClientRun run_client(const std::string& input, const ClientOptions& options) {
  int in[2], out[2], err[2];
  if (pipe2(in, O_CLOEXEC) < 0 || pipe2(out, O_CLOEXEC) < 0 || pipe2(err, O_CLOEXEC) < 0)
    return {};
  int stdin_fd = in[0];
  if (!options.stdin_path.empty())
    stdin_fd = open(options.stdin_path.c_str(), O_RDONLY | O_CLOEXEC);
  int stdout_fd = out[1];
  if (!options.stdout_path.empty())
    stdout_fd = open(options.stdout_path.c_str(), O_WRONLY | O_CLOEXEC);
  if (options.stdout_reader_gone) {
    close(out[0]);  // nobody will read what the client writes
    out[0] = open("/dev/null", O_RDONLY | O_CLOEXEC);
  }
  signal(SIGPIPE, SIG_IGN);  // a client that quits early closes its input
  double started = monotonic_seconds();
  pid_t child = fork();
  if (child == 0)
    exec_client(stdin_fd, stdout_fd, err[1], options);
  if (options.on_start)
    options.on_start(child);
  close(in[0]);
  close(out[1]);
  close(err[1]);
  if (stdin_fd != in[0])
    close(stdin_fd);
  if (stdout_fd != out[1])
    close(stdout_fd);

  ClientRun run;
  size_t written = 0;
  int to_child = in[1];
  std::string pending = input;
  bool later_pending = !options.later_input.empty();
  if (pending.empty() && !later_pending) {
    close(to_child);
    to_child = -1;
  } else {
    fcntl(to_child, F_SETFL, O_NONBLOCK);
  }
  int from_out = out[0], from_err = err[0];
  double deadline = started + options.timeout_seconds;
  char buffer[65536];
  while (from_out >= 0 || from_err >= 0) {
    if (later_pending && (!options.later_when || options.later_when())) {
      pending += options.later_input;
      later_pending = false;
    }
    bool writing = to_child >= 0 && written < pending.size();
    bool holding = options.hold_output != nullptr && options.hold_output->load();
    pollfd fds[3] = {{holding ? -1 : from_out, POLLIN, 0}, {from_err, POLLIN, 0},
                     {writing ? to_child : -1, POLLOUT, 0}};
    int left_ms = static_cast<int>((deadline - monotonic_seconds()) * 1000);
    if (later_pending || holding)
      left_ms = std::min(left_ms, 20);
    int woke = left_ms <= 0 ? 0 : poll(fds, 3, left_ms);
    if (woke == 0 && monotonic_seconds() >= deadline) {
      kill(child, SIGKILL);
      break;
    }
    for (int i = 0; i < 2; ++i) {
      int* fd = i == 0 ? &from_out : &from_err;
      if (*fd < 0 || fds[i].revents == 0)
        continue;
      ssize_t got = read(*fd, buffer, sizeof buffer);
      if (got <= 0) {
        close(*fd);
        *fd = -1;
      } else {
        (i == 0 ? run.out : run.err).append(buffer, static_cast<size_t>(got));
      }
    }
    if (writing && fds[2].revents != 0) {
      ssize_t done = write(to_child, pending.data() + written, pending.size() - written);
      if (done > 0)
        written += static_cast<size_t>(done);
      if (done < 0 || (written == pending.size() && !later_pending)) {
        close(to_child);
        to_child = -1;
      }
    }
  }
  for (int fd : {from_out, from_err, to_child}) {
    if (fd >= 0)
      close(fd);
  }
  int status = 0;
  waitpid(child, &status, 0);
  run.seconds = monotonic_seconds() - started;
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return run;
}

std::string read_to_end(int fd) {
  std::string text;
  char buffer[4096];
  ssize_t got;
  while ((got = read(fd, buffer, sizeof buffer)) > 0)
    text.append(buffer, static_cast<size_t>(got));
  return text;
}

std::string program_output(const std::vector<std::string>& argv, int* status) {
  int out[2];
  *status = -1;
  if (pipe2(out, O_CLOEXEC) < 0)
    return "";
  pid_t pid = fork();
  if (pid == 0) {
    dup2(out[1], 1);
    std::vector<std::string> words = argv;
    std::vector<char*> args = pointers(words);
    execvp(args[0], args.data());
    _exit(127);
  }
  close(out[1]);
  std::string text = read_to_end(out[0]);
  close(out[0]);
  int raw = 0;
  waitpid(pid, &raw, 0);
  if (WIFEXITED(raw))
    *status = WEXITSTATUS(raw);
  return text;
}
