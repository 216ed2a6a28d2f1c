// The constants SGP4 is defined with: WGS-72, in Earth radii and minutes.
#ifndef ZENOTAR_SIM_SGP4_CONSTANTS_H_
#define ZENOTAR_SIM_SGP4_CONSTANTS_H_

#include <math.h>

namespace sgp4 {

inline constexpr double PI = 3.14159265358979323846;
inline constexpr double TWO_PI = 2 * PI;
inline constexpr double X2O3 = 2.0 / 3.0;
inline constexpr double MU = 398600.8;  ///< km^3/s^2
inline constexpr double RE = 6378.135;  ///< km
inline constexpr double J2 = 0.001082616;
inline constexpr double J3 = -0.00000253881;
inline constexpr double J4 = -0.00000165597;
inline constexpr double J3OJ2 = J3 / J2;
/// sqrt(GM) in Earth radii^1.5 per minute.
inline const double XKE = 60.0 / sqrt(RE * RE * RE / MU);
/// Earth's rotation relative to the stars at epoch, radians per minute.
inline constexpr double RPTIM = 4.37526908801129966e-3;

}  // namespace sgp4

#endif  // ZENOTAR_SIM_SGP4_CONSTANTS_H_
