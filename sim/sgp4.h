// SGP4 and its deep-space extension SDP4: the orbit model two-line element
// sets are fitted to (Hoots and Roehrich, Spacetrack Report #3, 1980, as
// revised by Vallado, Crawford, Hujsak and Kelso, AIAA 2006-6753), with the
// WGS-72 constants and the 'improved' operation mode.
#ifndef ZENOTAR_SIM_SGP4_H_
#define ZENOTAR_SIM_SGP4_H_

/// The mean elements of one element set, in the units SGP4 works in.
struct MeanElements {
  double epoch_jd = 0;  ///< Julian date (UTC) of the epoch
  double bstar = 0;     ///< drag term, per Earth radius
  double inclination = 0, node = 0, eccentricity = 0, perigee = 0, mean_anomaly = 0;  ///< radians
  double mean_motion = 0;  ///< radians per minute, as the element set gives it
};

/// Why SGP4 gives no position, as the model numbers its errors.
enum Sgp4Error {
  SGP4_OK = 0,
  SGP4_BAD_ECCENTRICITY = 1,            ///< mean eccentricity outside 0 to 1
  SGP4_BAD_MEAN_MOTION = 2,             ///< mean motion at or below zero
  SGP4_BAD_PERTURBED_ECCENTRICITY = 3,  ///< perturbed eccentricity outside 0 to 1
  SGP4_NEGATIVE_SEMI_LATUS_RECTUM = 4,
  SGP4_DECAYED = 6,                     ///< the radius fell below the Earth's
};

/// Lunar-solar and resonance terms of an orbit with a period of 225 minutes or more.
struct DeepSpace {
  // Long-period lunar-solar periodics.
  double e3, ee2, se2, se3, sgh2, sgh3, sgh4, sh2, sh3, si2, si3, sl2, sl3, sl4;
  double xgh2, xgh3, xgh4, xh2, xh3, xi2, xi3, xl2, xl3, xl4, zmol, zmos;
  // Secular lunar-solar rates.
  double dedt, didt, dmdt, dnodt, domdt;
  // Resonance: 0 none, 1 one-day (synchronous), 2 half-day.
  int resonance;
  double d2201, d2211, d3210, d3222, d4410, d4422, d5220, d5232, d5421, d5433;
  double del1, del2, del3, xfact, xlamo;
};

/// Everything SGP4 derives from one element set before it propagates.
struct Sgp4Model {
  MeanElements elements;
  double no;  ///< un-Kozaied mean motion, radians per minute
  double gsto;  ///< Greenwich sidereal angle at epoch
  bool deep;    ///< SDP4: period of 225 minutes or more
  bool simple;  ///< perigee below 220 km: the drag series is cut short
  double aycof, con41, cc1, cc4, cc5, d2, d3, d4, delmo, eta, argpdot, omgcof, sinmao;
  double t2cof, t3cof, t4cof, t5cof, x1mth2, x7thm1, mdot, nodedot, xlcof, xmcof, nodecf;
  DeepSpace ds;
};

/// Where the resonance integrator of a deep-space orbit stands; propagations
/// that go on in the same direction in time reuse it instead of starting over.
struct ResonanceCache {
  double atime = 0, xli = 0, xni = 0;
};

/// Position (km) and velocity (km/s) in the true-equator mean-equinox frame.
struct StateVector {
  double r[3];
  double v[3];
};

/// Propagates to minutes after epoch; SGP4_OK with state, or the error.
Sgp4Error sgp4_propagate(const Sgp4Model& model, double minutes, StateVector* state,
                         ResonanceCache* cache);

/// A short English description of error.
const char* sgp4_error_text(Sgp4Error error);

/// Radius of the Earth in WGS-72, km, as SGP4 measures it.
inline constexpr double SGP4_EARTH_RADIUS_KM = 6378.135;

/// The mean elements a deep-space orbit drifts to by minutes after epoch.
struct DeepMean {
  double em, argpm, inclm, mm, nodem, nm;
};

/// The osculating angles after the long-period lunar-solar periodics.
struct Periodic {
  double ep, inclp, nodep, argpp, mp;
};

#endif  // ZENOTAR_SIM_SGP4_H_
