// The real zenotar-sim: start-up, options and stopping; and the real client
// against it in a pseudo-terminal, as a person sees it.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/loopback.h"
#include "tests/reference_elements.h"
#include "tests/run_client.h"
#include "tests/script_server.h"
#include "tests/sim_process.h"
#include "tests/terminal_session.h"

namespace {

const std::string PROMPT = CLIENT_PROMPT;

TEST(Sim, StartsAndStopsCleanlyOnSignals) {
  for (int signal_number : {SIGTERM, SIGINT}) {
    SimProcess sim;
    ASSERT_TRUE(start_sim(&sim, {"--time", "2008-09-20T12:25:40Z"}));
    EXPECT_EQ(sim.said.substr(0, 36), "zenotar-sim: listening on 127.0.0.1:");
    EXPECT_NE(sim.said.find("/udp, 6 satellites, clock 2008-09-20T12:25:40Z\n"), std::string::npos);
    EXPECT_EQ(stop_sim(&sim, signal_number), 0);
    EXPECT_NE(sim.said.find("zenotar-sim: stopped\n"), std::string::npos);
  }
}

struct BadStart {
  const char* name;
  std::vector<std::string> args;
  std::string message;
};

/// Runs zenotar-sim with args; returns its status and what it said on standard error.
int run_sim(const std::vector<std::string>& args, std::string* said) {
  int err[2];
  if (pipe(err) < 0)
    return -1;
  pid_t pid = fork();
  if (pid == 0) {
    dup2(err[1], 2);
    close(err[0]);
    exec_sim(args);
  }
  close(err[1]);
  char buffer[1024];
  ssize_t got;
  while ((got = read(err[0], buffer, sizeof buffer)) > 0)
    said->append(buffer, static_cast<size_t>(got));
  close(err[0]);
  int status;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(Sim, BadStartsSayWhy) {
  std::string bad_tle = temporary_file(std::string(ISS_2008_TLE).replace(85, 1, "9"));
  // A valid checksum on an epoch day of 9e307: what a checksum cannot catch.
  std::string iss = ISS_2008_TLE, one = iss.substr(4, 68), two = iss.substr(74);
  std::string huge_epoch =
      temporary_file("X\n" + with_checksum(one.replace(20, 12, "9e307       ")) + "\n" + two);
  std::string directory = "/tmp";
  const std::string usage_tail = "usage: zenotar-sim";
  const BadStart cases[] = {
      {"bad checksum", {"--port", "0", "--tle", bad_tle}, "zenotar-sim: " + bad_tle + ":3: bad checksum\n"},
      {"epoch day of 9e307", {"--port", "0", "--tle", huge_epoch},
       "zenotar-sim: " + huge_epoch + ":2: unreadable epoch\n"},
      {"missing file", {"--port", "0", "--tle", "/no/such.tle"},
       "zenotar-sim: can't read /no/such.tle: No such file or directory\n"},
      {"a directory", {"--port", "0", "--tle", directory}, "zenotar-sim: --tle \"/tmp\": is a directory\n"},
      {"no regular file", {"--port", "0", "--tle", "/dev/zero"},
       "zenotar-sim: --tle \"/dev/zero\": not a regular file\n"},
      {"bad time", {"--port", "0", "--time", "yesterday"},
       "zenotar-sim: --time \"yesterday\": not a calendar time from 1957 to 2100 (e.g. "
       "2008-09-20T12:25:40Z, or now)\n"},
      {"no such day", {"--port=0", "--time=2008-02-31T00:00:00Z"},
       "zenotar-sim: --time \"2008-02-31T00:00:00Z\": not a calendar time from 1957 to 2100 (e.g. "
       "2008-09-20T12:25:40Z, or now)\n"},
      {"bad port", {"--port", "70000"}, "zenotar-sim: --port \"70000\": not a port number (0 to 65535)\n"},
      {"bad port, with =", {"--port=-1"}, "zenotar-sim: --port \"-1\": not a port number (0 to 65535)\n"},
      {"station out of range", {"--port", "0", "--station", "95,0,0"},
       "zenotar-sim: --station \"95,0,0\": latitude 95 is out of range (-90 to 90)\n"},
      {"station not a number", {"--port", "0", "--station", "nan,nan,nan"},
       "zenotar-sim: --station \"nan,nan,nan\": not LAT,LON,ALT_M (degrees, degrees, metres; e.g. "
       "51.4779,-0.0015,46)\n"},
      {"no services entry", {}, "zenotar-sim: no services entry for zenotar/udp; add \"zenotar "
                                "<port>/udp\" to /etc/services or give --port N\n"},
  };
  for (const BadStart& c : cases) {
    SCOPED_TRACE(c.name);
    std::string said;
    EXPECT_EQ(run_sim(c.args, &said), 2);
    EXPECT_EQ(said, c.message);
  }
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"--bogus"}, {"--port"}, {"--port", "0", "extra"}}) {
    std::string said;
    EXPECT_EQ(run_sim(args, &said), 2) << args[0];
    EXPECT_NE(said.find(usage_tail), std::string::npos) << said;
  }
  unlink(bad_tle.c_str());
  unlink(huge_epoch.c_str());
}

TEST(Sim, VersionAndHelp) {
  int status;
  EXPECT_EQ(program_output(sim_command({"--version"}), &status), "zenotar-sim " ZENOTAR_VERSION "\n");
  EXPECT_EQ(status, 0);
}

TEST(Sim, PersonAtATerminalAgainstTheRealServer) {
  std::string tle = temporary_file(ISS_2008_TLE);
  SimProcess sim;
  ASSERT_TRUE(start_sim(&sim, {"--tle", tle, "--time", "2008-09-20T12:25:40Z"}));
  TerminalSession s;
  s.start(sim.port);
  EXPECT_EQ(s.screen, "\r\nEnter the command you wish to send ZENOTAR.\r\n\r\n" + PROMPT);

  size_t mark = s.screen.size();
  s.type("GET_VERSION\r", PROMPT);
  EXPECT_EQ(s.screen.substr(mark), "GET_VERSION\r\nZENOTAR simulator zenotar-sim " ZENOTAR_VERSION "\r\n" + PROMPT);

  mark = s.screen.size();
  s.type("GET_SAT_POS ISS 3 60\r", PROMPT);
  std::string shown = s.screen.substr(mark);
  EXPECT_EQ(shown.substr(0, 22), "GET_SAT_POS ISS 3 60\r\n");
  EXPECT_NE(shown.find("time=2008-09-20T12:25:40Z sat=25544 lat=51.46 lon=160.13 alt=355.1 "),
            std::string::npos);
  EXPECT_NE(shown.find("time=2008-09-20T12:27:40Z sat=25544 "), std::string::npos);
  EXPECT_EQ(shown.substr(shown.size() - PROMPT.size() - 4), "\r\n\r\n" + PROMPT);

  s.type("quit\r");
  EXPECT_EQ(s.finish(), 0);
  EXPECT_EQ(stop_sim(&sim, SIGTERM), 0);
  unlink(tle.c_str());
}

TEST(Sim, ATrackAfterAStallNeverRepeatsATime) {
  std::string tle = temporary_file(ISS_2008_TLE);
  SimProcess sim;
  ASSERT_TRUE(start_sim(&sim, {"--tle", tle, "--time", "2008-09-20T12:25:40Z"}));
  int fd = loopback_connected(sim.port);
  send(fd, "ZENOTAR TRACK ISS 8", 20, 0);
  std::string datagram;
  ASSERT_TRUE(receive_datagram(fd, &datagram, 5000));
  std::vector<std::string> times = {datagram.substr(0, 25)};
  kill(sim.pid, SIGSTOP);  // the server stalls for a few seconds
  usleep(3500 * 1000);
  kill(sim.pid, SIGCONT);
  while (receive_datagram(fd, &datagram, 5000) && datagram != "\x1A")
    times.push_back(datagram.substr(0, 25));
  EXPECT_EQ(datagram, "\x1A");
  EXPECT_LE(times.size(), 8u);
  for (size_t i = 1; i < times.size(); ++i)
    EXPECT_LT(times[i - 1], times[i]) << "line " << i;  // the times in the lines only go forward
  EXPECT_LE(times.back(), "time=2008-09-20T12:25:47Z");
  close(fd);
  EXPECT_EQ(stop_sim(&sim, SIGTERM), 0);
  unlink(tle.c_str());
}

TEST(Sim, StopsWhileAFloodIsBeingAnswered) {
  SimProcess sim;
  ASSERT_TRUE(start_sim(&sim, {"--time", "2019-11-27T02:00:00Z"}));
  int fd = loopback_connected(sim.port);
  const std::string costly = std::string("ZENOTAR PASSES AKEBONO 168") + '\0';
  for (int i = 0; i < 1000; ++i)
    send(fd, costly.data(), costly.size(), 0);
  std::string datagram;
  ASSERT_TRUE(receive_datagram(fd, &datagram, 5000));  // it is busy with them
  EXPECT_EQ(stop_sim(&sim, SIGTERM), 0);  // and stops at once all the same
  EXPECT_NE(sim.said.find("zenotar-sim: stopped\n"), std::string::npos);
  close(fd);
}

}  // namespace
