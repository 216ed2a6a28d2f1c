// SGP4's set-up: from the mean elements of a set to the coefficients of its
// drag and gravity terms, and the deep-space terms for long periods.

#include "sim/sgp4_init.h"
#include "sim/sgp4_constants.h"
#include "sim/sgp4_deep.h"

using namespace sgp4;

namespace {

/// Quantities the set-up derives first and the later steps share.
struct Basics {
  double eccsq, omeosq, rteosq, cosio, cosio2, sinio, ao, posq, rp;
};

/// Recovers the un-Kozaied mean motion and semi-major axis from the element set.
Basics initial_quantities(Sgp4Model* m) {
  const MeanElements& e = m->elements;
  Basics b;
  b.eccsq = e.eccentricity * e.eccentricity;
  b.omeosq = 1 - b.eccsq;
  b.rteosq = sqrt(b.omeosq);
  b.cosio = cos(e.inclination);
  b.cosio2 = b.cosio * b.cosio;
  double ak = pow(XKE / e.mean_motion, X2O3);
  double d1 = 0.75 * J2 * (3 * b.cosio2 - 1) / (b.rteosq * b.omeosq);
  double del = d1 / (ak * ak);
  double adel = ak * (1 - del * del - del * (1.0 / 3.0 + 134 * del * del / 81.0));
  del = d1 / (adel * adel);
  m->no = e.mean_motion / (1 + del);
  b.ao = pow(XKE / m->no, X2O3);
  b.sinio = sin(e.inclination);
  double po = b.ao * b.omeosq;
  b.posq = po * po;
  b.rp = b.ao * (1 - e.eccentricity);
  m->con41 = -(1 - 5 * b.cosio2) - b.cosio2 - b.cosio2;  // 3 cos^2 i - 1
  m->gsto = gmst_of_jd(e.epoch_jd);
  return b;
}

/// The atmosphere's density parameters: s and (q0 - s)^4, lowered for low perigees.
void density_parameters(double rp, double* sfour, double* qzms24) {
  double perigee_km = (rp - 1) * RE;
  *sfour = 78 / RE + 1;
  *qzms24 = pow((120 - 78) / RE, 4);
  if (perigee_km < 156) {
    double s = perigee_km < 98 ? 20 : perigee_km - 78;
    *qzms24 = pow((120 - s) / RE, 4);
    *sfour = s / RE + 1;
  }
}

/// The drag coefficients C1 to C5 and the secular rates of gravity.
void near_earth_coefficients(Sgp4Model* m, const Basics& b, double sfour, double qzms24,
                             double* tsi_out) {
  const MeanElements& e = m->elements;
  double ecc = e.eccentricity, no = m->no, ao = b.ao;
  double pinvsq = 1 / b.posq;
  double tsi = 1 / (ao - sfour);
  m->eta = ao * ecc * tsi;
  double etasq = m->eta * m->eta, eeta = ecc * m->eta;
  double psisq = fabs(1 - etasq);
  double coef = qzms24 * pow(tsi, 4);
  double coef1 = coef / pow(psisq, 3.5);
  double cc2 = coef1 * no *
               (ao * (1 + 1.5 * etasq + eeta * (4 + etasq)) +
                0.375 * J2 * tsi / psisq * m->con41 * (8 + 3 * etasq * (8 + etasq)));
  m->cc1 = e.bstar * cc2;
  double cc3 = ecc > 1e-4 ? -2 * coef * tsi * J3OJ2 * no * b.sinio / ecc : 0;
  m->x1mth2 = 1 - b.cosio2;
  m->cc4 = 2 * no * coef1 * ao * b.omeosq *
           (m->eta * (2 + 0.5 * etasq) + ecc * (0.5 + 2 * etasq) -
            J2 * tsi / (ao * psisq) *
                (-3 * m->con41 * (1 - 2 * eeta + etasq * (1.5 - 0.5 * eeta)) +
                 0.75 * m->x1mth2 * (2 * etasq - eeta * (1 + etasq)) * cos(2 * e.perigee)));
  m->cc5 = 2 * coef1 * ao * b.omeosq * (1 + 2.75 * (etasq + eeta) + eeta * etasq);
  double cosio4 = b.cosio2 * b.cosio2;
  double temp1 = 1.5 * J2 * pinvsq * no;
  double temp2 = 0.5 * temp1 * J2 * pinvsq;
  double temp3 = -0.46875 * J4 * pinvsq * pinvsq * no;
  m->mdot = no + 0.5 * temp1 * b.rteosq * m->con41 +
            0.0625 * temp2 * b.rteosq * (13 - 78 * b.cosio2 + 137 * cosio4);
  m->argpdot = -0.5 * temp1 * (1 - 5 * b.cosio2) +
               0.0625 * temp2 * (7 - 114 * b.cosio2 + 395 * cosio4) +
               temp3 * (3 - 36 * b.cosio2 + 49 * cosio4);
  double xhdot1 = -temp1 * b.cosio;
  m->nodedot = xhdot1 + (0.5 * temp2 * (4 - 19 * b.cosio2) + 2 * temp3 * (3 - 7 * b.cosio2)) *
                            b.cosio;
  m->omgcof = e.bstar * cc3 * cos(e.perigee);
  m->xmcof = ecc > 1e-4 ? -X2O3 * coef * e.bstar / eeta : 0;
  m->nodecf = 3.5 * b.omeosq * xhdot1 * m->cc1;
  m->t2cof = 1.5 * m->cc1;
  // At an inclination of 180 degrees 1 + cos(i) vanishes; the model keeps it from zero.
  double one_plus_cos = fabs(b.cosio + 1) > 1.5e-12 ? 1 + b.cosio : 1.5e-12;
  m->xlcof = -0.25 * J3OJ2 * b.sinio * (3 + 5 * b.cosio) / one_plus_cos;
  m->aycof = -0.5 * J3OJ2 * b.sinio;
  m->delmo = pow(1 + m->eta * cos(e.mean_anomaly), 3);
  m->sinmao = sin(e.mean_anomaly);
  m->x7thm1 = 7 * b.cosio2 - 1;
  *tsi_out = tsi;
}

/// The higher-order drag terms, used where the perigee is above 220 km.
void drag_series(Sgp4Model* m, double ao, double tsi, double sfour) {
  double cc1sq = m->cc1 * m->cc1;
  m->d2 = 4 * ao * tsi * cc1sq;
  double temp = m->d2 * tsi * m->cc1 / 3;
  m->d3 = (17 * ao + sfour) * temp;
  m->d4 = 0.5 * temp * ao * tsi * (221 * ao + 31 * sfour) * m->cc1;
  m->t3cof = m->d2 + 2 * cc1sq;
  m->t4cof = 0.25 * (3 * m->d3 + m->cc1 * (12 * m->d2 + 10 * cc1sq));
  m->t5cof = 0.2 * (3 * m->d4 + 12 * m->cc1 * m->d3 + 6 * m->d2 * m->d2 +
                    15 * cc1sq * (2 * m->d2 + cc1sq));
}

}  // namespace

double gmst_of_jd(double jd) {
  double t = (jd - 2451545.0) / 36525.0;
  double seconds = -6.2e-6 * t * t * t + 0.093104 * t * t +
                   (876600.0 * 3600 + 8640184.812866) * t + 67310.54841;
  double angle = fmod(seconds * (PI / 180) / 240.0, TWO_PI);
  return angle < 0 ? angle + TWO_PI : angle;
}

Sgp4Error sgp4_init(const MeanElements& elements, Sgp4Model* model) {
  *model = Sgp4Model();
  model->elements = elements;
  if (!(elements.mean_motion > 0))
    return SGP4_BAD_MEAN_MOTION;
  if (!(elements.eccentricity >= 0 && elements.eccentricity < 1))
    return SGP4_BAD_ECCENTRICITY;
  Basics b = initial_quantities(model);
  model->simple = b.rp < 220 / RE + 1;
  double sfour, qzms24, tsi;
  density_parameters(b.rp, &sfour, &qzms24);
  near_earth_coefficients(model, b, sfour, qzms24, &tsi);
  if (TWO_PI / model->no >= 225) {
    model->deep = true;
    model->simple = true;
    deep_space_init(model);
  }
  if (!model->simple)
    drag_series(model, b.ao, tsi, sfour);
  StateVector state;
  ResonanceCache cache;
  return sgp4_propagate(*model, 0, &state, &cache);
}

