// The client at a terminal as a person meets it: keys typed into a
// pseudo-terminal, the modes of the terminal after every way out, Ctrl-C at
// the prompt and during an answer, text outside ASCII.

#include <fcntl.h>
#include <pty.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/reference.h"
#include "tests/run_client.h"
#include "tests/script_server.h"
#include "tests/terminal_session.h"
#include "tests/wait.h"

namespace {

#if ZENOTAR_EDITING

const std::string PROMPT = CLIENT_PROMPT;

/// The modes the terminal starts with: the defaults, with two that the
/// editor's own idea of a cooked terminal would turn back on (icrnl, ixon).
termios starting_modes() {
  int master, slave;
  termios modes{};
  if (openpty(&master, &slave, nullptr, nullptr, nullptr) == 0) {
    tcgetattr(slave, &modes);
    close(master);
    close(slave);
  }
  modes.c_iflag &= ~static_cast<tcflag_t>(ICRNL | IXON);
  return modes;
}

/// A client in a pseudo-terminal against a scripted server.
struct Session : TerminalSession {
  ScriptServer server;
  termios modes = starting_modes();

  void start(std::vector<Reply> script, Reply otherwise = answer("ok"),
             TerminalOptions options = {}) {
    start_script_server(&server, std::move(script), std::move(otherwise));
    options.modes = &modes;
    TerminalSession::start(server.port, options);
  }
  /// Waits for the client to end; its status as the shell sees it.
  int finish() {
    int status = TerminalSession::finish();
    stop_script_server(&server);
    return status;
  }
  /// The requests after the probe.
  std::vector<std::string> requests() {
    std::vector<std::string> all = received_requests(&server);
    if (!all.empty())
      all.erase(all.begin());
    return all;
  }
};

struct WayOut {
  const char* name;
  std::vector<Reply> script;
  std::string keys = "";   ///< typed at the prompt
  std::string keys_once_gone = "";  ///< typed once the server has gone
  int signal_number = 0;   ///< sent instead, where not 0
  int status = 0;
};

TEST(Terminal, ModesAreRestoredWhateverEndsTheClient) {
  const Reply probe = answer("v1");
  const WayOut ways[] = {
      {.name = "a quit word", .script = {probe}, .keys = "quit\r"},
      {.name = "Ctrl-D on an empty line", .script = {probe}, .keys = "\x04"},
      {.name = "Ctrl-C on an empty line", .script = {probe}, .keys = "\x03",
       .status = 128 + SIGINT},
      {.name = "SIGTERM", .script = {probe}, .signal_number = SIGTERM, .status = 128 + SIGTERM},
      {.name = "SIGHUP", .script = {probe}, .signal_number = SIGHUP, .status = 128 + SIGHUP},
      {.name = "SIGQUIT", .script = {probe}, .signal_number = SIGQUIT, .status = 128 + SIGQUIT},
      {.name = "SIGINT from outside, on an empty line", .script = {probe},
       .signal_number = SIGINT, .status = 128 + SIGINT},
      {.name = "the server gone, found inside an exchange",
       .script = {probe, {{ScriptStep::SEND, "a"}, {ScriptStep::CLOSE}}}, .keys = "A\r",
       .keys_once_gone = "B\r", .status = 1},
  };
  rlimit no_core = {0, 0};  // SIGQUIT would leave a core file
  setrlimit(RLIMIT_CORE, &no_core);
  for (const WayOut& way : ways) {
    SCOPED_TRACE(way.name);
    Session s;
    s.start(way.script);
    if (!way.keys.empty()) {
      s.type(way.keys);
      if (!way.keys_once_gone.empty()) {
        // Typed ahead, the next line could reach the server before its port closes.
        ASSERT_TRUE(wait_until([&] { return server_gone(&s.server); }));
        s.type(way.keys_once_gone);
      }
    } else {
      s.type("");  // the editor holds the terminal
      kill(s.pid, way.signal_number);
    }
    EXPECT_EQ(s.finish(), way.status);
    EXPECT_TRUE(s.modes_restored);
  }
}

TEST(Terminal, ModesAreRestoredUnderAShellThatDoesNotResetThem) {
  // dash runs the client and looks at the terminal before and after; it
  // leaves the modes as the client left them.
  std::string dir = "/tmp/zenotar-dash-" + std::to_string(getpid());
  mkdir(dir.c_str(), 0700);
  std::string script = "cd " + dir + "; stty -a > before; trap 'stty -a > after; exit 0' INT; " +
                       client_path() + "; stty -a > after";
  Session s;
  TerminalOptions options;
  options.command = {"dash", "-c", script};
  s.start({answer("v1")}, answer("ok"), options);
  s.type("GET_TIME\r", "ok");
  s.type("\x03");  // Ctrl-C on the empty prompt ends the client
  s.finish();
  std::string before = read_text_file(dir + "/before"), after = read_text_file(dir + "/after");
  EXPECT_FALSE(before.empty());
  EXPECT_EQ(after, before);
  unlink((dir + "/before").c_str());
  unlink((dir + "/after").c_str());
  rmdir(dir.c_str());
}

TEST(Terminal, CtrlCDropsAHalfTypedLine) {
  Session s;
  s.start({answer("v1")});
  s.type("GET_SAT_POS ISS", "GET_SAT_POS ISS");
  s.type("\x03", PROMPT);
  EXPECT_NE(s.screen.find("GET_SAT_POS ISS^C\r\n" + PROMPT), std::string::npos) << s.screen;
  s.type("\x1b[A");  // the dropped line is not in the history either
  s.type("GET_TIME\r", "ok");
  s.type("quit\r");
  EXPECT_EQ(s.finish(), 0);
  EXPECT_EQ(s.requests(), std::vector<std::string>{std::string("GET_TIME") + '\0'});
}

TEST(Terminal, CtrlCEndsTheWaitForAnAnswerAndTheSessionGoesOn) {
  Reply paced;  // twelve seconds of a stream: longer than any wait for an answer
  for (int i = 0; i < 12; ++i) {
    paced.push_back({ScriptStep::SEND, "tick " + std::to_string(i) + "\n"});
    paced.push_back({ScriptStep::PAUSE, "", 1000});
  }
  paced.push_back({ScriptStep::SEND, "\x1A"});
  Session s;
  s.start({answer("v1"), silence(), paced,
           {{ScriptStep::SEND, "first\n"}, {ScriptStep::PAUSE, "", 3000}, {ScriptStep::SEND, "\x1A"}},
           answer("ok")});
  s.type("GET_VERSION\r");  // never answered
  ASSERT_TRUE(wait_for_requests(&s.server, 2));
  s.press("\x03");
  ASSERT_TRUE(s.wait_for("Interrupted\r\n" + PROMPT)) << s.screen;
  // Beyond the ten seconds the silent command would have waited: no late word of it.
  s.type("ZENOTAR TRACK SLOW\r", "tick 11\r\n\r\n" + PROMPT);
  s.type("GET_SAT_POS X\r", "first\r\n");
  s.press("\x03");
  size_t mark = s.screen.size();
  ASSERT_TRUE(s.wait_for("Interrupted\r\n" + PROMPT, mark)) << s.screen;
  EXPECT_EQ(s.screen.substr(mark).find("\r\n"), 2u) << "the stream ends with its newline";
  s.type("GET_TIME\r", "ok\r\n");
  s.type("quit\r");
  EXPECT_EQ(s.finish(), 0);
  EXPECT_EQ(s.screen.find("No answer"), std::string::npos) << s.screen;
  EXPECT_EQ(s.requests(), (std::vector<std::string>{std::string("GET_VERSION") + '\0',
                                                    std::string("ZENOTAR TRACK SLOW") + '\0',
                                                    std::string("GET_SAT_POS X") + '\0',
                                                    std::string("GET_TIME") + '\0'}));
}

TEST(Terminal, TextOutsideAsciiReachesTheServerByteForByte) {
  const std::string lines[] = {"GET_SAT_POS \xc3\x89TOILE 1", "HELP \xe2\x80\x9cquoted\xe2\x80\x9d",
                               "GET_SAT_POS \xe6\x97\xa5\xe6\x9c\xac \xf0\x9f\x9b\xb0"};
  // The locale of the environment, and one that knows only ASCII.
  for (const char* locale : {"LC_ALL=C.UTF-8", "LC_ALL=C"}) {
    SCOPED_TRACE(locale);
    Session s;
    TerminalOptions options;
    options.extra_env = {locale};
    s.start({answer("v1")}, answer("\x1A"), options);
    std::vector<std::string> expected;
    for (const std::string& line : lines) {
      s.type(line + "\r", PROMPT);
      expected.push_back(line + '\0');
    }
    s.type("\x1b[A\x1b[D\x7f\r", PROMPT);  // recalled and edited a character at a time
    expected.push_back("GET_SAT_POS \xe6\x97\xa5\xe6\x9c\xac \xf0\x9f\x9b\xb0");
    expected.back() += '\0';
    expected.back().erase(expected.back().size() - 6, 1);  // the blank before the satellite went
    s.type("quit\r");
    EXPECT_EQ(s.finish(), 0);
    EXPECT_EQ(s.requests(), expected);
    EXPECT_NE(s.screen.find(lines[0]), std::string::npos);
  }
}

TEST(Terminal, KeysTheConsoleDoesNotUseInsertNothing) {
  Session s;
  s.start({answer("v1")}, answer("ok"));
  // PageUp, PageDown, Insert, F1, F5, F12, Shift-Tab.
  s.type("HE\x1b[5~\x1b[6~\x1b[2~LP\x1bOP\x1b[15~\x1b[24~\x1b[Z\r", "ok");
  s.type("quit\r");
  s.finish();
  EXPECT_EQ(s.requests(), std::vector<std::string>{std::string("HELP") + '\0'});
}

TEST(Terminal, CtrlDEndsWithANewline) {
  Session s;
  s.start({answer("v1")});
  s.type("\x04");
  s.read_to_end();
  EXPECT_EQ(s.finish(), 0);
  ASSERT_GE(s.screen.size(), 2u);
  EXPECT_EQ(s.screen.substr(s.screen.size() - 2), "\r\n");
}

TEST(Terminal, WithoutLibeditItSaysSoAndReadsLines) {
  // A libedit.so.2 that is no library at all, found first.
  std::string dir = "/tmp/zenotar-nolibedit-" + std::to_string(getpid());
  mkdir(dir.c_str(), 0700);
  FILE* fake = fopen((dir + "/libedit.so.2").c_str(), "w");
  fputs("not a library\n", fake);
  fclose(fake);
  Session s;
  TerminalOptions options;
  options.extra_env = {"LD_LIBRARY_PATH=" + dir};
  s.start({answer("v1")}, answer("ok"), options);
  EXPECT_NE(s.screen.find("Line editing is off: "), std::string::npos) << s.screen;
  EXPECT_EQ(s.screen.find("Line editing is off: ", s.screen.find("Line editing") + 1),
            std::string::npos) << "said once";
  s.press("GET_TIME\n");
  ASSERT_TRUE(s.wait_for("ok"));
  s.press("quit\n");
  EXPECT_EQ(s.finish(), 0);
  unlink((dir + "/libedit.so.2").c_str());
  rmdir(dir.c_str());
}

#endif

}  // namespace
