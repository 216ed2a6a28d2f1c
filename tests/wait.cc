#include "tests/wait.h"

#include <time.h>
#include <unistd.h>

double monotonic_seconds() {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

bool wait_until(const std::function<bool()>& condition, double seconds) {
  double deadline = monotonic_seconds() + seconds;
  useconds_t pause = 1000;
  while (!condition()) {
    if (monotonic_seconds() >= deadline)
      return false;
    usleep(pause);
    if (pause < 50 * 1000)
      pause *= 2;
  }
  return true;
}
