// Passes of a satellite over the ground station: when it rises, culminates
// and sets, found by stepping as far as the satellite can move.
#ifndef ZENOTAR_SIM_PASSES_H_
#define ZENOTAR_SIM_PASSES_H_

#include <string>
#include <vector>

#include "sim/frames.h"

/// The lines of a pass search over [start, end]: one per pass, key=value
/// (rise, max, max_el, set; up_at_start or up_at_end where the pass is cut by
/// the window, and min, min_el when it is up the whole time); none when it
/// never rises. An ERROR line ends them where SGP4 gives no position.
/// Counts the propagations it made into *propagations when that is given.
std::vector<std::string> find_passes(const Satellite& satellite, Geodetic station, double start,
                                     double end, long* propagations = nullptr);

/// The fastest the satellite's height above any horizon plane can change,
/// km/s: its speed at perigee plus the Earth's rotation at apogee, with margin.
double horizon_rate_bound(const Satellite& satellite);

#endif  // ZENOTAR_SIM_PASSES_H_
