// The simulator's UDP loop. One thread: every request is answered at once,
// and live tracks are sent from the same loop when their second comes.

#include "sim/server.h"

#include <arpa/inet.h>
#include <errno.h>
#include <math.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <vector>

namespace {

/// At most this many live tracks run at once.
constexpr size_t MAX_TRACKS = 64;

struct Track {
  sockaddr_in peer;
  int satellite;
  int left;
  double due;  ///< monotonic seconds
};

double monotonic() {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<double>(now.tv_sec) + now.tv_nsec / 1e9;
}

void send_to(int fd, const sockaddr_in& peer, const std::string& datagram) {
  sendto(fd, datagram.data(), datagram.size(), 0, reinterpret_cast<const sockaddr*>(&peer),
         sizeof peer);
}

/// Sends the lines of every track that is due, and the end mark of finished ones.
void send_due_tracks(int fd, const World& world, const SimClock& clock,
                     std::vector<Track>* tracks) {
  double now = monotonic();
  for (size_t i = 0; i < tracks->size();) {
    Track& t = (*tracks)[i];
    if (t.due > now) {
      ++i;
      continue;
    }
    send_to(fd, t.peer, position_line(world, t.satellite, floor(clock_now(clock))));
    t.due += 1.0;
    if (--t.left > 0) {
      ++i;
      continue;
    }
    send_to(fd, t.peer, std::string(1, STREAM_END_MARK));
    tracks->erase(tracks->begin() + static_cast<long>(i));
  }
}

/// Milliseconds until the next track is due; -1 when none runs.
int next_wait_ms(const std::vector<Track>& tracks) {
  if (tracks.empty())
    return -1;
  double due = tracks[0].due;
  for (const Track& t : tracks)
    due = fmin(due, t.due);
  double wait = (due - monotonic()) * 1000;
  return wait <= 0 ? 0 : static_cast<int>(ceil(wait));
}

/// Reads one request and answers it, starting a track where one is asked for.
void answer_one(int fd, const World& world, const SimClock& clock, std::vector<Track>* tracks) {
  static char request[65536];
  sockaddr_in peer{};
  socklen_t size = sizeof peer;
  ssize_t got = recvfrom(fd, request, sizeof request, MSG_DONTWAIT,
                         reinterpret_cast<sockaddr*>(&peer), &size);
  if (got < 0 || size != sizeof peer)
    return;
  Answer answer = answer_request(world, request, static_cast<size_t>(got), clock_now(clock));
  if (answer.track && tracks->size() >= MAX_TRACKS)
    answer.datagrams = {"ERROR too many live tracks; try again later\n",
                        std::string(1, STREAM_END_MARK)};
  else if (answer.track)
    tracks->push_back({peer, answer.satellite, answer.seconds, monotonic()});
  for (const std::string& datagram : answer.datagrams)
    send_to(fd, peer, datagram);
}

}  // namespace

SimClock start_clock(double time) {
  return {time, monotonic()};
}

double clock_now(const SimClock& clock) {
  return clock.start + (monotonic() - clock.real_start);
}

int bind_server(int port) {
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
  return fd;
}

int bound_port(int fd) {
  sockaddr_in address{};
  socklen_t size = sizeof address;
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
  return ntohs(address.sin_port);
}

void serve(int fd, const World& world, const SimClock& clock, volatile sig_atomic_t* stop) {
  // SIGINT and SIGTERM are blocked by the caller and let in only while
  // waiting, so that a stop never falls between the test and the wait.
  sigset_t waiting;
  sigprocmask(SIG_SETMASK, nullptr, &waiting);
  sigdelset(&waiting, SIGINT);
  sigdelset(&waiting, SIGTERM);
  std::vector<Track> tracks;
  while (!*stop) {
    pollfd ready = {fd, POLLIN, 0};
    int wait = next_wait_ms(tracks);
    timespec timeout = {wait / 1000, (wait % 1000) * 1000000L};
    int woke = ppoll(&ready, 1, wait < 0 ? nullptr : &timeout, &waiting);
    if (woke < 0 && errno != EINTR)
      break;
    if (woke > 0)
      answer_one(fd, world, clock, &tracks);
    send_due_tracks(fd, world, clock, &tracks);
  }
}
