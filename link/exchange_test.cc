#include "link/exchange.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "term/output.h"
#include "term/report.h"
#include "link/server_link.h"
#include "tests/capture.h"
#include "tests/script_server.h"

namespace {

const char REFUSED[] = "Connection refused - ZENOTAR server not running\n";
const char NO_ANSWER[] = "No answer from ZENOTAR server within 10 seconds\n";

/// A scripted server that this process reaches as "zenotar"/"udp": the fake
/// services entry is linked into this test.
class ExchangeTest : public testing::Test {
 protected:
  void serve(std::vector<Reply> script) {
    start_script_server(&server, std::move(script));
    setenv("ZENOTAR_FAKE_PORT", std::to_string(server.port).c_str(), 1);
  }
  void TearDown() override {
    if (server.fd >= 0)
      stop_script_server(&server);
    unsetenv("ZENOTAR_FAKE_PORT");
  }
  /// A socket connected to the server with command already sent on it.
  int send_to_server(const std::string& command) {
    int fd = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(server.port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    send(fd, command.c_str(), command.size() + 1, 0);
    return fd;
  }
  ScriptServer server;
};

struct SingleCase {
  const char* name;
  std::string datagram;
  std::string text;
};

TEST_F(ExchangeTest, SingleAnswerIsTheDatagramUpToItsFirstZeroByte) {
  const SingleCase cases[] = {
      {"plain", "ZENOTAR server 1.0", "ZENOTAR server 1.0"},
      {"zero-length", "", ""},
      {"zero byte inside", std::string("ab\0cd", 5), "ab"},
      {"end mark means nothing here", "\x1A" "abc", "\x1A" "abc"},
      {"4,000 bytes arrive whole", std::string(4000, 'x'), std::string(4000, 'x')},
      {"65,507 bytes arrive whole", std::string(65507, 'y'), std::string(65507, 'y')},
  };
  std::vector<Reply> script;
  for (const SingleCase& c : cases)
    script.push_back(answer(c.datagram));
  serve(script);
  for (const SingleCase& c : cases) {
    SCOPED_TRACE(c.name);
    const char* text = exchange_single(SERVER_HOST, "GET_VERSION");
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(std::string(text), c.text);
  }
  std::vector<std::string> requests = received_requests(&server);
  ASSERT_EQ(requests.size(), std::size(cases));
  EXPECT_EQ(requests[0], std::string("GET_VERSION\0", 12));
}

TEST_F(ExchangeTest, RequestIsTheCommandAndOneZeroByte) {
  std::string command(79, 'c');
  serve({answer("ok")});
  exchange_single(SERVER_HOST, command.c_str());
  std::vector<std::string> requests = received_requests(&server);
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0], command + '\0');
  EXPECT_EQ(requests[0].size(), 80u);
}

struct StreamCase {
  const char* name;
  Reply reply;
  std::string printed;
};

TEST_F(ExchangeTest, StreamPrintsEachTextUpToTheEndMark) {
  std::string big(4000, 'z');
  const StreamCase cases[] = {
      {"texts run on across datagrams", stream({"ab\n", "cd", "ef\n"}), "ab\ncdef\n\n"},
      {"end mark first", stream({}), "\n"},
      {"0x1A not first is text", stream({"a\x1A" "b\n"}), "a\x1A" "b\n\n"},
      {"zero-length datagram", stream({"", "x"}), "x\n"},
      {"zero byte inside", stream({std::string("ab\0cd", 5), "e"}), "abe\n"},
      {"4,000 bytes arrive whole", stream({big}), big + "\n"},
      {"rest of the end mark ignored", {{ScriptStep::SEND, "a"}, {ScriptStep::SEND, "\x1A" "tail"}},
       "a\n"},
      {"nothing after the end mark",
       {{ScriptStep::SEND, "a"}, {ScriptStep::SEND, "\x1A"}, {ScriptStep::SEND, "late"}}, "a\n"},
  };
  std::vector<Reply> script;
  for (const StreamCase& c : cases)
    script.push_back(c.reply);
  serve(script);
  for (const StreamCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::string printed = capture_output([] { exchange_stream(SERVER_HOST, "GET_SAT_POS ISS"); });
    EXPECT_EQ(printed, c.printed);
  }
}

TEST_F(ExchangeTest, DatagramFromAnotherLocalPortNeverArrives) {
  Reply single = {{ScriptStep::SEND_FROM_STRANGER, "intruder"}, {ScriptStep::SEND, "real"}};
  Reply streamed = {{ScriptStep::SEND_FROM_STRANGER, "intruder"}, {ScriptStep::SEND, "real"},
                    {ScriptStep::SEND_FROM_STRANGER, "\x1A"}, {ScriptStep::SEND, "\x1A"}};
  serve({single, streamed});
  EXPECT_STREQ(exchange_single(SERVER_HOST, "GET_VERSION"), "real");
  EXPECT_EQ(capture_output([] { exchange_stream(SERVER_HOST, "ZENOTAR LIST"); }), "real\n");
}

TEST_F(ExchangeTest, BurstOfDatagramsArrivesWholeAndInOrder) {
  const int count = 5000;
  std::vector<std::string> lines;
  std::string expected;
  for (int i = 0; i < count; ++i) {
    lines.push_back("line " + std::to_string(i) + "\n");
    expected += lines.back();
  }
  serve({stream(lines)});
  std::string printed;
  testing::internal::CaptureStderr();
  printed = capture_output([] { exchange_stream(SERVER_HOST, "GET_SAT_POS ISS 5000"); });
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(printed, expected + "\n");
}

TEST_F(ExchangeTest, LostDatagramsAreCountedOnce) {
  const int count = 400;
  Reply reply;
  for (int i = 0; i < count; ++i)
    reply.push_back({ScriptStep::SEND, "line\n"});
  reply.push_back({ScriptStep::PAUSE, "", 600});
  reply.push_back({ScriptStep::SEND, "\x1A"});
  serve({reply});
  int fd = send_to_server("GET_SAT_POS ISS");
  prepare_stream_socket(fd);
  int tiny = 1;  // the kernel's smallest queue: a reader that falls behind
  setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &tiny, sizeof tiny);
  usleep(300 * 1000);  // the burst is sent while nobody reads
  testing::internal::CaptureStderr();
  std::string printed = capture_output([&] { receive_stream(fd, 5000); });
  std::string said = testing::internal::GetCapturedStderr();
  close(fd);
  size_t shown = 0;
  for (size_t at = printed.find("line\n"); at != std::string::npos; at = printed.find("line\n", at + 1))
    ++shown;
  ASSERT_LT(shown, static_cast<size_t>(count));
  EXPECT_EQ(said, std::to_string(count - shown) + " datagrams of this answer were lost\n");
}

TEST_F(ExchangeTest, SilenceEndsTheWait) {
  serve({silence(), {{ScriptStep::SEND, "part"}}});
  int fd = send_to_server("GET_VERSION");
  testing::internal::CaptureStderr();
  EXPECT_EQ(receive_single(fd, 200), nullptr);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), NO_ANSWER);
  close(fd);

  fd = send_to_server("GET_SAT_POS ISS");
  testing::internal::CaptureStderr();
  std::string printed = capture_output([&] { receive_stream(fd, 200); });
  EXPECT_EQ(testing::internal::GetCapturedStderr(), NO_ANSWER);
  EXPECT_EQ(printed, "part\n");
  close(fd);
}

double seconds_now() {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<double>(now.tv_sec) + now.tv_nsec / 1e9;
}

TEST_F(ExchangeTest, PacedStreamShowsEachDatagramBeforeTheNext) {
  serve({{{ScriptStep::SEND, "first\n"},
          {ScriptStep::PAUSE, "", 800},
          {ScriptStep::SEND, "second\n"},
          {ScriptStep::SEND, "\x1A"}}});
  int pipe_fds[2];
  ASSERT_EQ(pipe(pipe_fds), 0);
  output_init(pipe_fds[1], false);
  double started = seconds_now();
  std::thread client([] { exchange_stream(SERVER_HOST, "ZENOTAR TRACK ISS"); output_flush(); });
  char buffer[64];
  ssize_t got = read(pipe_fds[0], buffer, sizeof buffer);
  double first_seen = seconds_now() - started;
  client.join();
  output_init(1, false);
  close(pipe_fds[0]);
  close(pipe_fds[1]);
  ASSERT_GT(got, 0);
  EXPECT_EQ(std::string(buffer, static_cast<size_t>(got)), "first\n");
  EXPECT_LT(first_seen, 0.6);
}

using ExchangeDeathTest = ExchangeTest;

TEST_F(ExchangeDeathTest, NothingListeningEndsWithTheRefusal) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  setenv("ZENOTAR_FAKE_PORT", std::to_string(unused_port()).c_str(), 1);
  EXPECT_EXIT(exchange_single(SERVER_HOST, "GET_VERSION"), testing::ExitedWithCode(1),
              std::string("^") + REFUSED + "$");
  EXPECT_EXIT(exchange_stream(SERVER_HOST, "GET_SAT_POS ISS"), testing::ExitedWithCode(1),
              std::string("^") + REFUSED + "$");
}

TEST_F(ExchangeDeathTest, NoServicesEntryEndsWith255) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  unsetenv("ZENOTAR_FAKE_PORT");
  EXPECT_EXIT(exchange_single(SERVER_HOST, "GET_VERSION"), testing::ExitedWithCode(255), "");
}

}  // namespace
