// What the simulator's work costs, each figure beside its baseline:
//   - one SGP4 propagation, near-Earth and deep-space (propagations per
//     second on one core);
//   - a 168-hour pass search, beside a plain scan of the same window every
//     20 seconds, the step the first version of the server took;
//   - the round trip of a GET_VERSION from one socket while another socket
//     has 1,000 of the costliest requests waiting, beside the same round trip
//     with the server idle.

#include <arpa/inet.h>
#include <math.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <thread>

#include <benchmark/benchmark.h>

#include "sim/passes.h"
#include "sim/server.h"
#include "sim/text.h"
#include "tests/loopback.h"
#include "tests/reference_elements.h"

namespace {

struct Orbit {
  const char* name;
  const char* one;
  const char* two;
};

const Orbit ORBITS[] = {
    {"ISS", ISS_2008_LINE1,
     ISS_2008_LINE2},
    {"AKEBONO", "1 19822U 89016A   19331.07700297  .00016037  93960-6  28103-3 0  9992",
     "2 19822  75.0289 316.1359 1764871 261.4338  78.3806 12.01292738 15108"},
    {"MOLNIYA", "1 21897U 92011A   06176.02341244 -.00001273  00000-0 -13525-3 0  3044",
     "2 21897  62.1749 198.0096 7421690 253.0462  20.1561  2.01269994104880"},
    {"GEO", "1 24208U 96044A   06177.04061740 -.00000094  00000-0  10000-3 0  1600",
     "2 24208   3.8536  80.0121 0026640 311.0977  48.3000  1.00778054 36119"},
};

const Geodetic GREENWICH = {51.4779, -0.0015, 0.046};

Satellite satellite(int index) {
  Satellite s;
  std::string reason;
  parse_element_set(ORBITS[index].one, ORBITS[index].two, &s, &reason);
  name_satellite(&s, ORBITS[index].name);
  return s;
}

void BM_Propagate(benchmark::State& state) {
  Satellite s = satellite(static_cast<int>(state.range(0)));
  state.SetLabel(ORBITS[state.range(0)].name);
  double t = s.epoch;
  StateVector v;
  for (auto _ : state) {
    benchmark::DoNotOptimize(satellite_state(s, t, &v));
    t += 1;
  }
  state.counters["propagations/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Propagate)->DenseRange(0, 3);

void BM_PassSearch(benchmark::State& state) {
  Satellite s = satellite(static_cast<int>(state.range(0)));
  state.SetLabel(ORBITS[state.range(0)].name);
  long propagations = 0;
  for (auto _ : state)
    benchmark::DoNotOptimize(find_passes(s, GREENWICH, s.epoch, s.epoch + 168 * 3600, &propagations));
  state.counters["propagations"] = static_cast<double>(propagations);
}
BENCHMARK(BM_PassSearch)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);

/// The baseline: the elevation every 20 seconds over the same window, and
/// nothing else (no refinement of what it finds).
void BM_FixedStepScan(benchmark::State& state) {
  Satellite s = satellite(static_cast<int>(state.range(0)));
  state.SetLabel(ORBITS[state.range(0)].name);
  long propagations = 0;
  for (auto _ : state) {
    int rises = 0;
    bool up = false;
    propagations = 0;
    for (double t = s.epoch; t <= s.epoch + 168 * 3600; t += 20) {
      Position p;
      ++propagations;
      bool now_up = locate(s, GREENWICH, t, &p) == SGP4_OK && p.look.el > 0;
      rises += now_up && !up;
      up = now_up;
    }
    benchmark::DoNotOptimize(rises);
  }
  state.counters["propagations"] = static_cast<double>(propagations);
}
BENCHMARK(BM_FixedStepScan)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);

/// The server of the latency figures, in a thread, at AKEBONO's epoch.
struct LoopServer {
  World world;
  int fd = -1, port = 0;
  SimClock clock;
  volatile sig_atomic_t stop = 0;
  std::thread thread;
};

LoopServer* loop_server() {
  static LoopServer* server = [] {
    auto* s = new LoopServer;
    s->world.station = GREENWICH;
    s->world.satellites.push_back(satellite(1));
    s->fd = open_server_socket(0);
    s->port = bound_port(s->fd);
    s->clock = start_clock(s->world.satellites[0].epoch);
    s->thread = std::thread([s] { serve(s->fd, s->world, s->clock, &s->stop); });
    s->thread.detach();
    return s;
  }();
  return server;
}

/// Reads what arrives on fd until nothing has come for quiet_ms.
void drain(int fd, int quiet_ms) {
  static char buffer[65536];
  pollfd ready = {fd, POLLIN, 0};
  while (poll(&ready, 1, quiet_ms) > 0)
    recv(fd, buffer, sizeof buffer, 0);
}

/// One GET_VERSION round trip, in seconds.
double round_trip(int fd) {
  char buffer[256];
  double started = monotonic();
  send(fd, "GET_VERSION", 12, 0);
  pollfd ready = {fd, POLLIN, 0};
  if (poll(&ready, 1, 5000) <= 0)
    return 5;
  recv(fd, buffer, sizeof buffer, 0);
  return monotonic() - started;
}

void BM_GetVersion(benchmark::State& state) {
  bool flood = state.range(0) != 0;
  state.SetLabel(flood ? "1,000 PASSES AKEBONO 168 waiting from another socket" : "server idle");
  LoopServer* server = loop_server();
  int flooder = loopback_connected(server->port), asker = loopback_connected(server->port);
  const std::string costly = std::string("ZENOTAR PASSES AKEBONO 168") + '\0';
  for (auto _ : state) {
    state.PauseTiming();
    if (flood) {
      for (int i = 0; i < 1000; ++i)
        send(flooder, costly.data(), costly.size(), 0);
    }
    state.ResumeTiming();
    state.SetIterationTime(round_trip(asker));
    state.PauseTiming();
    drain(flooder, flood ? 200 : 0);
    state.ResumeTiming();
  }
  close(flooder);
  close(asker);
}
BENCHMARK(BM_GetVersion)->Arg(0)->Arg(1)->UseManualTime()->Iterations(20)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
