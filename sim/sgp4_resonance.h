// The one-day and half-day resonances of deep-space orbits, integrated in
// steps of 720 minutes.
#ifndef ZENOTAR_SIM_SGP4_RESONANCE_H_
#define ZENOTAR_SIM_SGP4_RESONANCE_H_

#include "sim/sgp4.h"

/// Finds whether the orbit is near a resonance and sets up its terms.
void resonance_init(Sgp4Model* model);

/// Integrates the resonance to minutes after epoch: mean motion and anomaly.
void resonance_integrate(const Sgp4Model& model, double minutes, DeepMean* mean,
                         ResonanceCache* cache);

#endif  // ZENOTAR_SIM_SGP4_RESONANCE_H_
