// SDP4: the deep-space part of SGP4 for periods of 225 minutes or more. The
// Sun and the Moon add secular drifts and long-period periodics; the
// resonances with the Earth's rotation are in sgp4_resonance.cc.


#include "sim/sgp4_deep.h"
#include "sim/sgp4_constants.h"
#include "sim/sgp4_resonance.h"

using namespace sgp4;

namespace {

constexpr double ZNS = 1.19459e-5, ZES = 0.01675;  // the Sun: mean motion, eccentricity
constexpr double ZNL = 1.5835218e-4, ZEL = 0.05490;  // the Moon

/// What one perturbing body (the Sun or the Moon) contributes, before the
/// coefficients are formed.
struct Body {
  double s1, s2, s3, s4, s5, s6, s7;
  double z1, z2, z3, z11, z12, z13, z21, z22, z23, z31, z32, z33;
};

/// The orbit's angles seen from a body's orbital plane, as sines and cosines.
struct BodyPlane {
  double cosg, sing, cosi, sini, cosh, sinh, cc;
};

/// The geometry of the orbit at epoch that both bodies share.
struct OrbitAtEpoch {
  double em, emsq, betasq, rtemsq, sinim, cosim, sinomm, cosomm, xnoi;
};

Body body_terms(const OrbitAtEpoch& o, const BodyPlane& b) {
  double a1 = b.cosg * b.cosh + b.sing * b.cosi * b.sinh;
  double a3 = -b.sing * b.cosh + b.cosg * b.cosi * b.sinh;
  double a7 = -b.cosg * b.sinh + b.sing * b.cosi * b.cosh;
  double a8 = b.sing * b.sini;
  double a9 = b.sing * b.sinh + b.cosg * b.cosi * b.cosh;
  double a10 = b.cosg * b.sini;
  double a2 = o.cosim * a7 + o.sinim * a8, a4 = o.cosim * a9 + o.sinim * a10;
  double a5 = -o.sinim * a7 + o.cosim * a8, a6 = -o.sinim * a9 + o.cosim * a10;
  double x1 = a1 * o.cosomm + a2 * o.sinomm, x2 = a3 * o.cosomm + a4 * o.sinomm;
  double x3 = -a1 * o.sinomm + a2 * o.cosomm, x4 = -a3 * o.sinomm + a4 * o.cosomm;
  double x5 = a5 * o.sinomm, x6 = a6 * o.sinomm, x7 = a5 * o.cosomm, x8 = a6 * o.cosomm;
  double emsq = o.emsq;
  Body t;
  t.z31 = 12 * x1 * x1 - 3 * x3 * x3;
  t.z32 = 24 * x1 * x2 - 6 * x3 * x4;
  t.z33 = 12 * x2 * x2 - 3 * x4 * x4;
  t.z1 = 3 * (a1 * a1 + a2 * a2) + t.z31 * emsq;
  t.z2 = 6 * (a1 * a3 + a2 * a4) + t.z32 * emsq;
  t.z3 = 3 * (a3 * a3 + a4 * a4) + t.z33 * emsq;
  t.z11 = -6 * a1 * a5 + emsq * (-24 * x1 * x7 - 6 * x3 * x5);
  t.z12 = -6 * (a1 * a6 + a3 * a5) + emsq * (-24 * (x2 * x7 + x1 * x8) - 6 * (x3 * x6 + x4 * x5));
  t.z13 = -6 * a3 * a6 + emsq * (-24 * x2 * x8 - 6 * x4 * x6);
  t.z21 = 6 * a2 * a5 + emsq * (24 * x1 * x5 - 6 * x3 * x7);
  t.z22 = 6 * (a4 * a5 + a2 * a6) + emsq * (24 * (x2 * x5 + x1 * x6) - 6 * (x4 * x7 + x3 * x8));
  t.z23 = 6 * a4 * a6 + emsq * (24 * x2 * x6 - 6 * x4 * x8);
  t.z1 = t.z1 + t.z1 + o.betasq * t.z31;
  t.z2 = t.z2 + t.z2 + o.betasq * t.z32;
  t.z3 = t.z3 + t.z3 + o.betasq * t.z33;
  t.s3 = b.cc * o.xnoi;
  t.s2 = -0.5 * t.s3 / o.rtemsq;
  t.s4 = t.s3 * o.rtemsq;
  t.s1 = -15 * o.em * t.s4;
  t.s5 = x1 * x3 + x2 * x4;
  t.s6 = x2 * x3 + x1 * x4;
  t.s7 = x2 * x4 - x1 * x3;
  return t;
}

/// The long-period coefficients of one body: e, i, l, g and h terms.
struct PeriodicCoefficients {
  double e2, e3, i2, i3, l2, l3, l4, gh2, gh3, gh4, h2, h3;
};

PeriodicCoefficients periodic_coefficients(const Body& b, double emsq, double ecc_of_body) {
  return {2 * b.s1 * b.s6,
          2 * b.s1 * b.s7,
          2 * b.s2 * b.z12,
          2 * b.s2 * (b.z13 - b.z11),
          -2 * b.s3 * b.z2,
          -2 * b.s3 * (b.z3 - b.z1),
          -2 * b.s3 * (-21 - 9 * emsq) * ecc_of_body,
          2 * b.s4 * b.z32,
          2 * b.s4 * (b.z33 - b.z31),
          -18 * b.s4 * ecc_of_body,
          -2 * b.s2 * b.z22,
          -2 * b.s2 * (b.z23 - b.z21)};
}

/// The lunar and solar terms at epoch (days since 1950 January 0.0).
void lunar_solar_terms(const Sgp4Model& m, double epoch, Body* sun, Body* moon, DeepSpace* ds) {
  const MeanElements& e = m.elements;
  OrbitAtEpoch o;
  o.em = e.eccentricity;
  o.emsq = o.em * o.em;
  o.betasq = 1 - o.emsq;
  o.rtemsq = sqrt(o.betasq);
  o.sinim = sin(e.inclination), o.cosim = cos(e.inclination);
  o.sinomm = sin(e.perigee), o.cosomm = cos(e.perigee);
  o.xnoi = 1 / m.no;
  double snodm = sin(e.node), cnodm = cos(e.node);
  // Where the Moon's orbit stands.
  double day = epoch + 18261.5;
  double xnodce = fmod(4.5236020 - 9.2422029e-4 * day, TWO_PI);
  double stem = sin(xnodce), ctem = cos(xnodce);
  double zcosil = 0.91375164 - 0.03568096 * ctem;
  double zsinil = sqrt(1 - zcosil * zcosil);
  double zsinhl = 0.089683511 * stem / zsinil;
  double zcoshl = sqrt(1 - zsinhl * zsinhl);
  double gam = 5.8351514 + 0.0019443680 * day;
  double zx = 0.39785416 * stem / zsinil;
  double zy = zcoshl * ctem + 0.91744867 * zsinhl * stem;
  zx = gam + atan2(zx, zy) - xnodce;
  BodyPlane solar = {0.1945905, -0.98088458, 0.91744867, 0.39785416, cnodm, snodm, 2.9864797e-6};
  BodyPlane lunar = {cos(zx), sin(zx), zcosil, zsinil, zcoshl * cnodm + zsinhl * snodm,
                     snodm * zcoshl - cnodm * zsinhl, 4.7968065e-7};
  *sun = body_terms(o, solar);
  *moon = body_terms(o, lunar);
  ds->zmol = fmod(4.7199672 + 0.22997150 * day - gam, TWO_PI);
  ds->zmos = fmod(6.2565837 + 0.017201977 * day, TWO_PI);
  PeriodicCoefficients s = periodic_coefficients(*sun, o.emsq, ZES);
  PeriodicCoefficients l = periodic_coefficients(*moon, o.emsq, ZEL);
  ds->se2 = s.e2, ds->se3 = s.e3, ds->si2 = s.i2, ds->si3 = s.i3;
  ds->sl2 = s.l2, ds->sl3 = s.l3, ds->sl4 = s.l4;
  ds->sgh2 = s.gh2, ds->sgh3 = s.gh3, ds->sgh4 = s.gh4, ds->sh2 = s.h2, ds->sh3 = s.h3;
  ds->ee2 = l.e2, ds->e3 = l.e3, ds->xi2 = l.i2, ds->xi3 = l.i3;
  ds->xl2 = l.l2, ds->xl3 = l.l3, ds->xl4 = l.l4;
  ds->xgh2 = l.gh2, ds->xgh3 = l.gh3, ds->xgh4 = l.gh4, ds->xh2 = l.h2, ds->xh3 = l.h3;
}

/// The secular rates the Sun and the Moon give e, i, node, perigee and mean anomaly.
void secular_rates(const Sgp4Model& m, const Body& sun, const Body& moon, DeepSpace* ds) {
  const MeanElements& e = m.elements;
  double emsq = e.eccentricity * e.eccentricity;
  double sinim = sin(e.inclination), cosim = cos(e.inclination);
  bool near_equatorial = e.inclination < 5.2359877e-2 || e.inclination > PI - 5.2359877e-2;
  double ses = sun.s1 * ZNS * sun.s5;
  double sis = sun.s2 * ZNS * (sun.z11 + sun.z13);
  double sls = -ZNS * sun.s3 * (sun.z1 + sun.z3 - 14 - 6 * emsq);
  double sghs = sun.s4 * ZNS * (sun.z31 + sun.z33 - 6);
  double shs = near_equatorial ? 0 : -ZNS * sun.s2 * (sun.z21 + sun.z23);
  if (sinim != 0)
    shs = shs / sinim;
  double sgs = sghs - cosim * shs;
  ds->dedt = ses + moon.s1 * ZNL * moon.s5;
  ds->didt = sis + moon.s2 * ZNL * (moon.z11 + moon.z13);
  ds->dmdt = sls - ZNL * moon.s3 * (moon.z1 + moon.z3 - 14 - 6 * emsq);
  double sghl = moon.s4 * ZNL * (moon.z31 + moon.z33 - 6);
  double shll = near_equatorial ? 0 : -ZNL * moon.s2 * (moon.z21 + moon.z23);
  ds->domdt = sgs + sghl;
  ds->dnodt = shs;
  if (sinim != 0) {
    ds->domdt = ds->domdt - cosim / sinim * shll;
    ds->dnodt = ds->dnodt + shll / sinim;
  }
}

/// One lunar-solar periodic: the Sun's or the Moon's share of de, di, dl, dg, dh.
void body_periodic(double zm, double zecc, double e2, double e3, double i2, double i3, double l2,
                   double l3, double l4, double gh2, double gh3, double gh4, double h2, double h3,
                   double out[5]) {
  double zf = zm + 2 * zecc * sin(zm);
  double sinzf = sin(zf);
  double f2 = 0.5 * sinzf * sinzf - 0.25;
  double f3 = -0.5 * sinzf * cos(zf);
  out[0] = e2 * f2 + e3 * f3;
  out[1] = i2 * f2 + i3 * f3;
  out[2] = l2 * f2 + l3 * f3 + l4 * sinzf;
  out[3] = gh2 * f2 + gh3 * f3 + gh4 * sinzf;
  out[4] = h2 * f2 + h3 * f3;
}

}  // namespace

void deep_space_init(Sgp4Model* m) {
  DeepSpace* ds = &m->ds;
  *ds = DeepSpace();
  Body sun, moon;
  lunar_solar_terms(*m, m->elements.epoch_jd - 2433281.5, &sun, &moon, ds);
  secular_rates(*m, sun, moon, ds);
  resonance_init(m);
}

void deep_space_secular(const Sgp4Model& m, double t, DeepMean* mean, ResonanceCache* cache) {
  const DeepSpace& d = m.ds;
  mean->em += d.dedt * t;
  mean->inclm += d.didt * t;
  mean->argpm += d.domdt * t;
  mean->nodem += d.dnodt * t;
  mean->mm += d.dmdt * t;
  if (d.resonance != 0)
    resonance_integrate(m, t, mean, cache);
}

void deep_space_periodics(const DeepSpace& d, double t, Periodic* p) {
  double sun[5], moon[5];
  body_periodic(d.zmos + ZNS * t, ZES, d.se2, d.se3, d.si2, d.si3, d.sl2, d.sl3, d.sl4, d.sgh2,
                d.sgh3, d.sgh4, d.sh2, d.sh3, sun);
  body_periodic(d.zmol + ZNL * t, ZEL, d.ee2, d.e3, d.xi2, d.xi3, d.xl2, d.xl3, d.xl4, d.xgh2,
                d.xgh3, d.xgh4, d.xh2, d.xh3, moon);
  double pe = sun[0] + moon[0], pinc = sun[1] + moon[1], pl = sun[2] + moon[2];
  double pgh = sun[3] + moon[3], ph = sun[4] + moon[4];
  p->inclp += pinc;
  p->ep += pe;
  double sinip = sin(p->inclp), cosip = cos(p->inclp);
  if (p->inclp >= 0.2) {
    ph = ph / sinip;
    pgh = pgh - cosip * ph;
    p->argpp += pgh;
    p->nodep += ph;
    p->mp += pl;
    return;
  }
  // Low inclination: apply the periodics to the node through the
  // equinoctial elements (Lyddane), keeping the node on its branch.
  double sinop = sin(p->nodep), cosop = cos(p->nodep);
  double alfdp = sinip * sinop + (ph * cosop + pinc * cosip * sinop);
  double betdp = sinip * cosop + (-ph * sinop + pinc * cosip * cosop);
  p->nodep = fmod(p->nodep, TWO_PI);
  double xls = p->mp + p->argpp + cosip * p->nodep;
  double dls = pl + pgh - pinc * p->nodep * sinip;
  xls += dls;
  double xnoh = p->nodep;
  p->nodep = atan2(alfdp, betdp);
  if (fabs(xnoh - p->nodep) > PI)
    p->nodep += p->nodep < xnoh ? TWO_PI : -TWO_PI;
  p->mp += pl;
  p->argpp = xls - p->mp - cosip * p->nodep;
}
