// The simulator's UDP loop: requests queued per peer and answered in turn, a
// slice at a time, and live tracks paced once a second.
#ifndef ZENOTAR_SIM_SERVER_H_
#define ZENOTAR_SIM_SERVER_H_

#include <signal.h>

#include "sim/clock.h"
#include "sim/commands.h"

/// Binds the simulator's UDP socket on 127.0.0.1:port (0: any free port),
/// with a receive queue that holds a burst and ICMP errors (a peer's port
/// closed) in its error queue; -1 with errno.
int open_server_socket(int port);

/// The port a bound socket listens on.
int bound_port(int fd);

/// Serves requests on fd until stop becomes non-zero; the caller blocks
/// SIGINT and SIGTERM, which are let in only while the loop waits or looks
/// for news between two slices of work.
void serve(int fd, const World& world, const SimClock& clock, volatile sig_atomic_t* stop);

#endif  // ZENOTAR_SIM_SERVER_H_
