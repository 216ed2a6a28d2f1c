// What terminal-safe output costs per datagram, beside a plain copy of the
// same bytes (what a pipe or a file gets).

#include <string.h>

#include <string>

#include <benchmark/benchmark.h>

#include "term/escape.h"

namespace {

const std::string POSITION_LINE =
    "time=2008-09-20T12:25:40Z sat=25544 lat=51.49 lon=160.12 alt=362.7 az=12.6 el=-35.8 "
    "range=8068.6\n";

void BM_PlainCopy(benchmark::State& state) {
  static char out[4 * 1024];
  for (auto _ : state) {
    memcpy(out, POSITION_LINE.data(), POSITION_LINE.size());
    benchmark::DoNotOptimize(out);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(POSITION_LINE.size()));
}
BENCHMARK(BM_PlainCopy);

void BM_EscapeForTerminal(benchmark::State& state) {
  static char out[4 * 1024];
  for (auto _ : state) {
    benchmark::DoNotOptimize(escape_for_terminal(POSITION_LINE.data(), POSITION_LINE.size(), out));
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(POSITION_LINE.size()));
}
BENCHMARK(BM_EscapeForTerminal);

}  // namespace

BENCHMARK_MAIN();
