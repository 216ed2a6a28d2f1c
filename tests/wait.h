// Time in tests: the monotonic clock, and waits on a condition under a
// deadline generous enough for a loaded two-core machine or valgrind.
#ifndef ZENOTAR_TESTS_WAIT_H_
#define ZENOTAR_TESTS_WAIT_H_

#include <functional>

/// How long a test waits for a condition before it gives up.
inline constexpr double WAIT_SECONDS = 30;

/// Seconds on the monotonic clock.
double monotonic_seconds();

/// Waits until condition holds, looking again every few milliseconds; false
/// when it still does not after seconds.
bool wait_until(const std::function<bool()>& condition, double seconds = WAIT_SECONDS);

#endif  // ZENOTAR_TESTS_WAIT_H_
