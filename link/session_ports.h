// Local ports of the session's exchanges: a new exchange avoids those of the
// recent ones, so that an answer still on its way to an earlier exchange
// can never reach a later one.
#ifndef ZENOTAR_LINK_SESSION_PORTS_H_
#define ZENOTAR_LINK_SESSION_PORTS_H_

/// How many recent exchanges are remembered, and for how long.
inline constexpr int RECENT_PORTS = 64;
inline constexpr long long RECENT_PORT_MS = 10 * 60 * 1000;
/// Sockets tried, at most, for a port no recent exchange used: in a range of
/// eight ports, every one of them.
inline constexpr int FRESH_PORT_TRIES = 8;

/// Connects a socket to (host, "zenotar", "udp") as open_endpoint does, on a
/// local port none of the recent exchanges used where the kernel gives one
/// within a few tries, else on the one used longest ago; -1 after
/// open_endpoint's diagnostic.
int open_exchange_socket(const char* host);

/// Forgets the ports of earlier exchanges.
void forget_session_ports();

#endif  // ZENOTAR_LINK_SESSION_PORTS_H_
