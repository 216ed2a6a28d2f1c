// The simulator's UDP loop, in one thread. Requests are read as soon as they
// arrive and queued per peer (address and port); peers with work are served
// in turn, one slice of one answer each, so that a flood from one socket
// delays nobody else by more than a slice. Live tracks are sent from the same
// loop when their second comes.

#include "sim/server.h"

#include <arpa/inet.h>
#include <errno.h>
#include <math.h>
#include <poll.h>
#include <string.h>
#include <sys/socket.h>
#include <unistd.h>

#include <deque>
#include <map>

#include "sim/tracks.h"

namespace {

constexpr size_t MAX_PENDING_PER_PEER = 256;
constexpr size_t MAX_PENDING = 8192;
/// Bytes a command can have; a longer request is refused at once.
constexpr size_t MAX_REQUEST = 1024;
constexpr unsigned READ_BATCH = 64;
constexpr int READ_BATCHES_PER_TURN = 16;
/// How long one turn may work on one answer, and how many datagrams it
/// makes between two looks at the clock.
constexpr double SLICE_SECONDS = 0.002;
constexpr size_t SLICE_DATAGRAMS = 16;
constexpr int RECEIVE_BUFFER = 8 * 1024 * 1024;

struct Pending {
  std::string request;
  double received;  ///< simulated Unix time
};

struct Peer {
  sockaddr_in address;
  std::deque<Pending> requests;
  Job job;
  bool answering = false;
};

struct Server {
  int fd;
  const World& world;
  const SimClock& clock;
  std::map<uint64_t, Peer> peers;
  std::deque<uint64_t> turns;  ///< peers with work, in the order they are served
  size_t pending = 0;
  std::vector<Track> tracks;
};

uint64_t key_of(const sockaddr_in& a) {
  return (static_cast<uint64_t>(a.sin_addr.s_addr) << 16) | a.sin_port;
}

/// Answers a request with an error at once, framed as its command asks.
void refuse(Server* s, const sockaddr_in& peer, const std::string& request, const std::string& why) {
  send_error(s->fd, peer, why, is_streamed_command(request));
}

void take_request(Server* s, const sockaddr_in& from, const char* data, size_t size) {
  std::string request(data, strnlen(data, size));
  if (request.size() > MAX_REQUEST) {
    refuse(s, from, request, "request of " + std::to_string(request.size()) +
                                 " bytes is too long; a command has at most " +
                                 std::to_string(MAX_REQUEST));
    return;
  }
  uint64_t key = key_of(from);
  Peer& peer = s->peers[key];
  peer.address = from;
  if (peer.requests.size() >= MAX_PENDING_PER_PEER || s->pending >= MAX_PENDING) {
    refuse(s, from, request, "server busy: too many requests waiting; try again later");
    if (peer.requests.empty() && !peer.answering)
      s->peers.erase(key);
    return;
  }
  if (peer.requests.empty() && !peer.answering)
    s->turns.push_back(key);
  peer.requests.push_back({request, clock_now(s->clock)});
  ++s->pending;
}

/// Reads the requests that have arrived, a bounded number of them.
void read_requests(Server* s) {
  static char buffers[READ_BATCH][MAX_DATAGRAM + 1];
  static sockaddr_in from[READ_BATCH];
  for (int batch = 0; batch < READ_BATCHES_PER_TURN; ++batch) {
    mmsghdr messages[READ_BATCH];
    iovec vectors[READ_BATCH];
    for (unsigned i = 0; i < READ_BATCH; ++i) {
      vectors[i] = {buffers[i], MAX_DATAGRAM};
      messages[i] = {};
      messages[i].msg_hdr.msg_name = &from[i];
      messages[i].msg_hdr.msg_namelen = sizeof from[i];
      messages[i].msg_hdr.msg_iov = &vectors[i];
      messages[i].msg_hdr.msg_iovlen = 1;
    }
    int got = recvmmsg(s->fd, messages, READ_BATCH, MSG_DONTWAIT, nullptr);
    if (got < 0 && errno == ECONNREFUSED)
      continue;  // an ICMP error reported here too; the error queue has its peer
    if (got <= 0)
      return;
    for (int i = 0; i < got; ++i) {
      if (messages[i].msg_hdr.msg_namelen == sizeof(sockaddr_in))
        take_request(s, from[i], buffers[i], messages[i].msg_len);
    }
    if (got < static_cast<int>(READ_BATCH))
      return;
  }
}

/// Forgets a peer whose port is closed: nothing it asked for can reach it.
void forget_peer(Server* s, const sockaddr_in& address) {
  auto it = s->peers.find(key_of(address));
  if (it == s->peers.end())
    return;
  s->pending -= it->second.requests.size();
  s->peers.erase(it);
}

/// Works on one slice of the answer the peer is owed.
void answer_slice(Server* s, Peer* peer) {
  if (!peer->answering) {
    Pending next = peer->requests.front();
    peer->requests.pop_front();
    --s->pending;
    peer->job = start_job(s->world, next.request.data(), next.request.size(), next.received);
    peer->answering = true;
    if (peer->job.track) {
      start_track(s->fd, peer->address, peer->job, &s->tracks);
      peer->answering = false;
      return;
    }
  }
  double deadline = monotonic() + SLICE_SECONDS;
  std::vector<std::string> out;
  do {
    out.clear();
    continue_job(s->world, &peer->job, SLICE_DATAGRAMS, &out);
    for (const std::string& datagram : out)
      send_datagram(s->fd, peer->address, datagram);
  } while (!peer->job.done && monotonic() < deadline);
  if (peer->job.done) {
    peer->answering = false;
    peer->job = Job();
  }
}

/// Serves the peer whose turn it is, and puts it back in line if it has more.
void serve_turn(Server* s) {
  while (!s->turns.empty()) {
    uint64_t key = s->turns.front();
    s->turns.pop_front();
    auto it = s->peers.find(key);
    if (it == s->peers.end())
      continue;  // forgotten while it waited
    Peer& peer = it->second;
    answer_slice(s, &peer);
    if (peer.answering || !peer.requests.empty())
      s->turns.push_back(key);
    else
      s->peers.erase(it);
    return;
  }
}

/// A queue that holds a burst until the loop reads it, and the errors of
/// ICMP messages (a peer's port closed) in the socket's error queue.
void prepare_socket(int fd) {
  int size = RECEIVE_BUFFER, on = 1;
  setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
  setsockopt(fd, SOL_IP, IP_RECVERR, &on, sizeof on);
}

}  // namespace

int open_server_socket(int port) {
  int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0)
    return -1;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) < 0) {
    int saved = errno;
    close(fd);
    errno = saved;
    return -1;
  }
  prepare_socket(fd);
  return fd;
}

int bound_port(int fd) {
  sockaddr_in address{};
  socklen_t size = sizeof address;
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
  return ntohs(address.sin_port);
}

void serve(int fd, const World& world, const SimClock& clock, volatile sig_atomic_t* stop) {
  // SIGINT and SIGTERM are blocked by the caller and let in only inside
  // ppoll, which runs between every two slices of work, so a stop is seen
  // within a slice and never falls between the test and the wait.
  sigset_t waiting;
  sigprocmask(SIG_SETMASK, nullptr, &waiting);
  sigdelset(&waiting, SIGINT);
  sigdelset(&waiting, SIGTERM);
  Server s = {fd, world, clock, {}, {}, 0, {}};
  while (!*stop) {
    int wait = s.turns.empty() ? next_track_wait_ms(s.tracks) : 0;
    timespec timeout = {wait / 1000, (wait % 1000) * 1000000L};
    pollfd ready = {fd, POLLIN, 0};
    if (ppoll(&ready, 1, wait < 0 ? nullptr : &timeout, &waiting) < 0 && errno != EINTR)
      break;
    if (*stop)
      break;
    for (const sockaddr_in& gone : drop_unreachable(fd, &s.tracks))
      forget_peer(&s, gone);
    read_requests(&s);
    send_due_tracks(fd, world, clock, &s.tracks);
    serve_turn(&s);
  }
}
