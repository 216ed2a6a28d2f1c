// Two-line element sets. Every field is read by its columns and checked:
// only digits, blanks, one sign and one point where the format has them, and
// every value finite and within its physical range, so that nothing a file
// holds can become a clock or an orbit that makes no sense.

#include "sim/elements.h"

#include <math.h>
#include <stdlib.h>

#include <sstream>

#include "sim/sgp4_constants.h"
#include "sim/sgp4_init.h"
#include "sim/text.h"

namespace {

constexpr double DEG = sgp4::PI / 180;
constexpr size_t NAME_MAX_BYTES = 64;

/// Days from 1970-01-01 to the civil date (proleptic Gregorian).
long days_from_civil(long y, unsigned m, unsigned d) {
  y -= m <= 2;
  long era = (y >= 0 ? y : y - 399) / 400;
  unsigned yoe = static_cast<unsigned>(y - era * 400);
  unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<long>(doe) - 719468;
}

/// Reads columns [from, to] (1-based, inclusive) as a decimal number: blanks
/// around it, an optional sign, digits with at most one point; nothing else.
bool number_field(const std::string& line, size_t from, size_t to, double* value) {
  std::string text = line.substr(from - 1, to - from + 1);
  size_t at = text.find_first_not_of(' ');
  if (at == std::string::npos)
    return false;
  std::string number = text.substr(at, text.find_last_not_of(' ') - at + 1);
  size_t body = number[0] == '+' || number[0] == '-' ? 1 : 0;
  std::string digits = number.substr(body);
  size_t point = digits.find('.');
  if (digits.find_first_not_of("0123456789.") != std::string::npos ||
      digits.find_first_of("0123456789") == std::string::npos ||
      (point != std::string::npos && digits.find('.', point + 1) != std::string::npos))
    return false;
  *value = strtod(number.c_str(), nullptr);
  return isfinite(*value);
}

/// Reads a field in the element sets' exponent form: " 12345-6" is 0.12345e-6.
bool exponent_field(const std::string& line, size_t from, double* value) {
  std::string text = line.substr(from - 1, 8);
  char sign = text[0] == ' ' ? '+' : text[0];
  std::string mantissa = text.substr(1, 5), exponent = text.substr(6, 2);
  for (char& c : mantissa)
    c = c == ' ' ? '0' : c;
  if ((sign != '+' && sign != '-') || mantissa.find_first_not_of("0123456789") != std::string::npos ||
      (exponent[0] != '+' && exponent[0] != '-' && exponent[0] != ' ') || exponent[1] < '0' ||
      exponent[1] > '9')
    return false;
  std::string number = std::string(1, sign) + "0." + mantissa + "e" +
                       (exponent[0] == '-' ? "-" : "+") + exponent[1];
  *value = strtod(number.c_str(), nullptr);
  return true;
}

/// Reads the catalogue number of columns 3 to 7: five digits, blanks before them allowed.
bool catalog_field(const std::string& line, int* number) {
  double value;
  std::string digits = line.substr(2, 5);
  if (digits.find_first_of("+-.") != std::string::npos || !number_field(line, 3, 7, &value))
    return false;
  *number = static_cast<int>(value);
  return true;
}

/// A value of the set and the range it must lie in.
struct Ranged {
  const char* what;
  double value, low, high;
  bool high_included;
};

bool in_ranges(const Ranged* fields, size_t count, std::string* reason) {
  for (size_t i = 0; i < count; ++i) {
    const Ranged& f = fields[i];
    bool fits = f.value >= f.low && (f.high_included ? f.value <= f.high : f.value < f.high);
    if (!fits) {
      *reason = std::string(f.what) + " " + format_number(f.value) + " is out of range (" +
                format_number(f.low) + " to " + format_number(f.high) +
                (f.high_included ? ")" : ", not included)");
      return false;
    }
  }
  return true;
}

/// The epoch from its two-digit year and day of the year; false when out of range.
bool read_epoch(const std::string& one, double* jd, std::string* reason) {
  double year, day;
  if (!number_field(one, 19, 20, &year) || !number_field(one, 21, 32, &day) ||
      year != floor(year) || year < 0) {
    *reason = "unreadable epoch";
    return false;
  }
  int full_year = year < 57 ? 2000 + static_cast<int>(year) : 1900 + static_cast<int>(year);
  bool leap = (full_year % 4 == 0 && full_year % 100 != 0) || full_year % 400 == 0;
  Ranged range = {"epoch day", day, 1, leap ? 367.0 : 366.0, false};
  if (!in_ranges(&range, 1, reason))
    return false;
  *jd = static_cast<double>(days_from_civil(full_year, 1, 1)) + 2440587.5 + (day - 1);
  return true;
}

/// Strips trailing blanks and CR.
std::string trimmed(const std::string& line) {
  size_t end = line.find_last_not_of(" \t\r");
  return end == std::string::npos ? "" : line.substr(0, end + 1);
}

bool is_element_line(const std::string& line, char number) {
  return line.size() >= 69 && line[0] == number && line[1] == ' ';
}

}  // namespace

void name_satellite(Satellite* s, const std::string& name) {
  s->name = name;
  s->key = lookup_key(name);
  s->first_key = lookup_key(name.substr(0, name.find_first_of(" (")));
}

double max_mean_motion() {
  return sqrt(sgp4::MU / (sgp4::RE * sgp4::RE * sgp4::RE)) * 86400 / (2 * sgp4::PI);
}

std::string propagation_error_line(const Satellite& satellite, Sgp4Error error, double time) {
  return "ERROR " + std::to_string(satellite.catalog) + ": " + sgp4_error_text(error) + " at " +
         format_time(time) + "\n";
}

double julian_date(double unix_time) {
  return unix_time / 86400.0 + 2440587.5;
}

double unix_time_of_jd(double jd) {
  return (jd - 2440587.5) * 86400.0;
}

bool tle_checksum_ok(const std::string& line) {
  if (line.size() < 69 || line[68] < '0' || line[68] > '9')
    return false;
  int sum = 0;
  for (size_t i = 0; i < 68; ++i) {
    if (line[i] >= '0' && line[i] <= '9')
      sum += line[i] - '0';
    else if (line[i] == '-')
      sum += 1;
  }
  return sum % 10 == line[68] - '0';
}

bool parse_element_set(const std::string& one, const std::string& two, Satellite* s,
                       std::string* reason) {
  int catalog1, catalog2;
  if (!catalog_field(one, &catalog1) || !catalog_field(two, &catalog2) || catalog1 != catalog2) {
    *reason = "catalogue numbers of the two lines differ or are unreadable";
    return false;
  }
  MeanElements e;
  if (!read_epoch(one, &e.epoch_jd, reason))
    return false;
  double ndot;
  if (!number_field(one, 34, 43, &ndot) || !exponent_field(one, 54, &e.bstar)) {
    *reason = "unreadable drag terms";
    return false;
  }
  const size_t columns[6][2] = {{9, 16}, {18, 25}, {27, 33}, {35, 42}, {44, 51}, {53, 63}};
  double v[6];
  for (int i = 0; i < 6; ++i) {
    bool digits_only = i != 2 || two.substr(26, 7).find_first_not_of("0123456789") == std::string::npos;
    if (!digits_only || !number_field(two, columns[i][0], columns[i][1], &v[i])) {
      *reason = "unreadable orbital element";
      return false;
    }
  }
  v[2] *= 1e-7;  // the eccentricity's point is implied before its seven digits
  const Ranged ranges[] = {
      {"inclination", v[0], 0, 180, true},          {"right ascension of the node", v[1], 0, 360, false},
      {"eccentricity", v[2], 0, 1, false},           {"argument of perigee", v[3], 0, 360, false},
      {"mean anomaly", v[4], 0, 360, false},         {"mean motion", v[5], 1e-12, max_mean_motion(), false},
  };
  if (!in_ranges(ranges, 6, reason))
    return false;
  s->catalog = catalog1;
  e.inclination = v[0] * DEG;
  e.node = v[1] * DEG;
  e.eccentricity = strtod(("0." + two.substr(26, 7)).c_str(), nullptr);
  e.perigee = v[3] * DEG;
  e.mean_anomaly = v[4] * DEG;
  e.mean_motion = v[5] / (1440.0 / (2 * sgp4::PI));
  s->epoch = unix_time_of_jd(e.epoch_jd);
  s->init_error = sgp4_init(e, &s->model);
  return true;
}

bool parse_catalogue(const std::string& text, const std::string& file,
                     std::vector<Satellite>* satellites, std::string* error) {
  std::istringstream in(text);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);)
    lines.push_back(trimmed(line));
  std::string name;
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    std::string where = file + ":" + std::to_string(i + 1) + ": ";
    if (line.empty())
      continue;
    if (!is_element_line(line, '1')) {
      if (line[0] == '2' && line.size() >= 69) {
        *error = where + "line 2 of an element set without its line 1";
        return false;
      }
      name = printable_excerpt(line, NAME_MAX_BYTES, false);
      continue;
    }
    if (i + 1 >= lines.size() || !is_element_line(lines[i + 1], '2')) {
      *error = where + "line 1 of an element set is not followed by its line 2";
      return false;
    }
    for (size_t k = i; k <= i + 1; ++k) {
      if (!tle_checksum_ok(lines[k])) {
        *error = file + ":" + std::to_string(k + 1) + ": bad checksum";
        return false;
      }
    }
    Satellite s;
    std::string reason;
    if (!parse_element_set(line, lines[i + 1], &s, &reason)) {
      *error = where + reason;
      return false;
    }
    name_satellite(&s, name.empty() ? "SAT " + std::to_string(s.catalog) : name);
    satellites->push_back(s);
    name.clear();
    ++i;
  }
  if (satellites->empty()) {
    *error = file + ": no element sets";
    return false;
  }
  return true;
}
