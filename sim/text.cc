// Times, numbers and excerpts of untrusted text.

#include "sim/text.h"

#include <ctype.h>
#include <math.h>
#include <stdio.h>
#include <time.h>

#include "term/escape.h"

namespace {

/// True for code points a terminal may act on instead of showing: C1
/// controls and the bidirectional embeddings, overrides and isolates.
bool is_hidden_control(unsigned code) {
  return code <= 0x9F || is_bidi_control(code);
}

}  // namespace

std::string format_time(double time) {
  if (!(time >= FIRST_TIME && time <= LAST_TIME))
    return "invalid-time";
  time_t seconds = static_cast<time_t>(floor(time));
  tm parts{};
  if (gmtime_r(&seconds, &parts) == nullptr)
    return "invalid-time";
  char text[64];
  snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02dZ", parts.tm_year + 1900,
           parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec);
  return text;
}

bool parse_time(const std::string& text, double* time) {
  int year, month, day, hour, minute, second, consumed = 0;
  if (sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%n", &year, &month, &day, &hour, &minute,
             &second, &consumed) != 6)
    return false;
  std::string rest = text.substr(static_cast<size_t>(consumed));
  if ((rest != "" && rest != "Z") || text.size() < 19 || text[4] != '-' || text[7] != '-')
    return false;
  tm parts{};
  parts.tm_year = year - 1900;
  parts.tm_mon = month - 1;
  parts.tm_mday = day;
  parts.tm_hour = hour;
  parts.tm_min = minute;
  parts.tm_sec = second;
  double value = static_cast<double>(timegm(&parts));
  // A real calendar time comes back unchanged: 2008-02-31 would become March.
  std::string back = format_time(value);
  if (back == "invalid-time" || back.compare(0, 19, text, 0, 19) != 0)
    return false;
  *time = value;
  return true;
}

std::string lookup_key(const std::string& name) {
  std::string key = name;
  for (char& c : key) {
    c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    if (c == '_')
      c = ' ';
  }
  return key;
}

std::string format_number(double value) {
  char text[64];
  snprintf(text, sizeof text, "%.10g", value);
  return text;
}

std::string printable_excerpt(const std::string& text, size_t max_bytes, bool mark_cut) {
  std::string shown;
  size_t i = 0;
  while (i < text.size()) {
    unsigned char byte = static_cast<unsigned char>(text[i]);
    std::string piece;
    size_t used = 1;
    unsigned code = 0;
    if (byte >= 0x20 && byte < 0x7F) {
      piece = std::string(1, static_cast<char>(byte));
    } else if (byte >= 0x80 && (used = utf8_decode(text.data() + i, text.size() - i, &code)) != 0) {
      char escaped[16];
      snprintf(escaped, sizeof escaped, "\\u%04X", code);
      piece = is_hidden_control(code) ? escaped : text.substr(i, used);
    } else {
      char escaped[8];
      snprintf(escaped, sizeof escaped, "\\x%02X", byte);
      piece = escaped;
      used = 1;
    }
    if (shown.size() + piece.size() > max_bytes)
      return mark_cut ? shown + "..." : shown;
    shown += piece;
    i += used;
  }
  return shown;
}
