// The simulator's clock: simulated UTC that runs at real speed.
#ifndef ZENOTAR_SIM_CLOCK_H_
#define ZENOTAR_SIM_CLOCK_H_

/// The simulated UTC clock: it starts at start and runs at real speed.
struct SimClock {
  double start;       ///< Unix seconds shown at the first reading
  double real_start;  ///< monotonic seconds then
};

/// Starts the clock at time.
SimClock start_clock(double time);

/// The simulated Unix time now.
double clock_now(const SimClock& clock);

/// The monotonic time at which the clock shows time.
double monotonic_at(const SimClock& clock, double time);

/// Monotonic seconds.
double monotonic();

#endif  // ZENOTAR_SIM_CLOCK_H_
