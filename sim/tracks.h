// Live tracks: one position a second to a peer, for as long as it listens.
#ifndef ZENOTAR_SIM_TRACKS_H_
#define ZENOTAR_SIM_TRACKS_H_

#include <netinet/in.h>

#include <string>
#include <vector>

#include "sim/clock.h"
#include "sim/commands.h"

/// At most this many live tracks run at once, and one per peer.
inline constexpr size_t MAX_TRACKS = 64;

struct Track {
  sockaddr_in peer;
  int satellite;
  double first;  ///< simulated second of the first line
  long count;    ///< lines in all
  long next;     ///< index of the next line
  double due;    ///< monotonic time of the next line
};

/// Sends datagram to peer on fd; a datagram is never longer than UDP allows.
void send_datagram(int fd, const sockaddr_in& peer, const std::string& datagram);

/// Sends "ERROR why" to peer, as a single answer or, where streamed, as a
/// stream's one line and its end mark.
void send_error(int fd, const sockaddr_in& peer, const std::string& why, bool streamed);

/// True when two addresses name the same peer (address and port).
bool same_peer(const sockaddr_in& a, const sockaddr_in& b);

/// Starts the live track job asks for, or answers why not (the peer
/// already has one, or all are taken).
void start_track(int fd, const sockaddr_in& peer, const Job& job, std::vector<Track>* tracks);

/// Sends every line that is due: each line carries the second it stands for;
/// after a stall the track goes on from the present, never repeating a time.
void send_due_tracks(int fd, const World& world, const SimClock& clock,
                     std::vector<Track>* tracks);

/// Milliseconds until the next line of a track is due; -1 when none runs.
int next_track_wait_ms(const std::vector<Track>& tracks);

/// Ends the tracks of peers the kernel reports unreachable (their port is
/// closed), reading the socket's error queue; returns those peers.
std::vector<sockaddr_in> drop_unreachable(int fd, std::vector<Track>* tracks);

#endif  // ZENOTAR_SIM_TRACKS_H_
