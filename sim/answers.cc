// Answer lines. Each maker is called once per line, so that a long answer
// can be made a slice at a time; positions go through SGP4 and are never
// shown where it gives none.

#include "sim/answers.h"

#include <math.h>
#include <stdio.h>

#include "sim/passes.h"
#include "sim/text.h"

namespace {

constexpr char HELP[] =
    "ZENOTAR simulator commands:\n"
    "  GET_VERSION                         name and version of this server\n"
    "  GET_TIME                            the simulated UTC clock\n"
    "  GET_SAT_POS <sat> [count [step]]    positions from now, every step seconds (stream;\n"
    "                                      count 1 to 10000, default 10; step 1 to 86400, default 1)\n"
    "  ZENOTAR STATE <sat> [count [step]]  TEME position (km) and velocity (km/s), same times\n"
    "  ZENOTAR LIST                        satellites, age of their elements in days, state\n"
    "  ZENOTAR TRACK <sat> [seconds]       live position once a second (1 to 600, default 10)\n"
    "  ZENOTAR PASSES <sat> [hours]        passes over the ground station (1 to 168, default 24)\n"
    "  ZENOTAR STATION                     the ground station\n"
    "  HELP                                this text\n"
    "<sat> is a catalogue number or a name in any case: NOAA_19 or \"NOAA 19\" for a name\n"
    "with blanks, or its first word where that is unique (ISS).\n"
    "Position lines: time sat lat lon (degrees, WGS-84) alt (km) az el (degrees) range (km).\n"
    "Pass lines: rise max max_el set; up_at_start or up_at_end where the window cuts a\n"
    "pass, and min min_el too when the satellite is up the whole window.\n"
    "Orbits: SGP4/SDP4 (WGS-72, improved mode), as exact as the official verification set;\n"
    "the error that remains is the element set's own, and it grows with the set's age.\n"
    "Where SGP4 gives no position (a decayed satellite, elements it cannot use) the answer\n"
    "ends with ERROR <sat>: <reason> at <time>.";

/// Rounds away the minus sign of a value that prints as zero.
double tidy(double value, double unit) {
  return fabs(value) < unit / 2 ? 0.0 : value;
}

/// A one-word name for what SGP4 says of a satellite, for ZENOTAR LIST.
const char* state_word(Sgp4Error error) {
  switch (error) {
    case SGP4_OK:
      return "ok";
    case SGP4_DECAYED:
      return "decayed";
    case SGP4_BAD_ECCENTRICITY:
    case SGP4_BAD_PERTURBED_ECCENTRICITY:
      return "bad_eccentricity";
    case SGP4_BAD_MEAN_MOTION:
      return "bad_mean_motion";
    case SGP4_NEGATIVE_SEMI_LATUS_RECTUM:
      return "bad_semi_latus_rectum";
  }
  return "error";
}

/// True once for an answer of one line.
bool first(const Job* job) {
  return job->next == 0;
}

/// The time of the job's next line, or false when it has made them all.
bool next_time(const Job* job, double* time) {
  if (job->failed || job->next >= job->count)
    return false;
  *time = job->start + static_cast<double>(job->next) * static_cast<double>(job->step);
  return true;
}

}  // namespace

std::string version_text() {
  return "ZENOTAR simulator zenotar-sim " ZENOTAR_VERSION;
}

std::string position_line(const Position& p, int catalog) {
  char line[200];
  snprintf(line, sizeof line,
           "time=%s sat=%d lat=%.2f lon=%.2f alt=%.1f az=%.1f el=%.1f range=%.1f\n",
           format_time(p.time).c_str(), catalog, tidy(p.point.lat, 0.01), tidy(p.point.lon, 0.01),
           p.point.alt, p.look.az >= 359.95 ? 0.0 : p.look.az, tidy(p.look.el, 0.1), p.look.range);
  return line;
}

bool track_line(const World& world, int satellite, double time, std::string* line) {
  const Satellite& s = world.satellites[static_cast<size_t>(satellite)];
  Position p;
  Sgp4Error error = locate(s, world.station, time, &p);
  *line = error == SGP4_OK ? position_line(p, s.catalog) : propagation_error_line(s, error, time);
  return error == SGP4_OK;
}

bool version_answer(const World&, Job* job, std::string* line) {
  *line = version_text();
  return first(job);
}

bool help_answer(const World&, Job* job, std::string* line) {
  *line = HELP;
  return first(job);
}

bool time_answer(const World&, Job* job, std::string* line) {
  *line = format_time(job->start);
  return first(job);
}

bool station_answer(const World& world, Job* job, std::string* line) {
  char text[120];
  snprintf(text, sizeof text, "lat=%.4f lon=%.4f alt=%.0f\n", world.station.lat,
           world.station.lon, world.station.alt * 1000);
  *line = text;
  return first(job);
}

bool list_answer(const World& world, Job* job, std::string* line) {
  if (job->next >= static_cast<long>(world.satellites.size()))
    return false;
  const Satellite& s = world.satellites[static_cast<size_t>(job->next)];
  Position p;
  char text[200];
  snprintf(text, sizeof text, "sat=%d age=%.1f state=%s name=%s\n", s.catalog,
           tidy((job->start - s.epoch) / 86400.0, 0.1),
           state_word(locate(s, world.station, job->start, &p)), s.name.c_str());
  *line = text;
  return true;
}

bool positions_answer(const World& world, Job* job, std::string* line) {
  double time;
  if (!next_time(job, &time))
    return false;
  job->failed = !track_line(world, job->satellite, time, line);
  return true;
}

bool states_answer(const World& world, Job* job, std::string* line) {
  double time;
  if (!next_time(job, &time))
    return false;
  const Satellite& s = world.satellites[static_cast<size_t>(job->satellite)];
  Position p;
  StateVector v;
  Sgp4Error error = locate(s, world.station, time, &p, &v);
  if (error != SGP4_OK) {
    job->failed = true;
    *line = propagation_error_line(s, error, time);
    return true;
  }
  char text[320];
  snprintf(text, sizeof text,
           "time=%s sat=%d x=%.6f y=%.6f z=%.6f vx=%.9f vy=%.9f vz=%.9f\n",
           format_time(time).c_str(), s.catalog, v.r[0], v.r[1], v.r[2], v.v[0], v.v[1], v.v[2]);
  *line = text;
  return true;
}

bool passes_answer(const World& world, Job* job, std::string* line) {
  // The search runs whole at the first line (it is cheap); the lines wait in
  // job->lines, last first.
  if (job->next == 0 && job->lines.empty()) {
    const Satellite& s = world.satellites[static_cast<size_t>(job->satellite)];
    job->lines = find_passes(s, world.station, job->start,
                             job->start + static_cast<double>(job->count) * 3600);
    if (job->lines.empty())
      job->lines.push_back("no passes over the station in the next " +
                           std::to_string(job->count) + " hours\n");
    std::vector<std::string> reversed(job->lines.rbegin(), job->lines.rend());
    job->lines.swap(reversed);
  }
  if (job->lines.empty())
    return false;
  *line = job->lines.back();
  job->lines.pop_back();
  return true;
}
