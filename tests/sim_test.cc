// The real zenotar-sim: start-up, options and stopping; and the real client
// against it in a pseudo-terminal, as a person sees it.

#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/run_client.h"
#include "tests/sim_process.h"

namespace {

const std::string PROMPT = "Enter command, or QUIT to exit >> ";

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
  const BadStart cases[] = {
      {"bad checksum", {"--port", "0", "--tle", bad_tle}, "zenotar-sim: " + bad_tle + ":3: bad checksum\n"},
      {"missing file", {"--port", "0", "--tle", "/no/such.tle"},
       "zenotar-sim: can't read /no/such.tle: No such file or directory\n"},
      {"bad time", {"--port", "0", "--time", "yesterday"},
       "zenotar-sim: bad time \"yesterday\" (2008-09-20T12:25:40Z or now)\n"},
      {"bad port", {"--port", "70000"}, "zenotar-sim: bad port \"70000\" (0 to 65535)\n"},
      {"bad station", {"--port", "0", "--station", "95,0,0"},
       "zenotar-sim: bad station \"95,0,0\" (LAT,LON,ALT_M, e.g. 51.4779,-0.0015,46)\n"},
      {"no services entry", {}, "zenotar-sim: no services entry for zenotar/udp; add \"zenotar "
                                "<port>/udp\" to /etc/services or give --port N\n"},
  };
  for (const BadStart& c : cases) {
    SCOPED_TRACE(c.name);
    std::string said;
    EXPECT_EQ(run_sim(c.args, &said), 2);
    EXPECT_EQ(said, c.message);
  }
  unlink(bad_tle.c_str());
}

TEST(Sim, PersonAtATerminalAgainstTheRealServer) {
  std::string tle = temporary_file(ISS_2008_TLE);
  SimProcess sim;
  ASSERT_TRUE(start_sim(&sim, {"--tle", tle, "--time", "2008-09-20T12:25:40Z"}));
  int terminal;
  pid_t client = start_client_in_terminal(sim.port, &terminal);
  std::string screen;
  ASSERT_TRUE(read_until(terminal, &screen, PROMPT, 0));
  EXPECT_EQ(screen, "\r\nEnter the command you wish to send ZENOTAR.\r\n\r\n" + PROMPT);

  size_t mark = screen.size();
  type_keys(terminal, "GET_VERSION\r");
  ASSERT_TRUE(read_until(terminal, &screen, PROMPT, mark));
  EXPECT_EQ(screen.substr(mark), "GET_VERSION\r\nZENOTAR simulator zenotar-sim 1.0.0\r\n" + PROMPT);

  mark = screen.size();
  type_keys(terminal, "GET_SAT_POS ISS 3 60\r");
  ASSERT_TRUE(read_until(terminal, &screen, PROMPT, mark));
  std::string shown = screen.substr(mark);
  EXPECT_EQ(shown.substr(0, 22), "GET_SAT_POS ISS 3 60\r\n");
  EXPECT_NE(shown.find("time=2008-09-20T12:25:40Z sat=25544 lat=51.49 lon=160.12 alt=362.7 "),
            std::string::npos);
  EXPECT_NE(shown.find("time=2008-09-20T12:27:40Z sat=25544 "), std::string::npos);
  EXPECT_EQ(shown.substr(shown.size() - PROMPT.size() - 4), "\r\n\r\n" + PROMPT);

  type_keys(terminal, "quit\r");
  int status = -1;
  waitpid(client, &status, 0);
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  close(terminal);
  EXPECT_EQ(stop_sim(&sim, SIGTERM), 0);
  unlink(tle.c_str());
}

}  // namespace
