// Setting SGP4 up from one element set: what it derives before it
// propagates, and the sidereal time it measures the epoch with.
#ifndef ZENOTAR_SIM_SGP4_INIT_H_
#define ZENOTAR_SIM_SGP4_INIT_H_

#include "sim/sgp4.h"

/// Derives model from elements and checks it at epoch; SGP4_OK when usable.
Sgp4Error sgp4_init(const MeanElements& elements, Sgp4Model* model);

/// Greenwich mean sidereal time (IAU-1982) in radians at a Julian date (UT1).
double gmst_of_jd(double jd);

#endif  // ZENOTAR_SIM_SGP4_INIT_H_
