#include "link/exchange.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "link/server_link.h"
#include "term/output.h"
#include "tests/capture.h"
#include "tests/loopback.h"
#include "tests/run_client.h"
#include "tests/script_server.h"
#include "tests/wait.h"

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
    int fd = loopback_connected(server.port);
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
  std::atomic<bool> burst_sent{false};
  std::atomic<int> fd{-1};
  Reply reply;
  for (int i = 0; i < count; ++i)
    reply.push_back({ScriptStep::SEND, "line\n"});
  // The end mark only once the reader has emptied the queue, so that it is
  // not dropped with the lines.
  reply.push_back({ScriptStep::CALL, "", 0, [&] {
                     burst_sent = true;
                     wait_until([&] {
                       int queued = 1;
                       return ioctl(fd, FIONREAD, &queued) == 0 && queued == 0;
                     });
                   }});
  reply.push_back({ScriptStep::SEND, "\x1A"});
  serve({reply});
  int tiny = 1;  // the kernel's smallest queue: a reader that falls behind
  fd = loopback_connected(server.port);
  prepare_stream_socket(fd);
  setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &tiny, sizeof tiny);
  send(fd, "GET_SAT_POS ISS", 16, 0);
  ASSERT_TRUE(wait_until([&] { return burst_sent.load(); }));  // sent while nobody reads
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

TEST_F(ExchangeTest, PacedStreamShowsEachDatagramBeforeTheNext) {
  // The server sends the second line only once the first has been shown,
  // or after a long wait if it never is.
  int pipe_fds[2];
  ASSERT_EQ(pipe(pipe_fds), 0);
  std::string shown;
  bool first_shown_before_second = false;
  serve({{{ScriptStep::SEND, "first\n"},
          {ScriptStep::CALL, "", 0, [&] {
             first_shown_before_second = wait_until([&] {
               pollfd ready = {pipe_fds[0], POLLIN, 0};
               return poll(&ready, 1, 0) == 1;
             });
           }},
          {ScriptStep::SEND, "second\n"},
          {ScriptStep::SEND, "\x1A"}}});
  output_init(pipe_fds[1], false);
  std::thread client([] { exchange_stream(SERVER_HOST, "ZENOTAR TRACK ISS"); output_flush(); });
  client.join();
  output_init(1, false);
  close(pipe_fds[1]);
  shown = read_to_end(pipe_fds[0]);
  close(pipe_fds[0]);
  EXPECT_TRUE(first_shown_before_second);
  EXPECT_EQ(shown, "first\nsecond\n\n");
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
