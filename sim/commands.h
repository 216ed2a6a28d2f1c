// The simulator's command language: one request in, the datagrams of its
// answer out.
#ifndef ZENOTAR_SIM_COMMANDS_H_
#define ZENOTAR_SIM_COMMANDS_H_

#include <stddef.h>

#include <string>
#include <vector>

#include "sim/orbit.h"

/// The first byte of the datagram that ends a streamed answer.
inline constexpr char STREAM_END_MARK = 0x1A;
/// The most lines one GET_SAT_POS answers with.
inline constexpr int MAX_POSITIONS = 10000;
/// The longest live track, in seconds.
inline constexpr int MAX_TRACK_SECONDS = 600;
/// The longest look-ahead of ZENOTAR PASSES, in hours.
inline constexpr int MAX_PASS_HOURS = 168;

/// What the simulator knows: its catalogue and its ground station.
struct World {
  std::vector<Satellite> satellites;
  Geodetic station;
};

/// The answer to one request. Streamed answers end with the end mark, except
/// a live track, whose lines the server sends once a second before its mark.
struct Answer {
  std::vector<std::string> datagrams;
  bool track = false;
  int satellite = 0;  ///< with track: which one
  int seconds = 0;    ///< with track: how many lines
};

/// True when command's answer is a stream: it begins with ZENOTAR or GET_SAT_POS.
bool is_streamed(const std::string& command);

/// Answers one request datagram (text, zero byte optional) at Unix time now.
Answer answer_request(const World& world, const char* data, size_t size, double now);

/// One position line: time, satellite, sub-satellite point and look angles.
std::string position_line(const World& world, int satellite, double time);

/// Formats Unix time as 2008-09-20T12:25:40Z (to the second, rounded down).
std::string format_time(double time);

/// Reads 2008-09-20T12:25:40Z (the Z optional); false when it is not one.
bool parse_time(const std::string& text, double* time);

#endif  // ZENOTAR_SIM_COMMANDS_H_
