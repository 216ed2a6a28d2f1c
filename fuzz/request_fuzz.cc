// Fuzzes the simulator's request handler with arbitrary request datagrams
// and checks every answer:
//   - every request gets an answer; a single-answer command exactly one
//     datagram, and a live track a satellite and a length within range;
//   - a command that begins with ZENOTAR or GET_SAT_POS ends with exactly one
//     end mark datagram, and nothing follows it;
//   - no datagram is longer than UDP allows (65,507 bytes);
//   - no error text holds a raw control byte other than its newline;
//   - no request takes long (a bound far above what any takes).
//
// Input: one byte that picks the simulated clock, then the request's bytes.

#include <stdint.h>
#include <string.h>

#include <string>
#include <vector>

#include "fuzz/check.h"
#include "sim/commands.h"
#include "sim/text.h"
#include "tests/wait.h"

extern const char BUNDLED_CATALOGUE[];

namespace {

const World& world() {
  static World w = [] {
    World made;
    made.station = {51.4779, -0.0015, 0.046};
    std::string error;
    parse_catalogue(BUNDLED_CATALOGUE, "bundled", &made.satellites, &error);
    return made;
  }();
  return w;
}

/// Clocks worth trying: the catalogue's epochs, far from them, the edges of
/// the simulated years.
const char* const CLOCKS[] = {"2024-12-28T03:54:43Z", "2019-11-27T02:00:00Z",
                              "2008-09-20T12:25:40Z", "1957-01-01T00:00:00Z",
                              "2100-12-31T23:00:00Z", "2100-12-31T23:59:59Z"};

void check_error_text(const std::string& datagram) {
  if (datagram.compare(0, 6, "ERROR ") != 0)
    return;
  for (size_t i = 0; i < datagram.size(); ++i) {
    unsigned char byte = static_cast<unsigned char>(datagram[i]);
    check(byte != 0x7F);
    check(byte >= 0x20 || (byte == '\n' && i + 1 == datagram.size()));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1)
    return 0;
  double now;
  parse_time(CLOCKS[data[0] % std::size(CLOCKS)], &now);
  const char* request = reinterpret_cast<const char*>(data + 1);
  size_t length = size - 1;
  double started = monotonic_seconds();
  Job job = start_job(world(), request, length, now);
  bool streamed = is_streamed_command(std::string_view(request, strnlen(request, length)));
  check(job.streamed == streamed);
  if (job.track) {
    check(streamed && job.satellite >= 0 &&
          job.satellite < static_cast<int>(world().satellites.size()));
    check(job.count >= 1 && job.count <= MAX_TRACK_SECONDS);
    return 0;
  }
  std::vector<std::string> datagrams;
  while (!job.done) {
    size_t before = datagrams.size();
    continue_job(world(), &job, 16, &datagrams);
    check(datagrams.size() > before && datagrams.size() - before <= 16);
  }
  check(monotonic_seconds() - started < 2.0);
  check(!datagrams.empty());
  if (!streamed)
    check(datagrams.size() == 1);
  for (size_t i = 0; i < datagrams.size(); ++i) {
    const std::string& d = datagrams[i];
    check(d.size() <= MAX_DATAGRAM);
    bool mark = !d.empty() && d[0] == STREAM_END_MARK;
    check(!streamed || mark == (i + 1 == datagrams.size()));
    check_error_text(d);
  }
  return 0;
}
