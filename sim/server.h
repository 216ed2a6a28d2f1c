// The simulator's UDP loop: requests queued per peer and answered in turn, a
// slice at a time, and live tracks paced once a second.
#ifndef ZENOTAR_SIM_SERVER_H_
#define ZENOTAR_SIM_SERVER_H_

#include <signal.h>

#include "sim/commands.h"

/// The simulated UTC clock: it starts at start and runs at real speed.
struct SimClock {
  double start;       ///< Unix seconds shown at the first reading
  double real_start;  ///< monotonic seconds then
};

/// Starts the clock at time.
SimClock start_clock(double time);

/// The simulated Unix time now.
double clock_now(const SimClock& clock);

/// The monotonic time at which the clock shows time.
double monotonic_at(const SimClock& clock, double time);

/// Monotonic seconds.
double monotonic();

/// Binds a UDP socket on 127.0.0.1:port (0: any free port); -1 with errno.
int bind_server(int port);

/// Binds the simulator's socket: as bind_server, with a receive queue that
/// holds a burst and ICMP errors (a peer's port closed) in its error queue.
int open_server_socket(int port);

/// A UDP socket connected to the server at 127.0.0.1:port, with a queue
/// that holds a long answer, as a client of it has (for tests and the
/// benchmark); -1 with errno.
int connect_loopback(int port);

/// The port a bound socket listens on.
int bound_port(int fd);

/// Serves requests on fd until stop becomes non-zero; the caller blocks
/// SIGINT and SIGTERM, which are let in only while the loop waits or looks
/// for news between two slices of work.
void serve(int fd, const World& world, const SimClock& clock, volatile sig_atomic_t* stop);

#endif  // ZENOTAR_SIM_SERVER_H_
