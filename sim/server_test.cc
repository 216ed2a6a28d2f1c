// The simulator's loop on an ephemeral port, in a thread of the test.

#include "sim/server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "sim/text.h"
#include "tests/loopback.h"
#include "tests/reference_elements.h"
#include "tests/script_server.h"
#include "tests/wait.h"

namespace {

const char CATALOGUE[] =
    ISS_2008_TLE
    "AKEBONO (EXOS-D)\n"
    "1 19822U 89016A   19331.07700297  .00016037  93960-6  28103-3 0  9992\n"
    "2 19822  75.0289 316.1359 1764871 261.4338  78.3806 12.01292738 15108\n";

const std::string END(1, STREAM_END_MARK);

class SimServer : public testing::Test {
 protected:
  void SetUp() override {
    world.station = {51.4779, -0.0015, 0.046};
    std::string error;
    ASSERT_TRUE(parse_catalogue(CATALOGUE, "test", &world.satellites, &error)) << error;
    fd = open_server_socket(0);
    ASSERT_GE(fd, 0);
    port = bound_port(fd);
    double start;
    parse_time(clock_start(), &start);
    clock = start_clock(start);
    thread = std::thread([this] { serve(fd, world, clock, &stop); });
  }
  void TearDown() override {
    stop = 1;
    int waker = connect_client();
    send(waker, "", 0, 0);  // wakes the loop to see the stop
    thread.join();
    close(waker);
    close(fd);
  }
  /// Where the simulated clock starts.
  virtual const char* clock_start() const { return "2008-09-20T12:25:40Z"; }
  int connect_client() { return loopback_connected(port); }
  static bool receive(int client, std::string* datagram, int wait_ms = 5000) {
    return receive_datagram(client, datagram, wait_ms);
  }
  /// Sends request and collects answers until the end mark, or one datagram
  /// for a single answer; checks that nothing follows.
  std::vector<std::string> exchange(const std::string& request, bool streamed) {
    int client = connect_client();
    send(client, request.data(), request.size(), 0);
    std::vector<std::string> got;
    std::string datagram;
    while (receive(client, &datagram)) {
      got.push_back(datagram);
      if (!streamed || (!datagram.empty() && datagram[0] == STREAM_END_MARK))
        break;
    }
    pollfd ready = {client, POLLIN, 0};
    EXPECT_EQ(poll(&ready, 1, streamed ? 100 : 300), 0) << request;
    close(client);
    return got;
  }
  World world;
  int fd = -1;
  int port = 0;
  SimClock clock;
  volatile sig_atomic_t stop = 0;
  std::thread thread;
};

TEST_F(SimServer, EveryStreamedLineIsADatagramAndTheMarkComesLast) {
  std::vector<std::string> got = exchange(std::string("GET_SAT_POS ISS 5000\0", 21), true);
  ASSERT_EQ(got.size(), 5001u);
  EXPECT_EQ(got[0].substr(0, 26), "time=2008-09-20T12:25:40Z ");
  EXPECT_EQ(got[4999].substr(0, 26), "time=2008-09-20T13:48:59Z ");
  EXPECT_EQ(got[5000], END);
}

TEST_F(SimServer, LiveTrackIsPacedOncePerSecond) {
  double started = monotonic_seconds();
  std::vector<std::string> got = exchange(std::string("ZENOTAR TRACK ISS 3\0", 20), true);
  double seconds = monotonic_seconds() - started;
  ASSERT_EQ(got.size(), 4u);
  EXPECT_EQ(got[3], END);
  EXPECT_GE(seconds, 1.9);
  EXPECT_EQ(got[0].substr(0, 26), "time=2008-09-20T12:25:40Z ");
  EXPECT_EQ(got[1].substr(0, 26), "time=2008-09-20T12:25:41Z ");
  EXPECT_EQ(got[2].substr(0, 26), "time=2008-09-20T12:25:42Z ");
}

struct BadDatagram {
  const char* name;
  std::string bytes;
  bool streamed;
};

TEST_F(SimServer, EveryDatagramIsAnswered) {
  const BadDatagram cases[] = {
      {"empty", "", false},
      {"no zero byte", "GET_VERSION", false},
      {"largest datagram", std::string(65507, 'A'), false},
      {"binary", std::string("\xff\x00\x1b[2J\x01", 7), false},
      {"unknown words", std::string("FLY ME TO THE MOON\0", 19), false},
      {"lower-case stream word", std::string("zenotar list\0", 13), false},
      {"streamed, largest", "ZENOTAR" + std::string(65500, 'B'), true},
      {"streamed, binary", std::string("GET_SAT_POS \xff\xfe\x00", 15), true},
  };
  for (const BadDatagram& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> got = exchange(c.bytes, c.streamed);
    if (c.streamed) {
      ASSERT_EQ(got.size(), 2u);
      EXPECT_EQ(got[0].substr(0, 6), "ERROR ");
      EXPECT_EQ(got[1], END);
    } else {
      ASSERT_EQ(got.size(), 1u);
      if (c.bytes.substr(0, 11) != "GET_VERSION") {
        EXPECT_EQ(got[0].substr(0, 6), "ERROR ");
      }
    }
  }
  EXPECT_EQ(exchange(std::string("GET_VERSION\0", 12), false),
            std::vector<std::string>{"ZENOTAR simulator zenotar-sim " ZENOTAR_VERSION});
}

/// The server at the epoch of the AKEBONO elements, whose passes cost most.
class BusySimServer : public SimServer {
 protected:
  const char* clock_start() const override { return "2019-11-27T02:00:00Z"; }
};

TEST_F(BusySimServer, AFloodFromOneSocketDoesNotHoldUpAnother) {
  // The costliest request, a thousand times from one socket, read as it
  // comes; then one GET_VERSION from another socket. Served in turn, it is
  // answered before the flood's last answer.
  int flooder = connect_client();
  std::atomic<int> marks{0}, busy{0};
  std::atomic<double> flood_done{0};
  std::thread reader([&] {
    std::string datagram;
    while (marks < 1000 && receive(flooder, &datagram, 20000)) {
      marks += datagram == END;
      busy += datagram.find("server busy") != std::string::npos;
    }
    flood_done = monotonic_seconds();
  });
  const std::string costly = std::string("ZENOTAR PASSES AKEBONO 168") + '\0';
  for (int i = 0; i < 1000; ++i)
    send(flooder, costly.data(), costly.size(), 0);
  int other = connect_client();
  send(other, "GET_VERSION", 12, 0);
  std::string answer;
  ASSERT_TRUE(receive(other, &answer));
  double answered = monotonic_seconds();
  close(other);
  reader.join();
  close(flooder);
  EXPECT_EQ(answer, "ZENOTAR simulator zenotar-sim " ZENOTAR_VERSION);
  EXPECT_LT(answered, flood_done);
  EXPECT_EQ(marks, 1000);  // every request of the flood is answered, each with its end mark
  EXPECT_GT(busy, 0);      // those beyond what a peer may have waiting, at once
}

TEST_F(SimServer, OneLiveTrackPerPortAndNoneForAClosedPort) {
  int first = connect_client();
  const std::string track = std::string("ZENOTAR TRACK ISS 600") + '\0';
  send(first, track.data(), track.size(), 0);
  std::string datagram;
  ASSERT_TRUE(receive(first, &datagram));
  EXPECT_EQ(datagram.substr(0, 5), "time=");
  send(first, track.data(), track.size(), 0);  // a second one from the same port
  std::vector<std::string> refusal;
  while (refusal.size() < 2 && receive(first, &datagram)) {
    if (datagram.substr(0, 5) != "time=")
      refusal.push_back(datagram);
  }
  ASSERT_EQ(refusal.size(), 2u);
  EXPECT_EQ(refusal[0], "ERROR a live track already runs for this port until 2008-09-20T12:35:40Z; "
                        "this one is refused\n");
  EXPECT_EQ(refusal[1], END);
  // Every one of the 64 tracks can then be taken by other sockets, opened
  // while the first is open so that none of them gets its port.
  std::vector<int> others;
  for (int i = 0; i < 64; ++i)
    others.push_back(connect_client());
  close(first);  // its next line meets a closed port, and the track is dropped
  for (int other : others) {
    // The first socket's track may not yet have met its closed port: its
    // slot is free within a second or so; ask again until then.
    bool tracked = wait_until([&] {
      send(other, track.data(), track.size(), 0);
      if (!receive(other, &datagram) || datagram.substr(0, 5) == "time=")
        return true;
      EXPECT_EQ(datagram, "ERROR too many live tracks (64); try again later\n");
      std::string end;
      EXPECT_TRUE(receive(other, &end) && end == END);
      return false;
    });
    EXPECT_TRUE(tracked);
    EXPECT_EQ(datagram.substr(0, 5), "time=") << datagram;
  }
  for (int other : others)
    close(other);
}

}  // namespace
