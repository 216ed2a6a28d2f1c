#include "sim/commands.h"

#include <math.h>
#include <stdio.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "sim/answers.h"
#include "sim/passes.h"
#include "sim/text.h"
#include "tests/reference_elements.h"

namespace {

const char CATALOGUE[] =
    ISS_2008_TLE
    "NOAA 19\n"
    "1 33591U 09005A   24363.16300298  .00000451  00000-0  26450-3 0  9992\n"
    "2 33591  99.0226  60.7854 0014697 104.8667 255.4134 14.13241242819028\n"
    "NOAA 18\n"
    "1 28654U 05018A   20028.55430359  .00000064  00000-0  59410-4 0  9998\n"
    "2 28654  99.0657  83.5290 0013366 267.3059  92.6583 14.12484618757024\n"
    "MINOTAUR R/B\n"
    "1 28872U 05037B   05333.02012661  .25992681  00000-0  24476-3 0  1534\n"
    "2 28872  96.4736 157.9986 0303955 244.0492 110.6523 16.46015938 10708\n";

const std::string END(1, STREAM_END_MARK);

World test_world() {
  World world;
  world.station = {51.4779, -0.0015, 0.046};
  std::string error;
  EXPECT_TRUE(parse_catalogue(CATALOGUE, "test", &world.satellites, &error)) << error;
  return world;
}

double time_of(const char* text) {
  double time = NAN;
  parse_time(text, &time);
  return time;
}

std::vector<std::string> ask(const World& world, const std::string& command,
                             const char* now = "2008-09-20T12:25:40Z") {
  return answer_request(world, command.c_str(), command.size() + 1, time_of(now)).datagrams;
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
  EXPECT_EQ(ask(world, "GET_VERSION"), std::vector<std::string>{"ZENOTAR simulator zenotar-sim " ZENOTAR_VERSION});
  EXPECT_EQ(ask(world, "GET_TIME"), std::vector<std::string>{"2008-09-20T12:25:40Z"});
  std::vector<std::string> help = ask(world, "HELP");
  ASSERT_EQ(help.size(), 1u);
  for (const char* word : {"GET_VERSION", "GET_SAT_POS", "ZENOTAR LIST", "ZENOTAR TRACK",
                           "ZENOTAR PASSES", "ZENOTAR STATE", "SGP4"})
    EXPECT_NE(help[0].find(word), std::string::npos) << word;
}

TEST(Commands, PositionsAreATableOfKeyValueLines) {
  World world = test_world();
  std::vector<std::string> lines = ask(world, "GET_SAT_POS ISS 3 60");
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines.back(), END);
  for (size_t i = 0; i < 3; ++i)
    EXPECT_TRUE(is_position_line(lines[i])) << lines[i];
  EXPECT_EQ(lines[0].substr(0, 56), "time=2008-09-20T12:25:40Z sat=25544 lat=51.46 lon=160.13");
  EXPECT_EQ(lines[2].substr(0, 26), "time=2008-09-20T12:27:40Z ");
  EXPECT_EQ(ask(world, "GET_SAT_POS iss").size(), 11u);  // default 10 lines
}

TEST(Commands, StateVectorsInTeme) {
  World world = test_world();
  std::vector<std::string> lines = ask(world, "ZENOTAR STATE ISS 2 60");
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines.back(), END);
  for (size_t i = 0; i < 2; ++i) {
    SCOPED_TRACE(lines[i]);
    char time_text[32];
    int sat, consumed = 0;
    double r[3], v[3];
    ASSERT_EQ(sscanf(lines[i].c_str(), "time=%31s sat=%d x=%lf y=%lf z=%lf vx=%lf vy=%lf vz=%lf\n%n",
                     time_text, &sat, &r[0], &r[1], &r[2], &v[0], &v[1], &v[2], &consumed), 8);
    EXPECT_EQ(static_cast<size_t>(consumed), lines[i].size());
    EXPECT_EQ(sat, 25544);
    StateVector state;
    ASSERT_EQ(satellite_state(world.satellites[0], time_of(time_text), &state), SGP4_OK);
    for (int k = 0; k < 3; ++k) {
      EXPECT_NEAR(r[k], state.r[k], 0.6e-6);
      EXPECT_NEAR(v[k], state.v[k], 0.6e-9);
    }
  }
  // Six decimals for km, nine for km/s.
  for (const char* key : {" x=", " y=", " z=", " vx=", " vy=", " vz="}) {
    size_t at = lines[0].find(key), point = lines[0].find('.', at), end = lines[0].find_first_of(" \n", at + 1);
    EXPECT_EQ(end - point - 1, key[2] == '=' ? 6u : 9u) << key;
  }
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
      {"GET_SAT_POS ISS 10001", "ERROR count must be a whole number from 1 to 10000, not \"10001\"\n"},
      {"GET_SAT_POS ISS 3 x", "ERROR step must be a whole number from 1 to 86400, not \"x\"\n"},
      {"GET_SAT_POS ISS 3 86401", "ERROR step must be a whole number from 1 to 86400, not \"86401\"\n"},
      {"GET_SAT_POS ISS 1 1 1", "ERROR too many arguments; send HELP for the arguments\n"},
      {"GET_SAT_POSITION ISS", "ERROR unknown command \"GET_SAT_POSITION ISS\"; send HELP for the list\n"},
      {"ZENOTAR", "ERROR unknown command \"ZENOTAR\"; send HELP for the list\n"},
      {"ZENOTAR FLY", "ERROR unknown command \"ZENOTAR FLY\"; send HELP for the list\n"},
      {"ZENOTARX LIST", "ERROR unknown command \"ZENOTARX LIST\"; send HELP for the list\n"},
      {"ZENOTAR TRACK", "ERROR which satellite? send HELP for the arguments\n"},
      {"ZENOTAR TRACK ISS 601", "ERROR seconds must be a whole number from 1 to 600, not \"601\"\n"},
      {"ZENOTAR PASSES ISS 0", "ERROR hours must be a whole number from 1 to 168, not \"0\"\n"},
      {"ZENOTAR PASSES ISS 169", "ERROR hours must be a whole number from 1 to 168, not \"169\"\n"},
      {"ZENOTAR STATE ISS 10001", "ERROR count must be a whole number from 1 to 10000, not \"10001\"\n"},
  };
  for (const BadStream& c : cases) {
    EXPECT_EQ(ask(world, c.command), (std::vector<std::string>{c.error, END})) << c.command;
  }
}

TEST(Commands, AStreamedCommandFramedAsASingleOneIsNoCommand) {
  // The client streams only what begins with the verb itself: a blank or a
  // form feed before it makes the command a single-answer one.
  World world = test_world();
  EXPECT_EQ(ask(world, " GET_SAT_POS ISS 3"),
            std::vector<std::string>{"ERROR unknown command \" GET_SAT_POS ISS 3\"; send HELP for the list"});
  EXPECT_EQ(ask(world, "\fZENOTAR TRACK ISS 5"),
            std::vector<std::string>{"ERROR unknown command \"\\x0CZENOTAR TRACK ISS 5\"; send HELP for the list"});
  EXPECT_EQ(ask(world, " GET_VERSION"), std::vector<std::string>{version_text()});
}

TEST(Commands, ErrorTextIsShortAndPrintable) {
  World world = test_world();
  const BadStream cases[] = {
      {"GET_SAT_POS \x1b]0;owned\x07", "ERROR unknown satellite \"\\x1B]0;owned\\x07\"; ZENOTAR LIST shows the known ones\n"},
      {"GET_SAT_POS \xe2\x80\xae" "ABC", "ERROR unknown satellite \"\\u202EABC\"; ZENOTAR LIST shows the known ones\n"},
      {"GET_SAT_POS \xff\xfe", "ERROR unknown satellite \"\\xFF\\xFE\"; ZENOTAR LIST shows the known ones\n"},
      {"GET_SAT_POS ISS 1 \xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9",
       "ERROR step must be a whole number from 1 to 86400, not \"\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9...\"\n"},
  };
  for (const BadStream& c : cases) {
    EXPECT_EQ(ask(world, c.command), (std::vector<std::string>{c.error, END})) << c.command;
  }
}

TEST(Commands, NoAnswerReachesPastTheSimulatedYears) {
  World world = test_world();
  EXPECT_EQ(ask(world, "GET_SAT_POS ISS 10000 86400", "2080-01-01T00:00:00Z")[0],
            "ERROR the answer would reach past 2100-12-31T23:59:59Z, the end of the simulated time\n");
}

TEST(Commands, ADecayedSatelliteGetsAnErrorInsteadOfPositions) {
  World world = test_world();
  // 28872 decayed within an hour of its epoch, 2005-11-29T00:29:27Z.
  std::vector<std::string> early = ask(world, "GET_SAT_POS 28872 3 1800", "2005-11-29T00:30:00Z");
  ASSERT_EQ(early.size(), 4u);
  EXPECT_TRUE(is_position_line(early[0])) << early[0];
  EXPECT_TRUE(is_position_line(early[1])) << early[1];
  EXPECT_EQ(early[2], "ERROR 28872: decayed at 2005-11-29T01:30:00Z\n");
  EXPECT_EQ(early[3], END);
  EXPECT_EQ(ask(world, "ZENOTAR STATE 28872", "2005-11-29T01:30:00Z"),
            (std::vector<std::string>{"ERROR 28872: decayed at 2005-11-29T01:30:00Z\n", END}));
  std::vector<std::string> list = ask(world, "ZENOTAR LIST", "2005-11-29T01:30:00Z");
  ASSERT_EQ(list.size(), 5u);
  EXPECT_EQ(list[3], "sat=28872 age=0.0 state=decayed name=MINOTAUR R/B\n");
  // A month on, the drag has taken the mean elements past what SGP4 accepts.
  EXPECT_EQ(ask(world, "ZENOTAR LIST", "2006-01-01T00:00:00Z")[3],
            "sat=28872 age=33.0 state=bad_eccentricity name=MINOTAUR R/B\n");
}

TEST(Commands, ListAndStation) {
  World world = test_world();
  std::vector<std::string> list = ask(world, "ZENOTAR LIST");
  ASSERT_EQ(list.size(), 5u);
  EXPECT_EQ(list[0], "sat=25544 age=0.0 state=ok name=ISS\n");
  EXPECT_EQ(list[1].substr(0, 10), "sat=33591 ");
  EXPECT_EQ(ask(world, "ZENOTAR STATION"), (std::vector<std::string>{"lat=51.4779 lon=-0.0015 alt=46\n", END}));
}

TEST(Commands, PassesAreTheSearchsLinesThenTheEndMark) {
  World world = test_world();
  std::vector<std::string> lines = ask(world, "ZENOTAR PASSES ISS 12");
  double start = time_of("2008-09-20T12:25:40Z");
  std::vector<std::string> expected =
      find_passes(world.satellites[0], world.station, start, start + 12 * 3600);
  ASSERT_FALSE(expected.empty());
  expected.push_back(END);
  EXPECT_EQ(lines, expected);
  EXPECT_EQ(ask(world, "ZENOTAR PASSES ISS 1", "2008-09-20T15:00:00Z"),
            (std::vector<std::string>{"no passes over the station in the next 1 hours\n", END}));
}

TEST(Commands, AnswersAreMadeASliceAtATime) {
  World world = test_world();
  std::string request = "GET_SAT_POS ISS 100";
  Job job = start_job(world, request.c_str(), request.size(), time_of("2008-09-20T12:25:40Z"));
  std::vector<std::string> all;
  int slices = 0;
  while (!job.done) {
    std::vector<std::string> slice;
    continue_job(world, &job, 16, &slice);
    EXPECT_LE(slice.size(), 16u);
    all.insert(all.end(), slice.begin(), slice.end());
    ++slices;
  }
  EXPECT_EQ(slices, 7);  // 100 lines and the end mark, 16 at a time
  EXPECT_EQ(all, ask(world, request));
}

}  // namespace
