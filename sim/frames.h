// From SGP4's inertial frame to what a ground station sees: sidereal time,
// Earth-fixed and geodetic coordinates (WGS-84), look angles.
#ifndef ZENOTAR_SIM_FRAMES_H_
#define ZENOTAR_SIM_FRAMES_H_

#include "sim/elements.h"

struct Vec3 {
  double x, y, z;
};

/// Latitude and longitude in degrees (longitude from -180 to 180), altitude in km.
struct Geodetic {
  double lat, lon, alt;
};

/// Azimuth and elevation in degrees, range in km.
struct LookAngles {
  double az, el, range;
};

/// Everything shown for one satellite at one time.
struct Position {
  double time;  ///< Unix seconds
  Vec3 ecef;    ///< km
  Geodetic point;
  LookAngles look;
};

/// Greenwich mean sidereal time (IAU-1982) in radians at Unix time (UTC as UT1).
double gmst(double time);

/// Turns a TEME position at time into Earth-fixed coordinates.
Vec3 teme_to_ecef(Vec3 teme, double time);

/// The Earth's rotation relative to the mean equinox, radians per second.
inline constexpr double EARTH_ROTATION = 7.29211585530e-5;

/// Turns a TEME velocity into the Earth-fixed frame, where the satellite is
/// at ecef (the Earth's rotation taken out).
Vec3 teme_velocity_to_ecef(Vec3 teme_velocity, Vec3 ecef, double time);

/// WGS-84 geodetic coordinates of an Earth-fixed point.
Geodetic ecef_to_geodetic(Vec3 ecef);

/// Earth-fixed point of WGS-84 geodetic coordinates.
Vec3 geodetic_to_ecef(Geodetic point);

/// Where the satellite at ecef appears from the station.
LookAngles look_angles(Geodetic station, Vec3 ecef);

/// The satellite's TEME state at Unix time; the integrator of a resonant
/// deep-space orbit starts from the satellite's nearest saved state.
Sgp4Error satellite_state(const Satellite& satellite, double time, StateVector* state);

/// True when an Earth-fixed point lies below the WGS-84 ellipsoid.
bool below_ground(Vec3 ecef);

/// The satellite's Earth-fixed position and velocity at time; SGP4_DECAYED
/// also where it would lie below the ground.
Sgp4Error earth_fixed_state(const Satellite& satellite, double time, Vec3* ecef, Vec3* velocity);

/// The sub-satellite point and the station's view at time, and the TEME
/// state where state is given; SGP4_DECAYED also where the point would lie
/// below the WGS-84 ellipsoid.
Sgp4Error locate(const Satellite& satellite, Geodetic station, double time, Position* position,
                 StateVector* state = nullptr);

#endif  // ZENOTAR_SIM_FRAMES_H_
