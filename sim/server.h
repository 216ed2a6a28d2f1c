// The simulator's UDP loop: answers requests and paces live tracks.
#ifndef ZENOTAR_SIM_SERVER_H_
#define ZENOTAR_SIM_SERVER_H_

#include <signal.h>

#include "sim/commands.h"

/// The simulated UTC clock: it starts at start and runs at real speed.
struct SimClock {
  double start;      ///< Unix seconds shown at the first reading
  double real_start; ///< monotonic seconds then
};

/// Starts the clock at time.
SimClock start_clock(double time);

/// The simulated Unix time now.
double clock_now(const SimClock& clock);

/// Binds a UDP socket on 127.0.0.1:port (0: any free port); -1 with errno.
int bind_server(int port);

/// The port a bound socket listens on.
int bound_port(int fd);

/// Serves requests on fd until stop becomes non-zero; the caller blocks
/// SIGINT and SIGTERM, which are let in only while the loop waits.
void serve(int fd, const World& world, const SimClock& clock, volatile sig_atomic_t* stop);

#endif  // ZENOTAR_SIM_SERVER_H_
