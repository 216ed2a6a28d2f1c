// The pass search. Visibility is the sign of f, the satellite's height above
// the station's horizon plane. Its rate f' comes with every position, and
// its acceleration is bounded by gravity at the Earth's surface plus the
// rotating frame's terms; so from any sample there is a step over which f
// cannot reach zero, and the search takes exactly that step. Far from the
// horizon the steps are long; near a crossing they close in on it like
// Newton's method. Crossings are then refined to a hundredth of a second,
// and culminations where the elevation's rate changes sign.

#include "sim/passes.h"

#include <math.h>
#include <stdio.h>

#include "sim/sgp4_constants.h"
#include "sim/text.h"

namespace {

constexpr double MIN_STEP = 1;       // s: a pass shorter than this may be missed
constexpr double MAX_UP_STEP = 900;  // s: samples of a long pass, for its extremes
constexpr double PRECISION = 0.01;   // s
/// A search gives up after this many propagations (a week of any orbit
/// takes 2,500 at most), so that no geometry can hold the server.
constexpr long MAX_EVALUATIONS = 10000;

double dot(Vec3 a, Vec3 b) {
  return a.x * b.x + a.y * b.y + a.z * b.z;
}

struct Sample {
  double t;
  double f, df;   ///< height above the horizon plane (km) and its rate (km/s)
  double el;      ///< elevation, degrees
  double rising;  ///< positive while the elevation grows
};

struct Search {
  const Satellite& satellite;
  Geodetic station;
  Vec3 origin, up;  ///< the station, and its vertical, Earth-fixed
  double accel;     ///< bound on |f''|, km/s^2
  long evaluations = 0;
  Sgp4Error error = SGP4_OK;
  double error_time = 0;
};

bool sample(Search* s, double t, Sample* out) {
  Vec3 ecef, velocity;
  ++s->evaluations;
  Sgp4Error error = earth_fixed_state(s->satellite, t, &ecef, &velocity);
  if (error != SGP4_OK) {
    s->error = error;
    s->error_time = t;
    return false;
  }
  Vec3 d = {ecef.x - s->origin.x, ecef.y - s->origin.y, ecef.z - s->origin.z};
  double f = dot(d, s->up), df = dot(velocity, s->up), range2 = dot(d, d);
  double el = asin(f / sqrt(range2)) * 180 / sgp4::PI;
  // d(el)/dt has the sign of d(f/|d|)/dt, that is of f'|d|^2 - f (d.v).
  *out = {t, f, df, el, df * range2 - f * dot(d, velocity)};
  return true;
}

/// The longest step from x over which f cannot reach zero.
double safe_step(const Sample& x, double accel) {
  double height = fabs(x.f);
  double toward = x.f > 0 ? -x.df : x.df;  // how fast f closes on zero
  return 2 * height / (toward + sqrt(toward * toward + 2 * accel * height));
}

/// The root of value (f, or the elevation's rate) between a and b, which
/// have opposite signs; by the Illinois method, returned as a sample.
Sample root(Search* s, Sample a, Sample b, double Sample::*value) {
  double va = a.*value, vb = b.*value;
  int side = 0;
  while (b.t - a.t > PRECISION) {
    double t = (a.t * vb - b.t * va) / (vb - va);
    if (!(t > a.t && t < b.t))
      t = (a.t + b.t) / 2;
    Sample m;
    if (!sample(s, t, &m))
      return a;
    if ((m.*value > 0) == (va > 0)) {
      a = m, va = m.*value;
      vb = side == -1 ? vb / 2 : vb;
      side = -1;
    } else {
      b = m, vb = m.*value;
      va = side == 1 ? va / 2 : va;
      side = 1;
    }
  }
  Sample middle;
  return sample(s, (a.t + b.t) / 2, &middle) ? middle : a;
}

/// Moves an extreme found from the model's velocity onto the extreme of its
/// positions, by successive parabolas through three samples: SGP4's velocity
/// is not quite the rate of its position, and a long pass is flat at the top.
Sample polish(Search* s, const Sample& guess, double low, double high, double sign) {
  double h = 4;
  Sample a, b = guess, c;
  if (guess.t - h < low || guess.t + h > high || !sample(s, guess.t - h, &a) ||
      !sample(s, guess.t + h, &c))
    return guess;
  for (int i = 0; i < 12; ++i) {
    double fa = sign * a.el, fb = sign * b.el, fc = sign * c.el;
    if (fa > fb || fc > fb) {  // the extreme lies beyond a or c: move that way
      bool left = fa > fb;
      Sample beyond;
      double t = left ? a.t - h : c.t + h;
      if (t < low || t > high || !sample(s, t, &beyond))
        return left ? a : c;
      if (left) {
        c = b, b = a, a = beyond;
      } else {
        a = b, b = c, c = beyond;
      }
      continue;
    }
    double p = (b.t - a.t) * (fb - fc), q = (b.t - c.t) * (fb - fa);
    double denominator = p - q;
    if (denominator == 0)
      return b;
    double t = b.t - 0.5 * ((b.t - a.t) * p - (b.t - c.t) * q) / denominator;
    if (fabs(t - b.t) < PRECISION || !(t > a.t && t < c.t))
      return b;
    Sample v;
    if (!sample(s, t, &v))
      return b;
    if (sign * v.el > fb)
      (t < b.t ? c : a) = b, b = v;
    else
      (t < b.t ? a : c) = v;
  }
  return b;
}

/// The extreme elevation between samples a and b: highest, or lowest where
/// sign is -1; at an end where the elevation does not turn between them.
Sample turning_point(Search* s, const Sample& a, const Sample& b, double sign) {
  if (!(sign * a.rising > 0))
    return a;
  if (!(sign * b.rising < 0))
    return b;
  return polish(s, root(s, a, b, &Sample::rising), a.t, b.t, sign);
}

/// The best sample of a pass so far (highest, or lowest) and the samples on
/// either side of it, which bracket the extreme.
struct Bracket {
  Sample left, best, right;
  bool right_known;
  double sign;
};

Bracket start_bracket(const Sample& first, double sign) {
  return {first, first, first, false, sign};
}

void extend(Bracket* b, const Sample& previous, const Sample& x) {
  if (b->sign * x.el > b->sign * b->best.el) {
    *b = {previous, x, x, false, b->sign};
  } else if (!b->right_known) {
    b->right = x;
    b->right_known = true;
  }
}

Sample extreme(Search* s, Bracket* b, const Sample& last) {
  if (!b->right_known)
    b->right = last;
  return b->sign * b->best.rising > 0 ? turning_point(s, b->best, b->right, b->sign)
                                      : turning_point(s, b->left, b->best, b->sign);
}

std::string event_time(double t) {
  return format_time(floor(t + 0.5));
}

/// One pass line; starts and ends at the window's edges say so.
std::string pass_line(Search* s, const Sample& rise, bool cut_at_start, const Sample& set,
                      bool cut_at_end, Bracket* high, Bracket* low) {
  Sample top = extreme(s, high, set);
  char text[256];
  snprintf(text, sizeof text, "%s=%s max=%s max_el=%.1f", cut_at_start ? "up_at_start" : "rise",
           event_time(rise.t).c_str(), event_time(top.t).c_str(), top.el);
  std::string line = text;
  if (cut_at_start && cut_at_end) {
    Sample bottom = extreme(s, low, set);
    snprintf(text, sizeof text, " min=%s min_el=%.1f", event_time(bottom.t).c_str(), bottom.el);
    line += text;
  }
  return line + (cut_at_end ? " up_at_end=" : " set=") + event_time(set.t) + "\n";
}

/// The first time in (good, bad] where the satellite has no position, to a second.
double first_failure(Search* s, double good, double bad) {
  Sgp4Error error = s->error;
  while (bad - good > 0.5) {
    double middle = (good + bad) / 2;
    Sample x;
    if (sample(s, middle, &x))
      good = middle;
    else
      bad = middle, error = s->error;
  }
  s->error = error;
  return ceil(bad);
}

/// Bound on the acceleration of f: gravity where the orbit comes closest
/// (never nearer than the Earth's radius), Coriolis at the fastest speed and
/// the centrifugal term at the farthest point, with margin for the model.
double acceleration_bound(const Satellite& satellite) {
  double a = pow(sgp4::XKE / satellite.model.no, sgp4::X2O3) * sgp4::RE;
  double e = satellite.model.elements.eccentricity;
  double nearest = fmax(sgp4::RE, 0.9 * a * (1 - e));
  double gravity = sgp4::MU / (nearest * nearest);
  return 1.2 * (gravity + 2 * EARTH_ROTATION * horizon_rate_bound(satellite) +
                EARTH_ROTATION * EARTH_ROTATION * a * (1 + e));
}

}  // namespace

double horizon_rate_bound(const Satellite& satellite) {
  double a = pow(sgp4::XKE / satellite.model.no, sgp4::X2O3) * sgp4::RE;
  double e = satellite.model.elements.eccentricity;
  double perigee_speed = sqrt(sgp4::MU / a * (1 + e) / (1 - e));
  return 1.1 * (perigee_speed + EARTH_ROTATION * a * (1 + e)) + 0.5;
}

std::vector<std::string> find_passes(const Satellite& satellite, Geodetic station, double start,
                                     double end, long* propagations) {
  const double lat = station.lat * sgp4::PI / 180, lon = station.lon * sgp4::PI / 180;
  Search s = {satellite, station, geodetic_to_ecef(station),
              {cos(lat) * cos(lon), cos(lat) * sin(lon), sin(lat)}, acceleration_bound(satellite)};
  std::vector<std::string> lines;
  Sample now;
  bool ok = sample(&s, start, &now);
  bool up = ok && now.f > 0, up_at_start = up;
  Sample rise = now;
  Bracket high = start_bracket(now, 1), low = start_bracket(now, -1);
  while (ok && now.t < end) {
    if (s.evaluations > MAX_EVALUATIONS) {
      lines.push_back("ERROR " + std::to_string(satellite.catalog) +
                      ": the pass search gave up at " + format_time(now.t) +
                      "; ask for fewer hours\n");
      break;
    }
    double step = fmax(safe_step(now, s.accel), MIN_STEP);
    step = fmin(up ? fmin(step, MAX_UP_STEP) : step, end - now.t);
    Sample next;
    if (!sample(&s, now.t + step, &next)) {
      s.error_time = first_failure(&s, now.t, now.t + step);
      ok = false;
      break;
    }
    if ((next.f > 0) != up) {
      Sample crossing = root(&s, now, next, &Sample::f);
      if (up) {
        lines.push_back(pass_line(&s, rise, up_at_start, crossing, false, &high, &low));
        up_at_start = false;
      } else {
        rise = crossing;
        high = start_bracket(crossing, 1);
        extend(&high, crossing, next);
      }
      up = !up;
    } else if (up) {
      extend(&high, now, next);
      extend(&low, now, next);
    }
    now = next;
  }
  if (ok && up && now.t >= end)
    lines.push_back(pass_line(&s, rise, up_at_start, now, true, &high, &low));
  if (!ok)
    lines.push_back(propagation_error_line(satellite, s.error, s.error_time));
  if (propagations != nullptr)
    *propagations = s.evaluations;
  return lines;
}
