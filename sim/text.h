// Text the simulator reads and writes: times, numbers and safe excerpts.
#ifndef ZENOTAR_SIM_TEXT_H_
#define ZENOTAR_SIM_TEXT_H_

#include <stddef.h>

#include <string>

/// The first and last Unix times the simulator reads or shows: 1957-01-01
/// and 2100-12-31T23:59:59Z.
inline constexpr double FIRST_TIME = -410227200;
inline constexpr double LAST_TIME = 4133980799;

/// Formats Unix time as 2008-09-20T12:25:40Z (to the second, rounded down);
/// a time outside FIRST_TIME to LAST_TIME, or no number, shows as "invalid-time".
std::string format_time(double time);

/// Reads 2008-09-20T12:25:40Z (the Z optional); false unless it is a real
/// calendar time from 1957 to 2100.
bool parse_time(const std::string& text, double* time);

/// A number as a person writes it: up to 10 significant digits, no exponent
/// for everyday sizes.
std::string format_number(double value);

/// A name as it is looked up: upper case, with '_' for a blank.
std::string lookup_key(const std::string& name);

/// At most max_bytes of text, cut on a character boundary, with control
/// bytes, bidirectional controls and invalid UTF-8 shown as \xHH or \uHHHH;
/// "..." marks a cut where mark_cut is true.
std::string printable_excerpt(const std::string& text, size_t max_bytes, bool mark_cut);

#endif  // ZENOTAR_SIM_TEXT_H_
