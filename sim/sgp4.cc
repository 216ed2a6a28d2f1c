// SGP4's propagation, near-Earth and deep-space alike (sgp4_init.cc sets the
// model up; sgp4_deep.cc and sgp4_resonance.cc add the deep-space terms).

#include "sim/sgp4.h"


#include "sim/sgp4_constants.h"
#include "sim/sgp4_deep.h"

using namespace sgp4;

namespace {

/// The mean elements at minutes after epoch, with drag and secular gravity.
struct Secular {
  double am, em, inclm, nodem, argpm, mm, nm;
};

Sgp4Error secular_elements(const Sgp4Model& m, double t, Secular* s, ResonanceCache* cache) {
  const MeanElements& e = m.elements;
  double xmdf = e.mean_anomaly + m.mdot * t;
  double argpdf = e.perigee + m.argpdot * t;
  double nodedf = e.node + m.nodedot * t;
  double t2 = t * t;
  double tempa = 1 - m.cc1 * t, tempe = e.bstar * m.cc4 * t, templ = m.t2cof * t2;
  DeepMean d = {e.eccentricity, argpdf, e.inclination, xmdf, nodedf + m.nodecf * t2, m.no};
  if (!m.simple) {
    double delomg = m.omgcof * t;
    double delmtemp = 1 + m.eta * cos(xmdf);
    double delm = m.xmcof * (delmtemp * delmtemp * delmtemp - m.delmo);
    d.mm = xmdf + delomg + delm;
    d.argpm = argpdf - (delomg + delm);
    double t3 = t2 * t, t4 = t3 * t;
    tempa = tempa - m.d2 * t2 - m.d3 * t3 - m.d4 * t4;
    tempe = tempe + e.bstar * m.cc5 * (sin(d.mm) - m.sinmao);
    templ = templ + m.t3cof * t3 + t4 * (m.t4cof + t * m.t5cof);
  }
  if (m.deep)
    deep_space_secular(m, t, &d, cache);
  if (d.nm <= 0)
    return SGP4_BAD_MEAN_MOTION;
  s->am = pow(XKE / d.nm, X2O3) * tempa * tempa;
  s->nm = XKE / pow(s->am, 1.5);
  s->em = d.em - tempe;
  if (s->em >= 1 || s->em < -0.001)
    return SGP4_BAD_ECCENTRICITY;
  if (s->em < 1e-6)
    s->em = 1e-6;
  double mm = d.mm + m.no * templ;
  double xlm = mm + d.argpm + d.nodem;
  s->nodem = fmod(d.nodem, TWO_PI);
  s->argpm = fmod(d.argpm, TWO_PI);
  xlm = fmod(xlm, TWO_PI);
  s->mm = fmod(xlm - s->argpm - s->nodem, TWO_PI);
  s->inclm = d.inclm;
  return SGP4_OK;
}

/// Solves Kepler's equation in its equinoctial form for the eccentric
/// longitude; returns it, with its sine and cosine.
double solve_kepler(double u, double axnl, double aynl, double* sine, double* cose) {
  double eo1 = u, tem5 = 9999.9;
  for (int k = 1; fabs(tem5) >= 1e-12 && k <= 10; ++k) {
    *sine = sin(eo1);
    *cose = cos(eo1);
    tem5 = 1 - *cose * axnl - *sine * aynl;
    tem5 = (u - aynl * *cose + axnl * *sine - eo1) / tem5;
    if (fabs(tem5) >= 0.95)
      tem5 = tem5 > 0 ? 0.95 : -0.95;
    eo1 += tem5;
  }
  return eo1;
}

/// Turns the osculating radius, argument of latitude, node, inclination and
/// their rates into position and velocity.
void orient(double mrt, double su, double xnode, double xinc, double mvt, double rvdot,
            StateVector* state) {
  double sinsu = sin(su), cossu = cos(su), snod = sin(xnode), cnod = cos(xnode);
  double sini = sin(xinc), cosi = cos(xinc);
  double xmx = -snod * cosi, xmy = cnod * cosi;
  double u[3] = {xmx * sinsu + cnod * cossu, xmy * sinsu + snod * cossu, sini * sinsu};
  double v[3] = {xmx * cossu - cnod * sinsu, xmy * cossu - snod * sinsu, sini * cossu};
  const double km_per_second = RE * XKE / 60;
  for (int i = 0; i < 3; ++i) {
    state->r[i] = mrt * u[i] * RE;
    state->v[i] = (mvt * u[i] + rvdot * v[i]) * km_per_second;
  }
}

}  // namespace

Sgp4Error sgp4_propagate(const Sgp4Model& m, double t, StateVector* state,
                         ResonanceCache* cache) {
  Secular s;
  Sgp4Error error = secular_elements(m, t, &s, cache);
  if (error != SGP4_OK)
    return error;
  Periodic p = {s.em, s.inclm, s.nodem, s.argpm, s.mm};
  double aycof = m.aycof, xlcof = m.xlcof, con41 = m.con41, x1mth2 = m.x1mth2, x7thm1 = m.x7thm1;
  if (m.deep) {
    deep_space_periodics(m.ds, t, &p);
    if (p.inclp < 0) {
      p.inclp = -p.inclp;
      p.nodep += PI;
      p.argpp -= PI;
    }
    if (p.ep < 0 || p.ep > 1)
      return SGP4_BAD_PERTURBED_ECCENTRICITY;
    double sinip = sin(p.inclp), cosip = cos(p.inclp);
    aycof = -0.5 * J3OJ2 * sinip;
    double one_plus_cos = fabs(cosip + 1) > 1.5e-12 ? 1 + cosip : 1.5e-12;
    xlcof = -0.25 * J3OJ2 * sinip * (3 + 5 * cosip) / one_plus_cos;
    con41 = 3 * cosip * cosip - 1;
    x1mth2 = 1 - cosip * cosip;
    x7thm1 = 7 * cosip * cosip - 1;
  }
  // Long-period periodics, then Kepler's equation.
  double axnl = p.ep * cos(p.argpp);
  double temp = 1 / (s.am * (1 - p.ep * p.ep));
  double aynl = p.ep * sin(p.argpp) + temp * aycof;
  double xl = p.mp + p.argpp + p.nodep + temp * xlcof * axnl;
  double u = fmod(xl - p.nodep, TWO_PI);
  double sineo1 = 0, coseo1 = 0;
  solve_kepler(u, axnl, aynl, &sineo1, &coseo1);
  // Short-period preliminaries.
  double ecose = axnl * coseo1 + aynl * sineo1, esine = axnl * sineo1 - aynl * coseo1;
  double el2 = axnl * axnl + aynl * aynl;
  double pl = s.am * (1 - el2);
  if (pl < 0)
    return SGP4_NEGATIVE_SEMI_LATUS_RECTUM;
  double rl = s.am * (1 - ecose);
  double rdotl = sqrt(s.am) * esine / rl, rvdotl = sqrt(pl) / rl;
  double betal = sqrt(1 - el2);
  temp = esine / (1 + betal);
  double sinu = s.am / rl * (sineo1 - aynl - axnl * temp);
  double cosu = s.am / rl * (coseo1 - axnl + aynl * temp);
  double su = atan2(sinu, cosu);
  double sin2u = (cosu + cosu) * sinu, cos2u = 1 - 2 * sinu * sinu;
  temp = 1 / pl;
  double temp1 = 0.5 * J2 * temp, temp2 = temp1 * temp;
  // Short-period periodics.
  double cosip = cos(p.inclp), sinip = sin(p.inclp);
  double mrt = rl * (1 - 1.5 * temp2 * betal * con41) + 0.5 * temp1 * x1mth2 * cos2u;
  su -= 0.25 * temp2 * x7thm1 * sin2u;
  double xnode = p.nodep + 1.5 * temp2 * cosip * sin2u;
  double xinc = p.inclp + 1.5 * temp2 * cosip * sinip * cos2u;
  double mvt = rdotl - s.nm * temp1 * x1mth2 * sin2u / XKE;
  double rvdot = rvdotl + s.nm * temp1 * (x1mth2 * cos2u + 1.5 * con41) / XKE;
  orient(mrt, su, xnode, xinc, mvt, rvdot, state);
  return mrt < 1 ? SGP4_DECAYED : SGP4_OK;
}

const char* sgp4_error_text(Sgp4Error error) {
  switch (error) {
    case SGP4_OK:
      return "no error";
    case SGP4_BAD_ECCENTRICITY:
      return "mean eccentricity out of range";
    case SGP4_BAD_MEAN_MOTION:
      return "mean motion not above zero";
    case SGP4_BAD_PERTURBED_ECCENTRICITY:
      return "perturbed eccentricity out of range";
    case SGP4_NEGATIVE_SEMI_LATUS_RECTUM:
      return "semi-latus rectum below zero";
    case SGP4_DECAYED:
      return "decayed";
  }
  return "unknown error";
}
