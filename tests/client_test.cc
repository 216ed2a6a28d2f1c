// The real zenotar-client, run with pipes against a scripted server.

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/run_client.h"
#include "tests/script_server.h"

namespace {

const std::string BANNER = "\nEnter the command you wish to send ZENOTAR.\n\n";
const std::string PROMPT = "Enter command, or QUIT to exit >> ";
const std::string REFUSED = "Connection refused - ZENOTAR server not running\n";
const std::string NO_ANSWER = "No answer from ZENOTAR server within 10 seconds\n";
const std::string TOO_LONG = "Command too long (at most 79 characters); not sent\n";
const std::string PROBE = std::string("GET_VERSION\0", 12);

struct Session {
  ClientRun run;
  std::vector<std::string> requests;  // after the probe
};

/// Runs the client on input against a server that answers the probe, then
/// plays script; every later request gets the answer "ok".
Session session(const std::string& input, std::vector<Reply> script = {},
                ClientOptions options = {}) {
  script.insert(script.begin(), answer("ZENOTAR server 1.0"));
  ScriptServer server;
  start_script_server(&server, script, answer("ok"));
  options.port = server.port;
  Session result;
  result.run = run_client(input, options);
  stop_script_server(&server);
  result.requests = received_requests(&server);
  EXPECT_FALSE(result.requests.empty());
  if (!result.requests.empty()) {
    EXPECT_EQ(result.requests[0], PROBE);
    result.requests.erase(result.requests.begin());
  }
  return result;
}

std::string request(const std::string& command) {
  return command + '\0';
}

TEST(Console, ProbeBannerAndPromptThenEndOfInput) {
  Session s = session("");
  EXPECT_EQ(s.run.out, BANNER + PROMPT);
  EXPECT_EQ(s.run.err, "");
  EXPECT_EQ(s.run.status, 0);
  EXPECT_TRUE(s.requests.empty());
}

TEST(Console, SingleAnswerThenPrompt) {
  Session s = session("GET_VERSION\nWHERE ISS\n", {answer("v1"), answer("")});
  EXPECT_EQ(s.run.out, BANNER + PROMPT + "v1\n" + PROMPT + "\n" + PROMPT);
  EXPECT_EQ(s.requests, (std::vector<std::string>{request("GET_VERSION"), request("WHERE ISS")}));
}

TEST(Console, QuitWords) {
  const std::string quitting[] = {"quit\n", "QUIT\n", "EXIT\n",   "exit\n",
                                  "exit now\n", "QUITE\n", "quit", "quit" + std::string(96, 'x') + "\n"};
  for (const std::string& line : quitting) {
    SCOPED_TRACE(line);
    Session s = session(line + (line.back() == '\n' ? "AFTER\n" : ""));
    EXPECT_EQ(s.run.out, BANNER + PROMPT);
    EXPECT_EQ(s.run.status, 0);
    EXPECT_TRUE(s.requests.empty());
  }
  const char* sent[] = {"Quit", "eXit", " QUIT", "qui", "qUIT"};
  for (const char* command : sent) {
    SCOPED_TRACE(command);
    Session s = session(std::string(command) + "\nquit\n");
    EXPECT_EQ(s.run.out, BANNER + PROMPT + "ok\n" + PROMPT);
    EXPECT_EQ(s.requests, std::vector<std::string>{request(command)});
  }
}

TEST(Console, StreamOrSingleByPrefix) {
  struct Route {
    const char* command;
    bool streamed;
  } routes[] = {
      {"GET_SAT_POS", true},  {"GET_SAT_POS ISS 3", true}, {"GET_SAT_PO", false},
      {"ZENOTAR x", true},    {"zenotar x", false},        {"ZENOTA", false},
      {"GET_VERSION", false},
  };
  // An answer that begins with the end mark: a stream shows only its newline,
  // a single answer shows it as text.
  std::string input;
  std::string expected = BANNER + PROMPT;
  std::vector<Reply> script;
  std::vector<std::string> requests;
  for (const Route& r : routes) {
    input += std::string(r.command) + "\n";
    script.push_back(answer("\x1A" "x"));
    expected += (r.streamed ? "\n" : "\x1A" "x\n") + PROMPT;
    requests.push_back(request(r.command));
  }
  Session s = session(input, script);
  EXPECT_EQ(s.run.out, expected);
  EXPECT_EQ(s.requests, requests);
}

TEST(Console, StreamedAnswerThenPrompt) {
  Session s = session("GET_SAT_POS ISS\n", {stream({"ab\n", "cd", "ef\n"})});
  EXPECT_EQ(s.run.out, BANNER + PROMPT + "ab\ncdef\n\n" + PROMPT);
}

TEST(Console, EmptyLineSendsNothing) {
  Session s = session("\n\nGET_VERSION\n");
  EXPECT_EQ(s.run.out, BANNER + PROMPT + PROMPT + PROMPT + "ok\n" + PROMPT);
  EXPECT_EQ(s.requests, std::vector<std::string>{request("GET_VERSION")});
}

TEST(Console, LineLengths) {
  std::string l79(79, 'a'), l80(80, 'b'), l100 = "GET_SAT_POS " + std::string(88, 'c');
  Session s = session(l79 + "\n" + l80 + "\n" + l100 + "\nNEXT\n");
  EXPECT_EQ(s.run.out, BANNER + PROMPT + "ok\n" + PROMPT + PROMPT + PROMPT + "ok\n" + PROMPT);
  EXPECT_EQ(s.run.err, TOO_LONG + TOO_LONG);
  EXPECT_EQ(s.requests, (std::vector<std::string>{request(l79), request("NEXT")}));
}

TEST(Console, CommandsGoAsTyped) {
  std::string odd = "  get_sat_pos\tIss  \r";
  Session s = session(odd + "\nlast line without newline");
  EXPECT_EQ(s.requests, (std::vector<std::string>{request(odd), request("last line without newline")}));
  EXPECT_EQ(s.run.out, BANNER + PROMPT + "ok\n" + PROMPT + "ok\n" + PROMPT);
  EXPECT_EQ(s.run.status, 0);
}

TEST(Console, ZeroByteLineIsNotSent) {
  Session s = session(std::string("AB\0CD\nNEXT\n", 11));
  EXPECT_EQ(s.run.err, "Command holds a zero byte; not sent\n");
  EXPECT_EQ(s.requests, std::vector<std::string>{request("NEXT")});
}

TEST(Console, ServerNotRunning) {
  ClientOptions options;
  options.port = unused_port();
  ClientRun run = run_client("GET_VERSION\n", options);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, REFUSED);
  EXPECT_EQ(run.status, 1);
}

TEST(Console, NoServicesEntry) {
  ClientRun run = run_client("GET_VERSION\n", {});
  EXPECT_EQ(run.out, "Can't get services\n");
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.status, 255);
}

TEST(Console, ServerGoneAfterTheProbe) {
  ScriptServer server;
  start_script_server(&server, {answer("v1")});
  ClientOptions options;
  options.port = server.port;
  stop_script_server(&server);  // closes the port: the probe is answered by nobody
  ClientRun run = run_client("A\n", options);
  EXPECT_EQ(run.err, REFUSED);
  EXPECT_EQ(run.status, 1);
}

TEST(Console, SilentProbeEndsBeforeTheBanner) {
  ScriptServer server;
  start_script_server(&server, {silence()});
  ClientOptions options;
  options.port = server.port;
  ClientRun run = run_client("GET_VERSION\n", options);
  stop_script_server(&server);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, NO_ANSWER);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(received_requests(&server).size(), 1u);
  EXPECT_GE(run.seconds, 9.5);
}

TEST(Console, SilentServerBoundsEachWait) {
  Session s = session("A\nGET_SAT_POS ISS\nB\n",
                      {silence(), {{ScriptStep::SEND, "part"}}, answer("b")});
  EXPECT_EQ(s.run.out, BANNER + PROMPT + PROMPT + "part\n" + PROMPT + "b\n" + PROMPT);
  EXPECT_EQ(s.run.err, NO_ANSWER + NO_ANSWER);
  EXPECT_EQ(s.requests.size(), 3u);  // nothing is sent twice
  EXPECT_EQ(s.run.status, 0);
}

TEST(Console, BrokenInput) {
  ClientOptions closed;
  closed.close_stdin = true;
  Session s = session("", {}, closed);
  EXPECT_EQ(s.run.out, BANNER + PROMPT);
  EXPECT_EQ(s.run.err, "Can't read standard input: Bad file descriptor\n");
  EXPECT_EQ(s.run.status, 0);

  ClientOptions directory;
  directory.stdin_path = "/";
  s = session("", {}, directory);
  EXPECT_EQ(s.run.err, "Can't read standard input: Is a directory\n");
  EXPECT_EQ(s.run.status, 0);
}

TEST(Console, FullOutput) {
  ClientOptions full;
  full.stdout_path = "/dev/full";
  Session s = session("GET_VERSION\n", {}, full);
  EXPECT_EQ(s.run.err, "Can't write to standard output: No space left on device\n");
  EXPECT_EQ(s.run.status, 1);
}

}  // namespace
