// The simulated clock, read from the monotonic clock so that it never jumps.

#include "sim/clock.h"

#include <time.h>

double monotonic() {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

SimClock start_clock(double time) {
  return {time, monotonic()};
}

double clock_now(const SimClock& clock) {
  return clock.start + (monotonic() - clock.real_start);
}

double monotonic_at(const SimClock& clock, double time) {
  return clock.real_start + (time - clock.start);
}
