// Two-line element sets: reading them strictly, and the catalogue they make.
#ifndef ZENOTAR_SIM_ELEMENTS_H_
#define ZENOTAR_SIM_ELEMENTS_H_

#include <string>
#include <vector>

#include "sim/sgp4.h"

/// Saved states of a resonant orbit's integrator, so that no propagation
/// has to integrate from epoch: one every few steps in each direction, filled
/// as propagation reaches them, and the one used last.
struct ResonanceTable {
  std::vector<ResonanceCache> forward, backward;
  ResonanceCache running;
};

/// One satellite of the catalogue: its names, its epoch and its SGP4 model.
struct Satellite {
  std::string name;
  std::string key, first_key;  ///< the name, and its first word, as looked up
  int catalog = 0;
  double epoch = 0;  ///< Unix seconds, UTC
  Sgp4Model model;
  Sgp4Error init_error = SGP4_OK;  ///< what SGP4 says of the elements at epoch
  mutable ResonanceTable resonance;
};

/// Gives the satellite its name and the keys it is looked up by: upper
/// case, '_' for a blank, the whole name and its first word.
void name_satellite(Satellite* satellite, const std::string& name);

/// The most a mean motion can be, in revolutions a day: a circular orbit at
/// the Earth's radius. Any higher one has its perigee below the ground.
double max_mean_motion();

/// True when the line's column 69 holds the checksum of its first 68 columns.
bool tle_checksum_ok(const std::string& line);

/// Reads one element set from its two lines (69 columns each, checksums
/// already checked); false with the reason when a field is unreadable or out
/// of its physical range.
bool parse_element_set(const std::string& one, const std::string& two, Satellite* satellite,
                       std::string* reason);

/// Parses a catalogue of element sets (an optional name line before each
/// pair); on a fault returns false with "FILE:LINE: reason" in error.
bool parse_catalogue(const std::string& text, const std::string& file,
                     std::vector<Satellite>* satellites, std::string* error);

/// The answer line for a satellite SGP4 gives no position for at time:
/// "ERROR <catalogue number>: <reason> at <time>".
std::string propagation_error_line(const Satellite& satellite, Sgp4Error error, double time);

/// Julian date of a Unix time, and back.
double julian_date(double unix_time);
double unix_time_of_jd(double jd);

#endif  // ZENOTAR_SIM_ELEMENTS_H_
