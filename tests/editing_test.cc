// Line editing and history at a terminal: keys typed into a pseudo-terminal,
// the commands the server receives.

#include <stdio.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/reference.h"
#include "tests/script_server.h"
#include "tests/terminal_session.h"
#include "tests/wait.h"

namespace {

const std::string PROMPT = CLIENT_PROMPT;

#if ZENOTAR_EDITING

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
  TerminalSession s;
  s.start(server.port);
  for (const Typed& t : lines) {
    SCOPED_TRACE(t.what);
    s.type(t.keys + "\r", PROMPT);
  }
  size_t mark = s.screen.size();
  s.type(std::string(100, 'x') + "\r");  // too long: not sent
  ASSERT_TRUE(s.wait_for("Command too long (at most 79 characters); not sent", mark));
  ASSERT_TRUE(s.wait_for(PROMPT, mark));
  s.type(CTRL_D);  // on an empty line: the end of input
  int status = s.finish();
  stop_script_server(&server);
  EXPECT_EQ(status, 0);
  std::vector<std::string> requests = received_requests(&server);
  ASSERT_FALSE(requests.empty());
  requests.erase(requests.begin());  // the probe
  EXPECT_EQ(requests, expected);
}

TEST(Editing, QuitWordStillQuits) {
  ScriptServer server;
  start_script_server(&server, {answer("v1")});
  TerminalSession s;
  s.start(server.port);
  s.type("exit now\r");
  int status = s.finish();
  stop_script_server(&server);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(received_requests(&server).size(), 1u);
}

#endif

TEST(Editing, OutputToAFileKeepsTheTerminalOutOfIt) {
  // Typing at a terminal with standard output to a file: the file gets the
  // exact bytes a pipe would, with no line-editing codes in it.
  ScriptServer server;
  start_script_server(&server, {answer("v1"), answer("ok")});
  std::string path = "/tmp/zenotar-editing-" + std::to_string(getpid());
  TerminalOptions options;
  options.stdout_path = path;
  options.await_prompt = false;  // the banner and prompt go to the file, not the terminal
  TerminalSession s;
  s.start(server.port, options);
  ASSERT_TRUE(wait_until([&] { return read_text_file(path).ends_with(PROMPT); }));
  s.press("GET_VERSION\rquit\r");
  int status = s.finish();
  stop_script_server(&server);
  EXPECT_EQ(status, 0);
  std::string written = read_text_file(path);
  unlink(path.c_str());
  EXPECT_EQ(written, "\nEnter the command you wish to send ZENOTAR.\n\n" + PROMPT + "ok\n" + PROMPT);
}

}  // namespace
