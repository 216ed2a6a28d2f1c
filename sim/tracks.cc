// Live tracks. A track belongs to the peer that asked for it and ends when
// its seconds have run or when the kernel says the peer's port is closed
// (an ICMP port-unreachable, read from the socket's error queue).

#include "sim/tracks.h"

#include <errno.h>
#include <linux/errqueue.h>
#include <math.h>
#include <sys/socket.h>

#include "sim/answers.h"
#include "sim/text.h"

namespace {

const std::string END(1, STREAM_END_MARK);

/// Sends the track's line for the present second (or the next one due) and
/// reckons the next; false when the track has ended.
bool send_track_line(int fd, const World& world, const SimClock& clock, Track* t) {
  long present = static_cast<long>(floor(clock_now(clock)) - t->first);
  long index = present > t->next ? present : t->next;  // after a stall: the present
  if (index >= t->count) {
    send_datagram(fd, t->peer, END);
    return false;
  }
  std::string line;
  bool ok = track_line(world, t->satellite, t->first + static_cast<double>(index), &line);
  send_datagram(fd, t->peer, line);
  t->next = index + 1;
  if (!ok || t->next >= t->count) {
    send_datagram(fd, t->peer, END);
    return false;
  }
  t->due = monotonic_at(clock, t->first + static_cast<double>(t->next));
  return true;
}

}  // namespace

void send_datagram(int fd, const sockaddr_in& peer, const std::string& datagram) {
  size_t size = datagram.size() < MAX_DATAGRAM ? datagram.size() : MAX_DATAGRAM;
  sendto(fd, datagram.data(), size, 0, reinterpret_cast<const sockaddr*>(&peer), sizeof peer);
}

void send_error(int fd, const sockaddr_in& peer, const std::string& why, bool streamed) {
  send_datagram(fd, peer, "ERROR " + why + (streamed ? "\n" : ""));
  if (streamed)
    send_datagram(fd, peer, END);
}

bool same_peer(const sockaddr_in& a, const sockaddr_in& b) {
  return a.sin_addr.s_addr == b.sin_addr.s_addr && a.sin_port == b.sin_port;
}

void start_track(int fd, const sockaddr_in& peer, const Job& job, std::vector<Track>* tracks) {
  for (const Track& t : *tracks) {
    if (same_peer(t.peer, peer)) {
      send_error(fd, peer, "a live track already runs for this port until " +
                               format_time(t.first + static_cast<double>(t.count)) +
                               "; this one is refused", true);
      return;
    }
  }
  if (tracks->size() >= MAX_TRACKS) {
    send_error(fd, peer, "too many live tracks (" + std::to_string(MAX_TRACKS) +
                             "); try again later", true);
    return;
  }
  tracks->push_back({peer, job.satellite, job.start, job.count, 0, monotonic()});
}

void send_due_tracks(int fd, const World& world, const SimClock& clock,
                     std::vector<Track>* tracks) {
  double now = monotonic();
  for (size_t i = 0; i < tracks->size();) {
    Track& t = (*tracks)[i];
    if (t.due > now || send_track_line(fd, world, clock, &t))
      ++i;
    else
      tracks->erase(tracks->begin() + static_cast<long>(i));
  }
}

int next_track_wait_ms(const std::vector<Track>& tracks) {
  if (tracks.empty())
    return -1;
  double due = tracks[0].due;
  for (const Track& t : tracks)
    due = fmin(due, t.due);
  double wait = (due - monotonic()) * 1000;
  return wait <= 0 ? 0 : static_cast<int>(ceil(wait));
}

std::vector<sockaddr_in> drop_unreachable(int fd, std::vector<Track>* tracks) {
  std::vector<sockaddr_in> gone;
  for (;;) {
    char data[64];
    alignas(cmsghdr) char control[512];
    sockaddr_in peer{};
    iovec vector = {data, sizeof data};
    msghdr message{};
    message.msg_name = &peer;
    message.msg_namelen = sizeof peer;
    message.msg_iov = &vector;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    if (recvmsg(fd, &message, MSG_ERRQUEUE | MSG_DONTWAIT) < 0)
      break;
    for (cmsghdr* c = CMSG_FIRSTHDR(&message); c != nullptr; c = CMSG_NXTHDR(&message, c)) {
      if (c->cmsg_level != SOL_IP || c->cmsg_type != IP_RECVERR)
        continue;
      const auto* error = reinterpret_cast<const sock_extended_err*>(CMSG_DATA(c));
      if (error->ee_origin == SO_EE_ORIGIN_ICMP && error->ee_errno == ECONNREFUSED)
        gone.push_back(peer);
    }
  }
  for (const sockaddr_in& peer : gone) {
    for (size_t i = 0; i < tracks->size();) {
      if (same_peer((*tracks)[i].peer, peer))
        tracks->erase(tracks->begin() + static_cast<long>(i));
      else
        ++i;
    }
  }
  return gone;
}
