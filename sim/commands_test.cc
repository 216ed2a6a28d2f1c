#include "sim/commands.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <math.h>
#include <poll.h>
#include <stdio.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "sim/server.h"

namespace {

const char CATALOGUE[] =
    "ISS\n"
    "1 25544U 98067A   08264.51782528 -.00002182  00000-0 -11606-4 0  2927\n"
    "2 25544  51.6416 247.4627 0006703 130.5360 325.0288 15.72125391563537\n"
    "NOAA 19\n"
    "1 33591U 09005A   24363.16300298  .00000451  00000-0  26450-3 0  9992\n"
    "2 33591  99.0226  60.7854 0014697 104.8667 255.4134 14.13241242819028\n"
    "NOAA 18\n"
    "1 28654U 05018A   20028.55430359  .00000064  00000-0  59410-4 0  9998\n"
    "2 28654  99.0657  83.5290 0013366 267.3059  92.6583 14.12484618757024\n";

const std::string END(1, STREAM_END_MARK);

World test_world() {
  World world;
  world.station = {51.4779, -0.0015, 0.046};
  std::string error;
  parse_catalogue(CATALOGUE, "test", &world.satellites, &error);
  return world;
}

double epoch_2008() {
  double time;
  parse_time("2008-09-20T12:25:40Z", &time);
  return time;
}

std::vector<std::string> ask(const World& world, const std::string& command) {
  return answer_request(world, command.c_str(), command.size() + 1, epoch_2008()).datagrams;
}

/// True for a whole position line whose fields are all in their ranges.
bool is_position_line(const std::string& line) {
  char time_text[32];
  int sat, consumed = 0;
  double lat, lon, alt, az, el, range, time;
  if (sscanf(line.c_str(), "time=%31s sat=%d lat=%lf lon=%lf alt=%lf az=%lf el=%lf range=%lf\n%n",
             time_text, &sat, &lat, &lon, &alt, &az, &el, &range, &consumed) != 8)
    return false;
  return static_cast<size_t>(consumed) == line.size() && line.back() == '\n' &&
         parse_time(time_text, &time) && sat > 0 && fabs(lat) <= 90 && fabs(lon) <= 180 &&
         alt > 100 && az >= 0 && az < 360 && fabs(el) <= 90 && range > 0;
}

TEST(Commands, SingleAnswers) {
  World world = test_world();
  EXPECT_EQ(ask(world, "GET_VERSION"), std::vector<std::string>{"ZENOTAR simulator zenotar-sim 1.0.0"});
  EXPECT_EQ(ask(world, "GET_TIME"), std::vector<std::string>{"2008-09-20T12:25:40Z"});
  std::vector<std::string> help = ask(world, "HELP");
  ASSERT_EQ(help.size(), 1u);
  for (const char* word : {"GET_VERSION", "GET_SAT_POS", "ZENOTAR LIST", "ZENOTAR TRACK",
                           "ZENOTAR PASSES", "SGP4"})
    EXPECT_NE(help[0].find(word), std::string::npos) << word;
}

TEST(Commands, PositionsAreATableOfKeyValueLines) {
  World world = test_world();
  std::vector<std::string> lines = ask(world, "GET_SAT_POS ISS 3 60");
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines.back(), END);
  for (size_t i = 0; i < 3; ++i)
    EXPECT_TRUE(is_position_line(lines[i])) << lines[i];
  EXPECT_EQ(lines[0].substr(0, 56), "time=2008-09-20T12:25:40Z sat=25544 lat=51.49 lon=160.12");
  EXPECT_EQ(lines[2].substr(0, 26), "time=2008-09-20T12:27:40Z ");
  EXPECT_EQ(ask(world, "GET_SAT_POS iss").size(), 11u);  // default 10 lines
}

TEST(Commands, CountIsCapped) {
  World world = test_world();
  std::vector<std::string> lines = ask(world, "GET_SAT_POS 25544 20000 1");
  EXPECT_EQ(lines.size(), static_cast<size_t>(MAX_POSITIONS) + 1);
  EXPECT_EQ(lines.back(), END);
  Answer track = answer_request(world, "ZENOTAR TRACK ISS 9999", 22, epoch_2008());
  EXPECT_TRUE(track.track);
  EXPECT_EQ(track.seconds, MAX_TRACK_SECONDS);
}

TEST(Commands, SatelliteByNumberOrName) {
  World world = test_world();
  const char* found[][2] = {{"25544", "sat=25544"}, {"iss", "sat=25544"}, {"noaa_19", "sat=33591"},
                            {"\"NOAA 18\"", "sat=28654"}, {"Noaa_18", "sat=28654"}};
  for (auto& f : found) {
    std::vector<std::string> lines = ask(world, std::string("GET_SAT_POS ") + f[0] + " 1");
    ASSERT_EQ(lines.size(), 2u) << f[0];
    EXPECT_NE(lines[0].find(f[1]), std::string::npos) << f[0] << ": " << lines[0];
  }
}

struct BadStream {
  const char* command;
  const char* error;
};

TEST(Commands, MalformedStreamsGetAnErrorLineAndTheEndMark) {
  World world = test_world();
  const BadStream cases[] = {
      {"GET_SAT_POS", "ERROR which satellite? send HELP for the arguments\n"},
      {"GET_SAT_POS XYZ", "ERROR unknown satellite \"XYZ\"; ZENOTAR LIST shows the known ones\n"},
      {"GET_SAT_POS NOAA", "ERROR \"NOAA\" could be any of NOAA 19, NOAA 18\n"},
      {"GET_SAT_POS ISS 0", "ERROR count must be a whole number from 1 to 10000, not \"0\"\n"},
      {"GET_SAT_POS ISS -5", "ERROR count must be a whole number from 1 to 10000, not \"-5\"\n"},
      {"GET_SAT_POS ISS 3 x", "ERROR step must be a whole number from 1 to 86400, not \"x\"\n"},
      {"GET_SAT_POS ISS 1 1 1", "ERROR too many arguments; send HELP for the arguments\n"},
      {"GET_SAT_POSITION ISS", "ERROR unknown command \"GET_SAT_POSITION ISS\"; send HELP for the list\n"},
      {"ZENOTAR", "ERROR unknown command \"ZENOTAR\"; send HELP for the list\n"},
      {"ZENOTAR FLY", "ERROR unknown command \"ZENOTAR FLY\"; send HELP for the list\n"},
      {"ZENOTARX LIST", "ERROR unknown command \"ZENOTARX LIST\"; send HELP for the list\n"},
      {"ZENOTAR TRACK", "ERROR which satellite? send HELP for the arguments\n"},
      {"ZENOTAR PASSES ISS 0", "ERROR hours must be a whole number from 1 to 168, not \"0\"\n"},
  };
  for (const BadStream& c : cases) {
    EXPECT_EQ(ask(world, c.command), (std::vector<std::string>{c.error, END})) << c.command;
  }
}

TEST(Commands, ListAndStation) {
  World world = test_world();
  std::vector<std::string> list = ask(world, "ZENOTAR LIST");
  ASSERT_EQ(list.size(), 4u);
  EXPECT_EQ(list[0], "sat=25544 age=0.0 name=ISS\n");
  EXPECT_EQ(list[1].substr(0, 10), "sat=33591 ");
  EXPECT_EQ(ask(world, "ZENOTAR STATION"), (std::vector<std::string>{"lat=51.4779 lon=-0.0015 alt=46\n", END}));
}

TEST(Commands, PassesMatchASampledElevation) {
  World world = test_world();
  std::vector<std::string> lines = ask(world, "ZENOTAR PASSES ISS 12");
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines.back(), END);
  lines.pop_back();
  // Count the rises by sampling every 10 seconds.
  int rises = 0;
  double start = epoch_2008();
  bool was_up = locate(world.satellites[0], world.station, start).look.el > 0;
  for (double t = start + 10; t <= start + 12 * 3600; t += 10) {
    bool up = locate(world.satellites[0], world.station, t).look.el > 0;
    rises += up && !was_up;
    was_up = up;
  }
  EXPECT_EQ(static_cast<int>(lines.size()), rises);
  for (const std::string& line : lines) {
    char rise_text[32], top_text[32], set_text[32];
    double top_el, rise, top, set;
    int consumed = 0;
    ASSERT_EQ(sscanf(line.c_str(), "rise=%31s max=%31s max_el=%lf set=%31s\n%n", rise_text, top_text,
                     &top_el, set_text, &consumed), 4) << line;
    EXPECT_EQ(static_cast<size_t>(consumed), line.size()) << line;
    ASSERT_TRUE(parse_time(rise_text, &rise) && parse_time(top_text, &top) &&
                parse_time(set_text, &set)) << line;
    EXPECT_LT(rise, top);
    EXPECT_LT(top, set);
    EXPECT_LT(set - rise, 20 * 60);
    double best = 0;
    for (double t = rise; t <= set; t += 1)
      best = std::max(best, locate(world.satellites[0], world.station, t).look.el);
    EXPECT_NEAR(top_el, best, 0.15) << line;
  }
}

/// The simulator's loop on an ephemeral port, in a thread of the test.
class SimServer : public testing::Test {
 protected:
  void SetUp() override {
    world = test_world();
    fd = bind_server(0);
    ASSERT_GE(fd, 0);
    port = bound_port(fd);
    clock = start_clock(epoch_2008());
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
  int connect_client() {
    int client = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address);
    return client;
  }
  /// Sends request and collects answers until the end mark, or one datagram
  /// for a single answer, or nothing more within a second.
  std::vector<std::string> exchange(const std::string& request, bool streamed) {
    int client = connect_client();
    send(client, request.data(), request.size(), 0);
    std::vector<std::string> got;
    static char buffer[65536];
    for (;;) {
      pollfd ready = {client, POLLIN, 0};
      if (poll(&ready, 1, 2000) <= 0)
        break;
      ssize_t n = recv(client, buffer, sizeof buffer, 0);
      if (n < 0)
        break;
      got.emplace_back(buffer, static_cast<size_t>(n));
      if (!streamed || (n > 0 && buffer[0] == STREAM_END_MARK))
        break;
    }
    // Nothing may follow the answer.
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
  std::vector<std::string> got = exchange(std::string("GET_SAT_POS ISS 5\0", 18), true);
  ASSERT_EQ(got.size(), 6u);
  for (size_t i = 0; i < 5; ++i)
    EXPECT_TRUE(is_position_line(got[i])) << got[i];
  EXPECT_EQ(got[5], END);
}

TEST_F(SimServer, LiveTrackIsPacedOncePerSecond) {
  auto started = std::chrono::steady_clock::now();
  std::vector<std::string> got = exchange(std::string("ZENOTAR TRACK ISS 3\0", 20), true);
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  ASSERT_EQ(got.size(), 4u);
  EXPECT_EQ(got[3], END);
  EXPECT_GE(seconds, 1.9);
  EXPECT_NE(got[0].substr(0, 25), got[2].substr(0, 25));  // the time moves on
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
            std::vector<std::string>{"ZENOTAR simulator zenotar-sim 1.0.0"});
}

}  // namespace
