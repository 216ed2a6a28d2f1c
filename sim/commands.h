// The simulator's command language: one request in, the datagrams of its
// answer out, made a slice at a time so that no request holds the server.
#ifndef ZENOTAR_SIM_COMMANDS_H_
#define ZENOTAR_SIM_COMMANDS_H_

#include <stddef.h>

#include <string>
#include <vector>

#include "protocol/protocol.h"
#include "sim/frames.h"

/// The most lines one GET_SAT_POS or ZENOTAR STATE answers with.
inline constexpr long MAX_POSITIONS = 10000;
/// The longest step between two of those lines, in seconds.
inline constexpr long MAX_STEP_SECONDS = 86400;
/// The longest live track, in seconds.
inline constexpr long MAX_TRACK_SECONDS = 600;
/// The longest look-ahead of ZENOTAR PASSES, in hours.
inline constexpr long MAX_PASS_HOURS = 168;

/// What the simulator knows: its catalogue and its ground station.
struct World {
  std::vector<Satellite> satellites;
  Geodetic station;
};

/// One request being answered, and how far its answer has got.
struct Job {
  bool streamed = false;  ///< framed as a stream: the end mark comes last
  int command = -1;       ///< in the command table; -1: the answer is error
  std::string error;      ///< the one line of an error answer
  int satellite = -1;
  long count = 0;  ///< lines, or seconds of a track, or hours of passes
  long step = 0;   ///< seconds between two lines
  long next = 0;   ///< lines made so far
  double start = 0;    ///< simulated Unix time of the first line
  std::vector<std::string> lines;  ///< lines made ahead, last first
  bool track = false;  ///< a live track, which the server paces
  bool failed = false; ///< an ERROR line ended the answer early
  bool done = false;   ///< every datagram has been made
};

/// Reads one request datagram (text, zero byte optional) received at the
/// simulated Unix time now.
Job start_job(const World& world, const char* data, size_t size, double now);

/// Appends the next datagrams of the job's answer to out, at most
/// max_datagrams of them (the end mark included); sets job->done after the last.
void continue_job(const World& world, Job* job, size_t max_datagrams,
                  std::vector<std::string>* out);

/// The whole answer to one request, as tests and the fuzzer see it: every
/// datagram, or for a live track its set-up.
struct Answer {
  std::vector<std::string> datagrams;
  bool track = false;
  int satellite = 0;  ///< with track: which one
  long seconds = 0;   ///< with track: how many lines
};

/// Answers one request datagram at Unix time now, all at once.
Answer answer_request(const World& world, const char* data, size_t size, double now);

#endif  // ZENOTAR_SIM_COMMANDS_H_
