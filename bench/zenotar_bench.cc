// The client's speed and memory, each beside its baseline in the same run:
//   1. streams of 100,000 x 64 bytes and 10,000 x 1,400 bytes sent back to
//      back: lines received, in order, and the client's time against the
//      sender's own sending time;
//   3. 20,000 single-answer commands piped in, against a minimal loop doing
//      the same per-command work with no console;
//   4. start, probe and quit, against the minimal loop doing one command,
//      and the client's peak resident memory.
// Every figure is the median of 5 runs. A responder on 127.0.0.1 plays the
// server; the real zenotar-client binary runs with fake_services.so.
//
// usage: zenotar_bench [runs]

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "protocol/protocol.h"
#include "tests/loopback.h"
#include "tests/wait.h"

namespace {

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

/// The server of the benchmark: streams on "GET_SAT_POS BENCH count size",
/// notes the arrival of "MARK", and answers everything else with one datagram.
struct Responder {
  int fd = -1;
  int port = 0;
  std::atomic<bool> stopping{false};
  std::atomic<double> stream_asked{0}, stream_sent{0}, mark_arrived{0};
  std::thread thread;
};

/// Sends count numbered datagrams of size bytes back to back, 64 to a system
/// call, then the end mark.
void send_stream(Responder* r, const sockaddr_in& peer, long count, size_t size) {
  constexpr int BATCH = 64;
  static char datagrams[BATCH][65536];
  mmsghdr messages[BATCH];
  iovec vectors[BATCH];
  for (long sent = 0; sent < count;) {
    int batch = static_cast<int>(std::min<long>(BATCH, count - sent));
    for (int k = 0; k < batch; ++k) {
      char number[32];
      snprintf(number, sizeof number, "%09ld ", sent + k);
      memset(datagrams[k], '.', size);
      memcpy(datagrams[k], number, 10);
      datagrams[k][size - 1] = '\n';
      vectors[k] = {datagrams[k], size};
      messages[k] = {};
      messages[k].msg_hdr.msg_name = const_cast<sockaddr_in*>(&peer);
      messages[k].msg_hdr.msg_namelen = sizeof peer;
      messages[k].msg_hdr.msg_iov = &vectors[k];
      messages[k].msg_hdr.msg_iovlen = 1;
    }
    int done = sendmmsg(r->fd, messages, static_cast<unsigned>(batch), 0);
    if (done <= 0)
      break;
    sent += done;
  }
  sendto(r->fd, &STREAM_END_MARK, 1, 0, reinterpret_cast<const sockaddr*>(&peer), sizeof peer);
}

void respond(Responder* r) {
  static char request[MAX_DATAGRAM + 1];
  while (!r->stopping) {
    pollfd ready = {r->fd, POLLIN, 0};
    if (poll(&ready, 1, 50) <= 0)
      continue;
    sockaddr_in peer{};
    socklen_t size = sizeof peer;
    ssize_t got = recvfrom(r->fd, request, sizeof request - 1, 0,
                           reinterpret_cast<sockaddr*>(&peer), &size);
    if (got < 0)
      continue;
    request[got] = '\0';
    double arrived = monotonic_seconds();
    long count;
    size_t datagram_size;
    if (sscanf(request, "GET_SAT_POS BENCH %ld %zu", &count, &datagram_size) == 2) {
      r->stream_asked = arrived;
      send_stream(r, peer, count, datagram_size);
      r->stream_sent = monotonic_seconds();
      continue;
    }
    if (strcmp(request, "MARK") == 0)
      r->mark_arrived = arrived;
    const char answer[] = "ZENOTAR bench responder 1.0";
    sendto(r->fd, answer, sizeof answer - 1, 0, reinterpret_cast<sockaddr*>(&peer), sizeof peer);
  }
}

void start_responder(Responder* r) {
  r->fd = loopback_bound(SOCK_DGRAM);
  r->port = local_port(r->fd);
  r->thread = std::thread(respond, r);
}

struct ProcessRun {
  double seconds;
  long max_rss_kb;
  int status;
};

/// Runs argv with the fake services entry, standard input from in_path and
/// standard output to out_path.
ProcessRun run(const std::vector<std::string>& argv, int port, const std::string& in_path,
               const std::string& out_path) {
  double started = monotonic_seconds();
  pid_t pid = fork();
  if (pid == 0) {
    int in = open(in_path.c_str(), O_RDONLY);
    int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(in, 0);
    dup2(out, 1);
    setenv("LD_PRELOAD", FAKE_SERVICES_PATH, 1);
    setenv("ZENOTAR_FAKE_PORT", std::to_string(port).c_str(), 1);
    std::vector<char*> args;
    for (const std::string& a : argv)
      args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  return {monotonic_seconds() - started, usage.ru_maxrss, WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}

std::string write_file(const std::string& name, const std::string& text) {
  std::string path = "/tmp/zenotar-bench-" + std::to_string(getpid()) + "-" + name;
  FILE* f = fopen(path.c_str(), "w");
  fwrite(text.data(), 1, text.size(), f);
  fclose(f);
  return path;
}

std::string read_file(const std::string& path) {
  std::string text;
  FILE* f = fopen(path.c_str(), "r");
  char buffer[65536];
  size_t got;
  while ((got = fread(buffer, 1, sizeof buffer, f)) > 0)
    text.append(buffer, got);
  fclose(f);
  return text;
}

/// Counts the numbered lines of size bytes in output and whether they come
/// 0, 1, 2, ... in order; a line may follow the prompt on the same output line.
long count_stream_lines(const std::string& output, size_t size, bool* in_order) {
  long expected = 0;
  *in_order = true;
  size_t at = 0;
  for (size_t end; (end = output.find('\n', at)) != std::string::npos; at = end + 1) {
    std::string_view line(output.data() + at, end - at);
    size_t prompt = line.rfind(">> ");
    if (prompt != std::string_view::npos)
      line.remove_prefix(prompt + 3);
    if (line.size() + 1 != size || line.size() < 10 || line[9] != ' ' ||
        line.substr(0, 9).find_first_not_of("0123456789") != std::string_view::npos)
      continue;
    if (atol(std::string(line.substr(0, 9)).c_str()) != expected)
      *in_order = false;
    ++expected;
  }
  return expected;
}

struct Row {
  std::string name;
  double client, baseline;
  std::string unit, target;
};

void print_row(const Row& row) {
  double ratio = row.baseline > 0 ? row.client / row.baseline : 0;
  printf("%-50s %12.6g %12.6g %8.3f  %s\n", (row.name + " (" + row.unit + ")").c_str(), row.client,
         row.baseline, ratio, row.target.c_str());
}

int kernel_receive_buffer() {
  int fd = socket(AF_INET, SOCK_DGRAM, 0);
  int asked = 64 * 1024 * 1024, given = 0;
  socklen_t size = sizeof given;
  setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &asked, sizeof asked);
  getsockopt(fd, SOL_SOCKET, SO_RCVBUF, &given, &size);
  close(fd);
  return given;
}

}  // namespace

int main(int argc, char** argv) {
  int runs = argc > 1 ? atoi(argv[1]) : 5;
  Responder responder;
  start_responder(&responder);
  const std::string client = ZENOTAR_CLIENT_PATH, loop = MINIMAL_LOOP_PATH;
  std::string out = write_file("out", "");
  std::vector<Row> rows;
  printf("zenotar-client benchmark, median of %d runs; receive buffer the kernel gives for a "
         "stream: %d bytes\n\n", runs, kernel_receive_buffer());

  struct StreamCase {
    long count;
    size_t size;
  } streams[] = {{100000, 64}, {10000, 1400}};
  for (const StreamCase& s : streams) {
    std::string command = "GET_SAT_POS BENCH " + std::to_string(s.count) + " " + std::to_string(s.size);
    std::string input = write_file("stream-in", command + "\nMARK\n");
    std::vector<double> client_times, sender_times, received, loop_received;
    bool all_in_order = true;
    long max_rss = 0;
    for (int i = 0; i < runs; ++i) {
      ProcessRun r = run({client}, responder.port, input, out);
      bool in_order;
      received.push_back(static_cast<double>(count_stream_lines(read_file(out), s.size, &in_order)));
      all_in_order = all_in_order && in_order && r.status == 0;
      client_times.push_back(responder.mark_arrived - responder.stream_asked);
      sender_times.push_back(responder.stream_sent - responder.stream_asked);
      max_rss = std::max(max_rss, r.max_rss_kb);
      run({loop, "stream", "1", command}, responder.port, "/dev/null", out);
      bool loop_order;
      loop_received.push_back(static_cast<double>(count_stream_lines(read_file(out), s.size, &loop_order)));
    }
    std::string label = std::to_string(s.count) + " x " + std::to_string(s.size) + " B";
    std::sort(received.begin(), received.end());
    rows.push_back({"1 " + label + ": fewest received, client", received.front(),
                    static_cast<double>(s.count), "lines",
                    all_in_order ? "all in order; target: all" : "OUT OF ORDER OR FAILED"});
    rows.push_back({"1 " + label + ": received, minimal loop", median(loop_received),
                    static_cast<double>(s.count), "lines", "context: one read per datagram"});
    rows.push_back({"1 " + label + ": client vs sender", median(client_times), median(sender_times),
                    "s", "target <= 1.20"});
    rows.push_back({"1 " + label + ": client peak memory", max_rss / 1024.0, 4, "MiB", "context"});
  }

  std::string batch;
  for (int i = 0; i < 20000; ++i)
    batch += "GET_VERSION\n";
  std::string batch_input = write_file("batch-in", batch);
  std::vector<double> client_batch, loop_batch;
  for (int i = 0; i < runs; ++i) {
    client_batch.push_back(run({client}, responder.port, batch_input, out).seconds);
    loop_batch.push_back(run({loop, "single", "20000", "GET_VERSION"}, responder.port, "/dev/null", out).seconds);
  }
  rows.push_back({"3 20000 single commands: client vs loop", median(client_batch), median(loop_batch),
                  "s", "target <= 1.10"});

  std::string quit_input = write_file("quit-in", "quit\n");
  const int spawns = 20;
  std::vector<double> client_start, loop_start;
  long start_rss = 0;
  for (int i = 0; i < runs; ++i) {
    double client_total = 0, loop_total = 0;
    for (int k = 0; k < spawns; ++k) {
      ProcessRun r = run({client}, responder.port, quit_input, out);
      client_total += r.seconds;
      start_rss = std::max(start_rss, r.max_rss_kb);
      loop_total += run({loop, "single", "1", "GET_VERSION"}, responder.port, "/dev/null", out).seconds;
    }
    client_start.push_back(client_total / spawns * 1000);
    loop_start.push_back(loop_total / spawns * 1000);
  }
  rows.push_back({"4 start, probe, quit: client vs 1-command loop", median(client_start),
                  median(loop_start), "ms", "target <= 1.20"});
  rows.push_back({"4 start, probe, quit: client peak memory", start_rss / 1024.0, 4, "MiB",
                  "target <= 4 MiB"});

  printf("%-50s %12s %12s %8s  %s\n", "figure (unit)", "client", "baseline", "ratio", "note");
  for (const Row& row : rows)
    print_row(row);
  responder.stopping = true;
  responder.thread.join();
  for (const char* name : {"out", "stream-in", "batch-in", "quit-in"})
    unlink(("/tmp/zenotar-bench-" + std::to_string(getpid()) + "-" + name).c_str());
  return 0;
}
