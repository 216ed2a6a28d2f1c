// Frames and look angles. The Earth-fixed frame is TEME turned by the mean
// sidereal time (polar motion neglected); geodetic coordinates use WGS-84.

#include "sim/frames.h"

#include <math.h>

#include "sim/sgp4_init.h"

namespace {

constexpr double PI = 3.14159265358979323846;
constexpr double DEG = PI / 180;
constexpr double WGS84_A = 6378.137;
constexpr double WGS84_F = 1 / 298.257223563;
constexpr double WGS84_E2 = WGS84_F * (2 - WGS84_F);

/// Resonance integrator states are saved every this many 720-minute steps.
constexpr long CHECKPOINT_STEPS = 8;

/// The saved integrator state nearest epoch-side of minutes, filling the
/// table up to it as needed.
ResonanceCache checkpoint_before(const Satellite& s, double minutes) {
  std::vector<ResonanceCache>& table = minutes >= 0 ? s.resonance.forward : s.resonance.backward;
  double direction = minutes >= 0 ? 1 : -1;
  long wanted = static_cast<long>(fabs(minutes) / (720.0 * CHECKPOINT_STEPS));
  if (table.empty())
    table.push_back(ResonanceCache());
  while (static_cast<long>(table.size()) <= wanted) {
    ResonanceCache next = table.back();
    StateVector ignored;
    double at = direction * 720.0 * CHECKPOINT_STEPS * static_cast<double>(table.size());
    sgp4_propagate(s.model, at, &ignored, &next);
    table.push_back(next);
  }
  return table[static_cast<size_t>(wanted)];
}

}  // namespace

double gmst(double time) {
  return gmst_of_jd(julian_date(time));
}

Vec3 teme_to_ecef(Vec3 teme, double time) {
  double theta = gmst(time);
  double c = cos(theta), s = sin(theta);
  return {c * teme.x + s * teme.y, -s * teme.x + c * teme.y, teme.z};
}

Vec3 teme_velocity_to_ecef(Vec3 v, Vec3 ecef, double time) {
  double theta = gmst(time);
  double c = cos(theta), s = sin(theta);
  return {c * v.x + s * v.y + EARTH_ROTATION * ecef.y, -s * v.x + c * v.y - EARTH_ROTATION * ecef.x,
          v.z};
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

Sgp4Error satellite_state(const Satellite& s, double time, StateVector* state) {
  double minutes = (time - s.epoch) / 60.0;
  if (s.init_error != SGP4_OK)
    return s.init_error;
  if (s.model.ds.resonance == 0)
    return sgp4_propagate(s.model, minutes, state, &s.resonance.running);
  ResonanceCache& running = s.resonance.running;
  bool reusable = running.atime != 0 && minutes * running.atime > 0 &&
                  fabs(minutes) >= fabs(running.atime) &&
                  fabs(minutes) - fabs(running.atime) < 720.0 * CHECKPOINT_STEPS;
  if (!reusable)
    running = checkpoint_before(s, minutes);
  return sgp4_propagate(s.model, minutes, state, &running);
}

bool below_ground(Vec3 p) {
  const double b2 = WGS84_A * WGS84_A * (1 - WGS84_E2);
  return !((p.x * p.x + p.y * p.y) / (WGS84_A * WGS84_A) + p.z * p.z / b2 >= 1);
}

Sgp4Error earth_fixed_state(const Satellite& satellite, double time, Vec3* ecef, Vec3* velocity) {
  StateVector state;
  Sgp4Error error = satellite_state(satellite, time, &state);
  if (error != SGP4_OK)
    return error;
  *ecef = teme_to_ecef({state.r[0], state.r[1], state.r[2]}, time);
  *velocity = teme_velocity_to_ecef({state.v[0], state.v[1], state.v[2]}, *ecef, time);
  return below_ground(*ecef) ? SGP4_DECAYED : SGP4_OK;
}

Sgp4Error locate(const Satellite& satellite, Geodetic station, double time, Position* p,
                 StateVector* state_out) {
  StateVector state;
  Sgp4Error error = satellite_state(satellite, time, &state);
  if (error != SGP4_OK)
    return error;
  if (state_out != nullptr)
    *state_out = state;
  p->time = time;
  p->ecef = teme_to_ecef({state.r[0], state.r[1], state.r[2]}, time);
  if (below_ground(p->ecef))
    return SGP4_DECAYED;
  p->point = ecef_to_geodetic(p->ecef);
  p->look = look_angles(station, p->ecef);
  return SGP4_OK;
}
