// Orbit propagation: Kepler motion on the mean elements, with the node,
// perigee and mean anomaly drifting at the secular rates that Earth's
// oblateness (J2, J4) gives them. Constants are those of WGS-72, which
// two-line elements are fitted with; geodetic output uses WGS-84.

#include "sim/orbit.h"

#include <math.h>
#include <stdlib.h>

#include <sstream>

namespace {

constexpr double PI = 3.14159265358979323846;
constexpr double TWO_PI = 2 * PI;
constexpr double DEG = PI / 180;
constexpr double MINUTES_PER_DAY = 1440;

// WGS-72, as element sets assume.
constexpr double EARTH_RADIUS_KM = 6378.135;
constexpr double MU = 398600.8;  // km^3/s^2
constexpr double J2 = 0.001082616;
constexpr double J4 = -0.00000165597;
const double XKE = 60.0 / sqrt(EARTH_RADIUS_KM * EARTH_RADIUS_KM * EARTH_RADIUS_KM / MU);

// WGS-84, for latitude and altitude.
constexpr double WGS84_A = 6378.137;
constexpr double WGS84_F = 1 / 298.257223563;
constexpr double WGS84_E2 = WGS84_F * (2 - WGS84_F);

/// Days from 1970-01-01 to the civil date (proleptic Gregorian).
long days_from_civil(long y, unsigned m, unsigned d) {
  y -= m <= 2;
  long era = (y >= 0 ? y : y - 399) / 400;
  unsigned yoe = static_cast<unsigned>(y - era * 400);
  unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<long>(doe) - 719468;
}

/// Reads columns [from, to] (1-based, inclusive) of line as a number.
bool field(const std::string& line, size_t from, size_t to, double* value) {
  std::string text = line.substr(from - 1, to - from + 1);
  char* end = nullptr;
  *value = strtod(text.c_str(), &end);
  while (*end == ' ')
    ++end;
  return end != text.c_str() && *end == '\0';
}

/// Derives the un-Kozaied mean motion, the semi-major axis and the secular rates.
void derive_rates(Satellite* s) {
  double cosio = cos(s->inclination), cosio2 = cosio * cosio, cosio4 = cosio2 * cosio2;
  double omeosq = 1 - s->eccentricity * s->eccentricity;
  double rteosq = sqrt(omeosq);
  double ak = pow(XKE / s->mean_motion, 2.0 / 3.0);
  double d1 = 0.75 * J2 * (3 * cosio2 - 1) / (rteosq * omeosq);
  double del = d1 / (ak * ak);
  double adel = ak * (1 - del * del - del * (1.0 / 3.0 + 134 * del * del / 81));
  del = d1 / (adel * adel);
  double n = s->mean_motion / (1 + del);
  double a = pow(XKE / n, 2.0 / 3.0);
  s->mean_motion = n;
  s->semi_major_axis = a;

  double pinvsq = 1 / (a * a * omeosq * omeosq);
  double temp1 = 1.5 * J2 * pinvsq * n;
  double temp2 = 0.5 * temp1 * J2 * pinvsq;
  double temp3 = -0.46875 * J4 * pinvsq * pinvsq * n;
  s->anomaly_rate = n + 0.5 * temp1 * rteosq * (3 * cosio2 - 1) +
                    0.0625 * temp2 * rteosq * (13 - 78 * cosio2 + 137 * cosio4);
  s->perigee_rate = -0.5 * temp1 * (1 - 5 * cosio2) +
                    0.0625 * temp2 * (7 - 114 * cosio2 + 395 * cosio4) +
                    temp3 * (3 - 36 * cosio2 + 49 * cosio4);
  s->node_rate = -temp1 * cosio +
                 (0.5 * temp2 * (4 - 19 * cosio2) + 2 * temp3 * (3 - 7 * cosio2)) * cosio;
}

/// Reads one element set from its two lines; false with reason on a fault.
bool parse_pair(const std::string& one, const std::string& two, Satellite* s,
                std::string* reason) {
  double catalog1, catalog2, year, day, values[6];
  if (!field(one, 3, 7, &catalog1) || !field(two, 3, 7, &catalog2) || catalog1 != catalog2) {
    *reason = "catalogue numbers of the two lines differ or are unreadable";
    return false;
  }
  if (!field(one, 19, 20, &year) || !field(one, 21, 32, &day)) {
    *reason = "unreadable epoch";
    return false;
  }
  const size_t columns[6][2] = {{9, 16}, {18, 25}, {27, 33}, {35, 42}, {44, 51}, {53, 63}};
  for (int i = 0; i < 6; ++i) {
    if (!field(two, columns[i][0], columns[i][1], &values[i])) {
      *reason = "unreadable orbital element";
      return false;
    }
  }
  s->catalog = static_cast<int>(catalog1);
  int full_year = year < 57 ? 2000 + static_cast<int>(year) : 1900 + static_cast<int>(year);
  s->epoch = (static_cast<double>(days_from_civil(full_year, 1, 1)) + day - 1) * 86400.0;
  s->inclination = values[0] * DEG;
  s->node = values[1] * DEG;
  s->eccentricity = values[2] * 1e-7;
  s->perigee = values[3] * DEG;
  s->mean_anomaly = values[4] * DEG;
  s->mean_motion = values[5] * TWO_PI / MINUTES_PER_DAY;
  if (s->mean_motion <= 0 || s->eccentricity >= 1) {
    *reason = "not a closed orbit";
    return false;
  }
  derive_rates(s);
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
      name = line.size() > 64 ? line.substr(0, 64) : line;
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
    if (!parse_pair(line, lines[i + 1], &s, &reason)) {
      *error = where + reason;
      return false;
    }
    s.name = name.empty() ? "SAT " + std::to_string(s.catalog) : name;
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

Vec3 position_teme(const Satellite& s, double time) {
  double minutes = (time - s.epoch) / 60.0;
  double node = s.node + s.node_rate * minutes;
  double perigee = s.perigee + s.perigee_rate * minutes;
  double mean = fmod(s.mean_anomaly + s.anomaly_rate * minutes, TWO_PI);
  double e = s.eccentricity;
  double ecc_anomaly = mean;
  for (int i = 0; i < 20; ++i) {
    double step = (ecc_anomaly - e * sin(ecc_anomaly) - mean) / (1 - e * cos(ecc_anomaly));
    ecc_anomaly -= step;
    if (fabs(step) < 1e-12)
      break;
  }
  double radius = s.semi_major_axis * (1 - e * cos(ecc_anomaly)) * EARTH_RADIUS_KM;
  double true_anomaly =
      atan2(sqrt(1 - e * e) * sin(ecc_anomaly), cos(ecc_anomaly) - e);
  double u = perigee + true_anomaly;
  double cn = cos(node), sn = sin(node), cu = cos(u), su = sin(u), ci = cos(s.inclination),
         si = sin(s.inclination);
  return {radius * (cn * cu - sn * su * ci), radius * (sn * cu + cn * su * ci), radius * su * si};
}

double gmst(double time) {
  double jd = time / 86400.0 + 2440587.5;
  double t = (jd - 2451545.0) / 36525.0;
  double seconds = -6.2e-6 * t * t * t + 0.093104 * t * t +
                   (876600.0 * 3600 + 8640184.812866) * t + 67310.54841;
  double angle = fmod(seconds * DEG / 240.0, TWO_PI);
  return angle < 0 ? angle + TWO_PI : angle;
}

Vec3 teme_to_ecef(Vec3 teme, double time) {
  double theta = gmst(time);
  double c = cos(theta), s = sin(theta);
  return {c * teme.x + s * teme.y, -s * teme.x + c * teme.y, teme.z};
}

Geodetic ecef_to_geodetic(Vec3 p) {
  double lon = atan2(p.y, p.x);
  double rho = sqrt(p.x * p.x + p.y * p.y);
  double lat = atan2(p.z, rho * (1 - WGS84_E2));
  double n = WGS84_A;
  for (int i = 0; i < 10; ++i) {
    double sl = sin(lat);
    n = WGS84_A / sqrt(1 - WGS84_E2 * sl * sl);
    lat = atan2(p.z + n * WGS84_E2 * sl, rho);
  }
  double sl = sin(lat), cl = cos(lat);
  n = WGS84_A / sqrt(1 - WGS84_E2 * sl * sl);
  double alt = fabs(cl) > 1e-9 ? rho / cl - n : fabs(p.z) - n * (1 - WGS84_E2);
  return {lat / DEG, lon / DEG, alt};
}

Vec3 geodetic_to_ecef(Geodetic g) {
  double lat = g.lat * DEG, lon = g.lon * DEG;
  double sl = sin(lat), cl = cos(lat);
  double n = WGS84_A / sqrt(1 - WGS84_E2 * sl * sl);
  return {(n + g.alt) * cl * cos(lon), (n + g.alt) * cl * sin(lon),
          (n * (1 - WGS84_E2) + g.alt) * sl};
}

LookAngles look_angles(Geodetic station, Vec3 ecef) {
  Vec3 origin = geodetic_to_ecef(station);
  double dx = ecef.x - origin.x, dy = ecef.y - origin.y, dz = ecef.z - origin.z;
  double lat = station.lat * DEG, lon = station.lon * DEG;
  double sl = sin(lat), cl = cos(lat), so = sin(lon), co = cos(lon);
  double east = -so * dx + co * dy;
  double north = -sl * co * dx - sl * so * dy + cl * dz;
  double up = cl * co * dx + cl * so * dy + sl * dz;
  double range = sqrt(dx * dx + dy * dy + dz * dz);
  double az = fmod(atan2(east, north) / DEG + 360, 360);  // from 0 up to, not including, 360
  return {az, asin(up / range) / DEG, range};
}

Position locate(const Satellite& satellite, Geodetic station, double time) {
  Vec3 ecef = teme_to_ecef(position_teme(satellite, time), time);
  return {time, ecef_to_geodetic(ecef), look_angles(station, ecef)};
}
