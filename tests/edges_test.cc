// The client's promises at their edges, against the real binary: loss said
// when the end mark itself was lost, no answer of an earlier command shown
// for a later one in a small port range.

#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <net/if.h>
#include <sched.h>
#include <stdio.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "tests/run_client.h"
#include "tests/script_server.h"

namespace {

const std::string BANNER = "\nEnter the command you wish to send ZENOTAR.\n\n";
const std::string PROMPT = "Enter command, or QUIT to exit >> ";

size_t count_of(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
    ++count;
  return count;
}

TEST(Edges, ALostEndMarkIsSaidWithTheCountOfWhatWasLost) {
  // The reader of standard output pauses while a big stream arrives: the
  // client cannot read its socket, the kernel drops the tail and the end
  // mark with it, and no later datagram brings the count.
  const int lines = 20000;
  const std::string line = std::string(999, 'p') + "\n";
  std::atomic<bool> hold{true};
  Reply big;
  for (int i = 0; i < lines; ++i)
    big.push_back({ScriptStep::SEND, line});
  // An end mark as big as the lines, so that it finds no more room than they do.
  big.push_back({ScriptStep::SEND, "\x1A" + line});
  big.push_back({ScriptStep::CALL, "", 0, [&] { hold = false; }});
  ScriptServer server;
  start_script_server(&server, {answer("v1"), big});
  ClientOptions options;
  options.port = server.port;
  options.hold_output = &hold;
  ClientRun run = run_client("GET_SAT_POS BIG\n", options);
  stop_script_server(&server);
  size_t shown = count_of(run.out, line);
  ASSERT_LT(shown, static_cast<size_t>(lines));
  size_t lost = static_cast<size_t>(lines) + 1 - shown;  // the end mark among them
  EXPECT_EQ(run.err, "No answer from ZENOTAR server within 10 seconds\n" + std::to_string(lost) +
                         " datagrams of this answer were lost\n");
  EXPECT_EQ(run.status, 0);
}

/// Moves this process into a network namespace of its own with only a
/// loopback, and ports ports from 40000 up for the kernel to pick from; false
/// where that is not permitted.
bool private_network(int ports) {
  if (unshare(CLONE_NEWNET) != 0)
    return false;
  int fd = socket(AF_INET, SOCK_DGRAM, 0);
  ifreq loopback{};
  strcpy(loopback.ifr_name, "lo");
  bool up = ioctl(fd, SIOCGIFFLAGS, &loopback) == 0;
  loopback.ifr_flags |= IFF_UP;
  up = up && ioctl(fd, SIOCSIFFLAGS, &loopback) == 0;
  close(fd);
  FILE* range = fopen("/proc/sys/net/ipv4/ip_local_port_range", "w");
  if (range == nullptr)
    return false;
  fprintf(range, "40000 %d\n", 40000 + ports - 1);
  return fclose(range) == 0 && up;
}

/// In the child: a server that, once it has answered the first command,
/// keeps sending to that command's port while the next commands run; what
/// the client showed for them, on the pipe to the parent.
[[noreturn]] void run_stale_scenario(int report) {
  if (!private_network(8)) {
    ssize_t ignored = write(report, "no namespace", 12);
    (void)ignored;
    _exit(2);
  }
  ScriptServer server;
  std::atomic<bool> stale_done{false};
  std::thread stale;
  Reply first = {{ScriptStep::SEND, "first\n"},
                 {ScriptStep::SEND, "\x1A"},
                 {ScriptStep::CALL, "", 0, [&] {
                    sockaddr_in old = server.last_peer;
                    stale = std::thread([&, old] {
                      for (int i = 0; i < 300; ++i) {
                        sendto(server.fd, "STALE", 5, 0, reinterpret_cast<const sockaddr*>(&old),
                               sizeof old);
                        usleep(5 * 1000);
                      }
                      stale_done = true;
                    });
                  }}};
  Reply slow_ok = {{ScriptStep::PAUSE, "", 60}, {ScriptStep::SEND, "ok"}};
  start_script_server(&server, {answer("v1"), first}, slow_ok);
  ClientOptions options;
  options.port = server.port;
  ClientRun run = run_client("ZENOTAR TRACK OLD\nA\nB\nC\nD\nE\n", options);
  if (stale.joinable())
    stale.join();
  stop_script_server(&server);
  ssize_t ignored = write(report, run.out.data(), run.out.size());
  (void)ignored;
  _exit(0);
}

TEST(Edges, NoAnswerOfAnEarlierCommandIsShownForALaterOne) {
  int report[2];
  ASSERT_EQ(pipe(report), 0);
  pid_t child = fork();
  if (child == 0) {
    close(report[0]);
    run_stale_scenario(report[1]);
  }
  close(report[1]);
  std::string out = read_to_end(report[0]);
  close(report[0]);
  int status = 0;
  waitpid(child, &status, 0);
  if (WIFEXITED(status) && WEXITSTATUS(status) == 2)
    GTEST_SKIP() << "a network namespace of its own needs CAP_SYS_ADMIN";
  std::string expected = BANNER + PROMPT + "first\n\n" + PROMPT;
  for (int i = 0; i < 5; ++i)
    expected += "ok\n" + PROMPT;
  EXPECT_EQ(out, expected);
}

}  // namespace
