// Line editing and history at a terminal: keys typed into a pseudo-terminal,
// the commands the server receives.

#include <stdio.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/run_client.h"
#include "tests/script_server.h"

namespace {

#if ZENOTAR_EDITING

const std::string PROMPT = "Enter command, or QUIT to exit >> ";
const std::string UP = "\x1b[A", LEFT = "\x1b[D", HOME = "\x1b[H", DELETE = "\x1b[3~";
const std::string BACKSPACE = "\x7f", CTRL_A = "\x01", CTRL_D = "\x04", CTRL_E = "\x05",
                  CTRL_K = "\x0b", CTRL_U = "\x15", CTRL_W = "\x17";

struct Typed {
  const char* what;
  std::string keys;
  std::string sent;  // the command the server receives
};

TEST(Editing, KeysEditAndRecallCommands) {
  const Typed lines[] = {
      {"a plain line", "GET_SAT_POS ISS 3", "GET_SAT_POS ISS 3"},
      {"up, backspace, Ctrl-A, Delete, Ctrl-E, Ctrl-W",
       UP + BACKSPACE + "7" + CTRL_A + DELETE + "G" + CTRL_E + " 60" + CTRL_W + "2",
       "GET_SAT_POS ISS 7 2"},
      {"Ctrl-U drops the line", "garbage" + CTRL_U + "GET_VERSION", "GET_VERSION"},
      {"left and Ctrl-K", "HELPxyz" + LEFT + LEFT + LEFT + CTRL_K, "HELP"},
      {"Home", "ET_TIME" + HOME + "G", "GET_TIME"},
      {"a repeat", "GET_TIME", "GET_TIME"},
      {"empty", "", ""},
      {"repeats and empty lines are not stored", UP + UP, "HELP"},
  };
  std::vector<std::string> expected;
  for (const Typed& t : lines) {
    if (!t.sent.empty())
      expected.push_back(t.sent + '\0');
  }
  ScriptServer server;
  // Every answer ends a stream at once and is an odd single answer.
  start_script_server(&server, {answer("v1")}, answer("\x1A"));
  int terminal;
  pid_t client = start_client_in_terminal(server.port, &terminal);
  std::string screen;
  ASSERT_TRUE(read_until(terminal, &screen, PROMPT, 0));
  for (const Typed& t : lines) {
    SCOPED_TRACE(t.what);
    size_t mark = screen.size();
    type_keys(terminal, t.keys + "\r");
    ASSERT_TRUE(read_until(terminal, &screen, PROMPT, mark));
  }
  size_t mark = screen.size();
  type_keys(terminal, std::string(100, 'x') + "\r");  // too long: not sent
  ASSERT_TRUE(read_until(terminal, &screen, "Command too long (at most 79 characters); not sent", mark));
  ASSERT_TRUE(read_until(terminal, &screen, PROMPT, mark));
  type_keys(terminal, CTRL_D);  // on an empty line: the end of input
  int status = -1;
  waitpid(client, &status, 0);
  close(terminal);
  stop_script_server(&server);
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  std::vector<std::string> requests = received_requests(&server);
  ASSERT_FALSE(requests.empty());
  requests.erase(requests.begin());  // the probe
  EXPECT_EQ(requests, expected);
}

TEST(Editing, QuitWordStillQuits) {
  ScriptServer server;
  start_script_server(&server, {answer("v1")});
  int terminal;
  pid_t client = start_client_in_terminal(server.port, &terminal);
  std::string screen;
  ASSERT_TRUE(read_until(terminal, &screen, PROMPT, 0));
  type_keys(terminal, "exit now\r");
  int status = -1;
  waitpid(client, &status, 0);
  close(terminal);
  stop_script_server(&server);
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(received_requests(&server).size(), 1u);
}

#endif

TEST(Editing, OutputToAFileKeepsTheTerminalOutOfIt) {
  // Typing at a terminal with standard output to a file: the file gets the
  // exact bytes a pipe would, with no line-editing codes in it.
  ScriptServer server;
  start_script_server(&server, {answer("v1"), answer("ok")});
  std::string path = "/tmp/zenotar-editing-" + std::to_string(getpid());
  int terminal;
  pid_t client = start_client_in_terminal(server.port, &terminal, path);
  usleep(300 * 1000);  // the banner and prompt go to the file, not the terminal
  const std::string keys = "GET_VERSION\rquit\r";
  ASSERT_EQ(write(terminal, keys.data(), keys.size()), static_cast<ssize_t>(keys.size()));
  int status = -1;
  waitpid(client, &status, 0);
  close(terminal);
  stop_script_server(&server);
  EXPECT_EQ(WEXITSTATUS(status), 0);
  FILE* file = fopen(path.c_str(), "r");
  ASSERT_NE(file, nullptr);
  char buffer[4096];
  size_t got = fread(buffer, 1, sizeof buffer, file);
  fclose(file);
  unlink(path.c_str());
  const std::string prompt = "Enter command, or QUIT to exit >> ";
  EXPECT_EQ(std::string(buffer, got),
            "\nEnter the command you wish to send ZENOTAR.\n\n" + prompt + "ok\n" + prompt);
}

}  // namespace
