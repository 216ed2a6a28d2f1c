#include "tests/reference.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

std::string reference_output(const std::vector<std::string>& args) {
  std::vector<std::string> all = {REFERENCE_PYTHON, SGP4_REFERENCE};
  all.insert(all.end(), args.begin(), args.end());
  int out[2];
  if (pipe2(out, O_CLOEXEC) < 0)
    return "";
  pid_t pid = fork();
  if (pid == 0) {
    dup2(out[1], 1);
    std::vector<char*> argv;
    for (std::string& a : all)
      argv.push_back(a.data());
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(out[1]);
  std::string text;
  char buffer[4096];
  ssize_t got;
  while ((got = read(out[0], buffer, sizeof buffer)) > 0)
    text.append(buffer, static_cast<size_t>(got));
  close(out[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
      << "the SGP4 reference (" << REFERENCE_PYTHON << " with python3-sgp4) failed";
  return text;
}

std::string reference_data_dir() {
  std::string dir = reference_output({"data-dir"});
  while (!dir.empty() && dir.back() == '\n')
    dir.pop_back();
  return dir;
}

std::string read_text_file(const std::string& path) {
  std::ifstream file(path);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}
