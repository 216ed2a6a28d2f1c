// The real zenotar-client, run with pipes against a scripted server.

#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <future>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/run_client.h"
#include "tests/script_server.h"
#include "tests/terminal_session.h"

namespace {

const std::string BANNER = "\nEnter the command you wish to send ZENOTAR.\n\n";
const std::string PROMPT = CLIENT_PROMPT;
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

TEST(Console, NoServicesEntry) {
  // Standard output as it always was, for scripts; what to do on standard error.
  ClientRun run = run_client("GET_VERSION\n", {});
  EXPECT_EQ(run.out, "Can't get services\n");
  EXPECT_EQ(run.err, "zenotar-client: no \"zenotar\" entry for udp in the services database; "
                     "add a line \"zenotar <port>/udp\" to /etc/services\n");
  EXPECT_EQ(run.status, 255);
}

TEST(Console, TerminalSeesControlBytesEscapedAndPipesExactBytes) {
  const std::string hostile =
      "\x1b]0;owned\x07\x1b[2J\x9b" "31mred\xc2\x9b\xe2\x86\x92 \xe2\x80\xae" "cba\xe2\x81\xa9";
  const std::string shown =
      "\\x1B]0;owned\\x07\\x1B[2J\\x9B31mred\\xC2\\x9B\xe2\x86\x92 \\u202Ecba\\u2069";
  ScriptServer server;
  start_script_server(&server, {answer("v1"), answer(hostile), stream({hostile, "\n"})});
  TerminalSession s;
  s.start(server.port);
  size_t mark = s.screen.size();
  s.type("A\r", PROMPT);
  EXPECT_EQ(s.screen.substr(mark), "A\r\n" + shown + "\r\n" + PROMPT);
  mark = s.screen.size();
  s.type("ZENOTAR TRACK X\r", PROMPT);
  EXPECT_EQ(s.screen.substr(mark), "ZENOTAR TRACK X\r\n" + shown + "\r\n\r\n" + PROMPT);
  s.type("quit\r");
  s.finish();
  stop_script_server(&server);
  EXPECT_EQ(s.screen.find('\x1b'), std::string::npos);

  Session piped = session("A\nZENOTAR TRACK X\n", {answer(hostile), stream({hostile, "\n"})});
  EXPECT_EQ(piped.run.out, BANNER + PROMPT + hostile + "\n" + PROMPT + hostile + "\n\n" + PROMPT);
}

const std::string REFUSED = "Connection refused - ZENOTAR server not running\n";
const std::string NO_ANSWER = "No answer from ZENOTAR server within 10 seconds\n";

/// One way the server, the network or the standard streams can fail, and
/// what the client must then show and how it must end.
struct Fault {
  const char* name;
  std::vector<Reply> script = {};  ///< from the probe on; empty: no server at all
  std::string input = "";
  ClientOptions options = {};
  int status = 0;
  std::string out = "", err = "";
  size_t requests = 0;  ///< how many the server must have had; 0: not checked
  double at_least_seconds = 0;  ///< it must have waited out the answer's wait
  double at_most_seconds = 30;  ///< it must not have: it ends at once
};

struct FaultRun {
  ClientRun run;
  size_t requests;
};

FaultRun run_fault(const Fault& fault) {
  ScriptServer server;
  ClientOptions options = fault.options;
  if (fault.script.empty()) {
    options.port = unused_port();
    return {run_client(fault.input, options), 0};
  }
  start_script_server(&server, fault.script, answer("ok"));
  options.port = server.port;
  // The late input goes once the server's port is really gone: a child of
  // another row between fork and exec can hold it open a moment longer.
  options.later_when = [&server] { return server_gone(&server); };
  ClientRun run = run_client(fault.input, options);
  stop_script_server(&server);
  return {run, received_requests(&server).size()};
}

TEST(Faults, TableOfFaults) {
  const Reply probe = answer("v1");
  const std::string big(65507, 'x');
  std::vector<std::string> burst;
  std::string burst_shown;
  for (int i = 0; i < 5000; ++i) {
    burst.push_back("position " + std::to_string(i) + "\n");
    burst_shown += burst.back();
  }
  ClientOptions later_b, reader_gone, reader_gone_ignored, full, stdin_closed, stdin_directory,
      stderr_closed;
  later_b.later_input = "B\n";  // once the server has gone: run_fault says when
  reader_gone.stdout_reader_gone = true;
  reader_gone_ignored.stdout_reader_gone = true;
  reader_gone_ignored.ignore_sigpipe = true;
  full.stdout_path = "/dev/full";
  stdin_closed.close_stdin = true;
  stdin_directory.stdin_path = "/";
  stderr_closed.close_stderr = true;
  const std::string start = BANNER + PROMPT;
  const std::vector<Fault> faults = {
      {.name = "server absent at start", .input = "GET_VERSION\n", .status = 1, .err = REFUSED},
      {.name = "server gone after the probe",
       .script = {probe, {{ScriptStep::SEND, "a"}, {ScriptStep::CLOSE}}},
       .input = "A\n", .options = later_b, .status = 1, .out = start + "a\n" + PROMPT,
       .err = REFUSED},
      {.name = "server gone in the middle of a stream",
       .script = {probe, {{ScriptStep::SEND, "part\n"}, {ScriptStep::CLOSE}}},
       .input = "GET_SAT_POS ISS\nB\n", .status = 1, .out = start + "part\n\n" + PROMPT,
       .err = NO_ANSWER + REFUSED, .at_least_seconds = 9.5},
      {.name = "silent at the probe", .script = {silence()}, .input = "GET_VERSION\n",
       .status = 1, .err = NO_ANSWER, .requests = 1, .at_least_seconds = 9.5},
      {.name = "silent after the probe",
       .script = {probe, silence(), {{ScriptStep::SEND, "part"}}, answer("b")},
       .input = "A\nGET_SAT_POS ISS\nB\n", .status = 0,
       .out = start + PROMPT + "part\n" + PROMPT + "b\n" + PROMPT, .err = NO_ANSWER + NO_ANSWER,
       .requests = 4, .at_least_seconds = 19},
      {.name = "datagrams from another local port",
       .script = {probe,
                  {{ScriptStep::SEND_FROM_STRANGER, "intruder"}, {ScriptStep::SEND, "real"}},
                  {{ScriptStep::SEND_FROM_STRANGER, "x"}, {ScriptStep::SEND, "s\n"},
                   {ScriptStep::SEND_FROM_STRANGER, "\x1A"}, {ScriptStep::SEND, "\x1A"}}},
       .input = "A\nGET_SAT_POS ISS\n", .status = 0,
       .out = start + "real\n" + PROMPT + "s\n\n" + PROMPT},
      {.name = "a 65,507-byte answer", .script = {probe, answer(big)}, .input = "A\n",
       .status = 0, .out = start + big + "\n" + PROMPT},
      {.name = "a burst of answers",
       .script = {probe, stream(burst),
                  {{ScriptStep::SEND, "one"}, {ScriptStep::SEND, "two"}, {ScriptStep::SEND, "three"}},
                  answer("b")},
       .input = "GET_SAT_POS ISS 5000\nA\nB\n", .status = 0,
       .out = start + burst_shown + "\n" + PROMPT + "one\n" + PROMPT + "b\n" + PROMPT},
      {.name = "standard output: its reader gone", .script = {probe}, .input = "A\n",
       .options = reader_gone, .status = 128 + SIGPIPE, .at_most_seconds = 5},
      {.name = "standard output: its reader gone, SIGPIPE ignored", .script = {probe},
       .input = "A\n", .options = reader_gone_ignored, .status = 1,
       .err = "Can't write to standard output: Broken pipe\n", .at_most_seconds = 5},
      {.name = "standard output on /dev/full", .script = {probe}, .input = "GET_VERSION\n",
       .options = full, .status = 1, .err = "Can't write to standard output: No space left on device\n",
       .at_most_seconds = 5},
      {.name = "standard input closed", .script = {probe}, .options = stdin_closed, .status = 0,
       .out = start, .err = "Can't read standard input: Bad file descriptor\n", .requests = 1,
       .at_most_seconds = 5},
      {.name = "standard input a directory", .script = {probe}, .options = stdin_directory,
       .status = 0, .out = start, .err = "Can't read standard input: Is a directory\n",
       .requests = 1, .at_most_seconds = 5},
      // "No answer ..." goes nowhere: no socket can have taken descriptor 2.
      {.name = "standard error closed", .script = {probe, silence()}, .input = "A\nB\n",
       .options = stderr_closed, .status = 0, .out = start + PROMPT + "ok\n" + PROMPT,
       .requests = 3, .at_least_seconds = 9.5},
  };
  // The rows run side by side: most of them wait on the bounded wait. Under
  // a wrapper such as valgrind every start is slower.
  const bool wrapped = getenv("ZENOTAR_TEST_WRAPPER") != nullptr;
  const double slack = wrapped ? 4 : 1;
  std::vector<std::future<FaultRun>> runs;
  for (const Fault& fault : faults)
    runs.push_back(std::async(std::launch::async, run_fault, std::cref(fault)));
  for (size_t i = 0; i < faults.size(); ++i) {
    const Fault& f = faults[i];
    FaultRun r = runs[i].get();
    SCOPED_TRACE(f.name);
    // A wrapper such as valgrind needs standard error, and its own
    // descriptors change which numbers are free: the row is the bare client's.
    if (wrapped && f.options.close_stderr)
      continue;
    EXPECT_EQ(r.run.status, f.status);
    EXPECT_EQ(r.run.out, f.out);
    EXPECT_EQ(r.run.err, f.err);
    if (f.requests != 0) {
      EXPECT_EQ(r.requests, f.requests);  // nothing is ever sent twice
    }
    EXPECT_GE(r.run.seconds, f.at_least_seconds);
    EXPECT_LE(r.run.seconds, f.at_most_seconds * slack);
  }
}

size_t open_descriptors(pid_t pid) {
  std::error_code error;
  auto entries = std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/fd", error);
  return static_cast<size_t>(std::distance(begin(entries), end(entries)));
}

TEST(Faults, TenThousandCommandsKeepTheDescriptorCount) {
  const int count = 10000;
  std::atomic<pid_t> client{0};
  std::atomic<size_t> first{0}, last{0};
  // Commands alternate between the two exchanges; streams end at once.
  std::string input;
  std::vector<Reply> script;
  for (int i = 0; i < count; ++i) {
    bool streamed = i % 2 == 0;
    input += streamed ? "GET_SAT_POS ISS 1\n" : "GET_VERSION\n";
    script.push_back(answer(streamed ? "\x1A" : "ok"));
  }
  script.front().insert(script.front().begin(),
                        {ScriptStep::CALL, "", 0, [&] { first = open_descriptors(client); }});
  script.back().insert(script.back().begin(),
                       {ScriptStep::CALL, "", 0, [&] { last = open_descriptors(client); }});
  ClientOptions options;
  options.on_start = [&](pid_t pid) { client = pid; };
  options.timeout_seconds = 300;
  Session s = session(input, script, options);
  EXPECT_EQ(s.run.status, 0);
  EXPECT_EQ(s.requests.size(), static_cast<size_t>(count));
  EXPECT_GT(first, 0u);
  EXPECT_EQ(last, first);
}

}  // namespace
