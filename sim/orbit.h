// Orbits from two-line element sets: parsing, propagation with the secular
// J2 drift of the node, perigee and mean anomaly, and the geometry that turns
// a position into what a ground station sees.
#ifndef ZENOTAR_SIM_ORBIT_H_
#define ZENOTAR_SIM_ORBIT_H_

#include <string>
#include <vector>

/// One satellite's mean elements, as read from its two lines, with the
/// secular rates derived from them. Angles in radians, times in minutes.
struct Satellite {
  std::string name;
  int catalog = 0;
  double epoch = 0;  ///< Unix seconds, UTC
  double inclination = 0, node = 0, eccentricity = 0, perigee = 0, mean_anomaly = 0;
  double mean_motion = 0;  ///< radians per minute, un-Kozaied
  double semi_major_axis = 0;  ///< Earth radii
  double node_rate = 0, perigee_rate = 0, anomaly_rate = 0;  ///< radians per minute
};

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
  Geodetic point;
  LookAngles look;
};

/// Parses a catalogue of element sets (an optional name line before each
/// pair); on a fault returns false with "FILE:LINE: reason" in error.
bool parse_catalogue(const std::string& text, const std::string& file,
                     std::vector<Satellite>* satellites, std::string* error);

/// True when the line's last column holds the checksum of its first 68.
bool tle_checksum_ok(const std::string& line);

/// The satellite's position in the true-equator mean-equinox frame, km.
Vec3 position_teme(const Satellite& satellite, double time);

/// Greenwich mean sidereal time (IAU-1982) in radians at Unix time.
double gmst(double time);

/// Turns a TEME position at time into Earth-fixed coordinates.
Vec3 teme_to_ecef(Vec3 teme, double time);

/// WGS-84 geodetic coordinates of an Earth-fixed point.
Geodetic ecef_to_geodetic(Vec3 ecef);

/// Earth-fixed point of WGS-84 geodetic coordinates.
Vec3 geodetic_to_ecef(Geodetic point);

/// Where the satellite at ecef appears from the station.
LookAngles look_angles(Geodetic station, Vec3 ecef);

/// The sub-satellite point and the station's view at time.
Position locate(const Satellite& satellite, Geodetic station, double time);

#endif  // ZENOTAR_SIM_ORBIT_H_
