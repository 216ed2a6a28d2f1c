// Each command gets a socket of its own, and so whatever local port the
// kernel picks; where the ephemeral range is small it picks a port an
// earlier exchange of this session had a moment ago, and a late datagram
// for that exchange (a stopped live track, a slow answer) would be shown as
// this one's answer. So while the kernel's pick is one of the recent ports,
// the socket is kept and another opened beside it, a few times at most; the
// unwanted ones are then closed.

#include "link/session_ports.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "link/exchange.h"
#include "link/server_link.h"

namespace {

struct RecentPort {
  in_port_t port;  ///< network byte order; 0 for a free slot
  long long used_ms;
};

RecentPort recent[RECENT_PORTS];
int next_slot = 0;

in_port_t local_port(int fd) {
  sockaddr_in address{};
  socklen_t size = sizeof address;
  if (getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) < 0)
    return 0;
  return address.sin_port;
}

/// When port was last used by a recent exchange; -1 when it was not.
long long last_use(in_port_t port, long long now) {
  long long last = -1;
  for (const RecentPort& r : recent) {
    if (r.port == port && now - r.used_ms < RECENT_PORT_MS && r.used_ms > last)
      last = r.used_ms;
  }
  return last;
}

/// Another socket connected to the same server as fd, quietly; -1 if none.
int another_socket(int fd) {
  sockaddr_in peer{};
  socklen_t size = sizeof peer;
  if (getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &size) < 0)
    return -1;
  int other = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (other >= 0 && connect(other, reinterpret_cast<sockaddr*>(&peer), sizeof peer) < 0) {
    close(other);
    return -1;
  }
  return other;
}

}  // namespace

int open_exchange_socket(const char* host) {
  int first = open_endpoint(host, SERVICE_NAME, SERVICE_PROTOCOL);
  if (first < 0)
    return -1;
  long long now = monotonic_ms();
  int tried[FRESH_PORT_TRIES] = {first};
  int count = 1, chosen = 0;
  long long oldest = last_use(local_port(first), now);
  while (oldest >= 0 && count < FRESH_PORT_TRIES) {
    int fd = another_socket(first);
    if (fd < 0)
      break;
    tried[count] = fd;
    long long used = last_use(local_port(fd), now);
    if (used < oldest)
      oldest = used, chosen = count;
    ++count;
  }
  for (int i = 0; i < count; ++i) {
    if (i != chosen)
      close(tried[i]);
  }
  recent[next_slot] = {local_port(tried[chosen]), now};
  next_slot = (next_slot + 1) % RECENT_PORTS;
  return tried[chosen];
}

void forget_session_ports() {
  for (RecentPort& r : recent)
    r = {0, 0};
  next_slot = 0;
}
