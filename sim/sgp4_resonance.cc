// SDP4's resonances: orbits near the one-day (geostationary) and half-day
// (Molniya, GPS) periods feel the Earth's tesseral harmonics, whose effect
// on the mean motion and longitude is integrated from epoch in 720-minute
// steps.

#include "sim/sgp4_resonance.h"
#include "sim/sgp4_constants.h"

using namespace sgp4;

namespace {

/// The eccentricity functions G of the half-day resonance.
struct HalfDayG {
  double g201, g211, g310, g322, g410, g422, g520, g521, g532, g533;
};

HalfDayG half_day_g(double em) {
  double emsq = em * em, eoc = em * emsq;
  HalfDayG g;
  g.g201 = -0.306 - (em - 0.64) * 0.440;
  if (em <= 0.65) {
    g.g211 = 3.616 - 13.2470 * em + 16.2900 * emsq;
    g.g310 = -19.302 + 117.3900 * em - 228.4190 * emsq + 156.5910 * eoc;
    g.g322 = -18.9068 + 109.7927 * em - 214.6334 * emsq + 146.5816 * eoc;
    g.g410 = -41.122 + 242.6940 * em - 471.0940 * emsq + 313.9530 * eoc;
    g.g422 = -146.407 + 841.8800 * em - 1629.014 * emsq + 1083.4350 * eoc;
    g.g520 = -532.114 + 3017.977 * em - 5740.032 * emsq + 3708.2760 * eoc;
  } else {
    g.g211 = -72.099 + 331.819 * em - 508.738 * emsq + 266.724 * eoc;
    g.g310 = -346.844 + 1582.851 * em - 2415.925 * emsq + 1246.113 * eoc;
    g.g322 = -342.585 + 1554.908 * em - 2366.899 * emsq + 1215.972 * eoc;
    g.g410 = -1052.797 + 4758.686 * em - 7193.992 * emsq + 3651.957 * eoc;
    g.g422 = -3581.690 + 16178.110 * em - 24462.770 * emsq + 12422.520 * eoc;
    g.g520 = em > 0.715 ? -5149.66 + 29936.92 * em - 54087.36 * emsq + 31324.56 * eoc
                        : 1464.74 - 4664.75 * em + 3763.64 * emsq;
  }
  if (em < 0.7) {
    g.g533 = -919.22770 + 4988.6100 * em - 9064.7700 * emsq + 5542.21 * eoc;
    g.g521 = -822.71072 + 4568.6173 * em - 8491.4146 * emsq + 5337.524 * eoc;
    g.g532 = -853.66600 + 4690.2500 * em - 8624.7700 * emsq + 5341.4 * eoc;
  } else {
    g.g533 = -37995.780 + 161616.52 * em - 229838.20 * emsq + 109377.94 * eoc;
    g.g521 = -51752.104 + 218913.95 * em - 309468.16 * emsq + 146349.42 * eoc;
    g.g532 = -40023.880 + 170470.89 * em - 242699.48 * emsq + 115605.82 * eoc;
  }
  return g;
}

/// The half-day resonance terms (Molniya and GPS-like orbits).
void half_day_terms(const Sgp4Model& m, double aonv, double theta, DeepSpace* ds) {
  const MeanElements& e = m.elements;
  double cosim = cos(e.inclination), sinim = sin(e.inclination);
  double cosisq = cosim * cosim, sini2 = sinim * sinim;
  HalfDayG g = half_day_g(e.eccentricity);
  double f220 = 0.75 * (1 + 2 * cosim + cosisq);
  double f221 = 1.5 * sini2;
  double f321 = 1.875 * sinim * (1 - 2 * cosim - 3 * cosisq);
  double f322 = -1.875 * sinim * (1 + 2 * cosim - 3 * cosisq);
  double f441 = 35 * sini2 * f220;
  double f442 = 39.3750 * sini2 * sini2;
  double f522 = 9.84375 * sinim *
                (sini2 * (1 - 2 * cosim - 5 * cosisq) + 0.33333333 * (-2 + 4 * cosim + 6 * cosisq));
  double f523 = sinim * (4.92187512 * sini2 * (-2 - 4 * cosim + 10 * cosisq) +
                         6.56250012 * (1 + 2 * cosim - 3 * cosisq));
  double f542 = 29.53125 * sinim * (2 - 8 * cosim + cosisq * (-12 + 8 * cosim + 10 * cosisq));
  double f543 = 29.53125 * sinim * (-2 - 8 * cosim + cosisq * (12 + 8 * cosim - 10 * cosisq));
  double temp1 = 3 * m.no * m.no * aonv * aonv;
  double temp = temp1 * 1.7891679e-6;
  ds->d2201 = temp * f220 * g.g201;
  ds->d2211 = temp * f221 * g.g211;
  temp1 *= aonv;
  temp = temp1 * 3.7393792e-7;
  ds->d3210 = temp * f321 * g.g310;
  ds->d3222 = temp * f322 * g.g322;
  temp1 *= aonv;
  temp = 2 * temp1 * 7.3636953e-9;
  ds->d4410 = temp * f441 * g.g410;
  ds->d4422 = temp * f442 * g.g422;
  temp1 *= aonv;
  temp = temp1 * 1.1428639e-7;
  ds->d5220 = temp * f522 * g.g520;
  ds->d5232 = temp * f523 * g.g532;
  temp = 2 * temp1 * 2.1765803e-9;
  ds->d5421 = temp * f542 * g.g521;
  ds->d5433 = temp * f543 * g.g533;
  ds->xlamo = fmod(e.mean_anomaly + e.node + e.node - theta - theta, TWO_PI);
  ds->xfact = m.mdot + ds->dmdt + 2 * (m.nodedot + ds->dnodt - RPTIM) - m.no;
}

/// The one-day resonance terms (geostationary orbits).
void one_day_terms(const Sgp4Model& m, double aonv, double theta, DeepSpace* ds) {
  const MeanElements& e = m.elements;
  double cosim = cos(e.inclination), sinim = sin(e.inclination);
  double emsq = e.eccentricity * e.eccentricity;
  double g200 = 1 + emsq * (-2.5 + 0.8125 * emsq);
  double g310 = 1 + 2 * emsq;
  double g300 = 1 + emsq * (-6 + 6.60937 * emsq);
  double f220 = 0.75 * (1 + cosim) * (1 + cosim);
  double f311 = 0.9375 * sinim * sinim * (1 + 3 * cosim) - 0.75 * (1 + cosim);
  double f330 = 1 + cosim;
  f330 = 1.875 * f330 * f330 * f330;
  double del1 = 3 * m.no * m.no * aonv * aonv;
  ds->del2 = 2 * del1 * f220 * g200 * 1.7891679e-6;
  ds->del3 = 3 * del1 * f330 * g300 * 2.2123015e-7 * aonv;
  ds->del1 = del1 * f311 * g310 * 2.1460748e-6 * aonv;
  ds->xlamo = fmod(e.mean_anomaly + e.node + e.perigee - theta, TWO_PI);
  ds->xfact = m.mdot + (m.argpdot + m.nodedot) - RPTIM + ds->dmdt + ds->domdt + ds->dnodt - m.no;
}

/// The rates of the resonance integrator at its current state.
struct ResonanceRates {
  double xndt, xldot, xnddt;
};

ResonanceRates resonance_rates(const Sgp4Model& m, const ResonanceCache& c) {
  const DeepSpace& d = m.ds;
  ResonanceRates r;
  r.xldot = c.xni + d.xfact;
  double xli = c.xli;
  if (d.resonance != 2) {
    const double fasx2 = 0.13130908, fasx4 = 2.8843198, fasx6 = 0.37448087;
    r.xndt = d.del1 * sin(xli - fasx2) + d.del2 * sin(2 * (xli - fasx4)) +
             d.del3 * sin(3 * (xli - fasx6));
    r.xnddt = d.del1 * cos(xli - fasx2) + 2 * d.del2 * cos(2 * (xli - fasx4)) +
              3 * d.del3 * cos(3 * (xli - fasx6));
  } else {
    const double g22 = 5.7686396, g32 = 0.95240898, g44 = 1.8014998, g52 = 1.0508330,
                 g54 = 4.4108898;
    double xomi = m.elements.perigee + m.argpdot * c.atime;
    double x2omi = xomi + xomi, x2li = xli + xli;
    r.xndt = d.d2201 * sin(x2omi + xli - g22) + d.d2211 * sin(xli - g22) +
             d.d3210 * sin(xomi + xli - g32) + d.d3222 * sin(-xomi + xli - g32) +
             d.d4410 * sin(x2omi + x2li - g44) + d.d4422 * sin(x2li - g44) +
             d.d5220 * sin(xomi + xli - g52) + d.d5232 * sin(-xomi + xli - g52) +
             d.d5421 * sin(xomi + x2li - g54) + d.d5433 * sin(-xomi + x2li - g54);
    r.xnddt = d.d2201 * cos(x2omi + xli - g22) + d.d2211 * cos(xli - g22) +
              d.d3210 * cos(xomi + xli - g32) + d.d3222 * cos(-xomi + xli - g32) +
              d.d5220 * cos(xomi + xli - g52) + d.d5232 * cos(-xomi + xli - g52) +
              2 * (d.d4410 * cos(x2omi + x2li - g44) + d.d4422 * cos(x2li - g44) +
                   d.d5421 * cos(xomi + x2li - g54) + d.d5433 * cos(-xomi + x2li - g54));
  }
  r.xnddt *= r.xldot;
  return r;
}

}  // namespace

void resonance_init(Sgp4Model* m) {
  DeepSpace* ds = &m->ds;
  double nm = m->no, em = m->elements.eccentricity;
  if (nm < 0.0052359877 && nm > 0.0034906585)
    ds->resonance = 1;
  if (nm >= 8.26e-3 && nm <= 9.24e-3 && em >= 0.5)
    ds->resonance = 2;
  if (ds->resonance == 0)
    return;
  double aonv = pow(nm / XKE, X2O3);
  double theta = fmod(m->gsto, TWO_PI);
  if (ds->resonance == 2)
    half_day_terms(*m, aonv, theta, ds);
  else
    one_day_terms(*m, aonv, theta, ds);
}

void resonance_integrate(const Sgp4Model& m, double t, DeepMean* mean, ResonanceCache* cache) {
  const DeepSpace& d = m.ds;
  // Euler-Maclaurin integration from epoch in 720-minute steps; a cache
  // further from epoch in the same direction is where this one goes on from.
  ResonanceCache& c = *cache;
  if (c.atime == 0 || t * c.atime <= 0 || fabs(t) < fabs(c.atime)) {
    c.atime = 0;
    c.xni = m.no;
    c.xli = d.xlamo;
  }
  const double step = t > 0 ? 720 : -720, step2 = 259200;
  ResonanceRates r = resonance_rates(m, c);
  while (fabs(t - c.atime) >= 720) {
    c.xli += r.xldot * step + r.xndt * step2;
    c.xni += r.xndt * step + r.xnddt * step2;
    c.atime += step;
    r = resonance_rates(m, c);
  }
  double ft = t - c.atime;
  double nm = c.xni + r.xndt * ft + r.xnddt * ft * ft * 0.5;
  double xl = c.xli + r.xldot * ft + r.xndt * ft * ft * 0.5;
  double theta = fmod(m.gsto + t * RPTIM, TWO_PI);
  if (d.resonance != 1)
    mean->mm = xl - 2 * mean->nodem + 2 * theta;
  else
    mean->mm = xl - mean->nodem - mean->argpm + theta;
  mean->nm = m.no + (nm - m.no);
}
