// SDP4's deep-space terms: the lunar-solar secular rates and long-period
// periodics of an orbit with a period of 225 minutes or more.
#ifndef ZENOTAR_SIM_SGP4_DEEP_H_
#define ZENOTAR_SIM_SGP4_DEEP_H_

#include "sim/sgp4.h"

/// Sets up the lunar-solar and resonance terms of a deep-space orbit.
void deep_space_init(Sgp4Model* model);

/// Adds the deep-space secular and resonance effects to mean.
void deep_space_secular(const Sgp4Model& model, double minutes, DeepMean* mean,
                        ResonanceCache* cache);

/// Adds the lunar-solar periodics at minutes to p.
void deep_space_periodics(const DeepSpace& ds, double minutes, Periodic* p);

#endif  // ZENOTAR_SIM_SGP4_DEEP_H_
