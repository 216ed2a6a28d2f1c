#include "sim/frames.h"

#include <math.h>

#include <gtest/gtest.h>

#include "sim/text.h"
#include "tests/reference_elements.h"

extern const char BUNDLED_CATALOGUE[];

namespace {

double great_circle_km(double lat1, double lon1, double lat2, double lon2) {
  const double rad = M_PI / 180;
  double c = sin(lat1 * rad) * sin(lat2 * rad) +
             cos(lat1 * rad) * cos(lat2 * rad) * cos((lon1 - lon2) * rad);
  return 6371.0 * acos(fmin(1.0, c));
}

struct Reference {
  const char* time;
  double lat, lon, alt;
};

TEST(Frames, SubSatellitePointsOfTheIss2008Elements) {
  // SGP4 positions of these elements turned into WGS-84 points (rounded as shown).
  const Reference references[] = {
      {"2008-09-20T12:25:40Z", 51.46, 160.14, 355.1},
      {"2008-09-20T12:55:40Z", -25.94, -103.84, 359.7},
      {"2008-09-20T13:25:40Z", -22.15, 27.34, 363.2},
      {"2008-09-20T18:25:40Z", 48.14, 31.20, 355.8},
      {"2008-09-21T12:25:40Z", -0.89, 54.47, 356.9},
  };
  std::vector<Satellite> satellites;
  std::string error;
  ASSERT_TRUE(parse_catalogue(ISS_2008_TLE, "iss.tle", &satellites, &error)) << error;
  for (const Reference& r : references) {
    SCOPED_TRACE(r.time);
    double time;
    ASSERT_TRUE(parse_time(r.time, &time));
    Position p;
    ASSERT_EQ(locate(satellites[0], {0, 0, 0}, time, &p), SGP4_OK);
    EXPECT_LT(great_circle_km(p.point.lat, p.point.lon, r.lat, r.lon), 2);
    EXPECT_NEAR(p.point.alt, r.alt, 0.1);
  }
}

TEST(Frames, LookAnglesOfAPointStraightUpAndDueNorth) {
  Geodetic station = {45, 10, 0};
  LookAngles overhead = look_angles(station, geodetic_to_ecef({45, 10, 400}));
  EXPECT_NEAR(overhead.el, 90, 1e-6);
  EXPECT_NEAR(overhead.range, 400, 1e-6);
  LookAngles north = look_angles(station, geodetic_to_ecef({46, 10, 0}));
  EXPECT_NEAR(north.az, 0, 0.01);
  EXPECT_LT(north.el, 0);  // below the horizon: Earth curves away
  LookAngles east = look_angles(station, geodetic_to_ecef({45, 10.5, 50}));
  EXPECT_NEAR(east.az, 90, 1);
  EXPECT_GT(east.el, 0);
}

TEST(Frames, GeodeticRoundTrip) {
  const Geodetic points[] = {{0, 0, 0}, {51.46, 160.14, 355.1}, {-89.9, -179.9, 1000}, {30, -60, -0.4}};
  for (const Geodetic& g : points) {
    Geodetic back = ecef_to_geodetic(geodetic_to_ecef(g));
    EXPECT_NEAR(back.lat, g.lat, 1e-9);
    EXPECT_NEAR(back.lon, g.lon, 1e-9);
    EXPECT_NEAR(back.alt, g.alt, 1e-6);
  }
}

TEST(Frames, NoPositionBelowTheGround) {
  // SGP4 keeps a satellite until its radius falls below 6378.135 km, the
  // WGS-72 equator; a point that close lies under the WGS-84 ellipsoid
  // there, and is refused as decayed.
  const char decaying[] =
      "MINOTAUR R/B\n"
      "1 28872U 05037B   05333.02012661  .25992681  00000-0  24476-3 0  1534\n"
      "2 28872  96.4736 157.9986 0303955 244.0492 110.6523 16.46015938 10708\n";
  std::vector<Satellite> satellites;
  std::string error;
  ASSERT_TRUE(parse_catalogue(decaying, "decaying.tle", &satellites, &error)) << error;
  const Satellite& s = satellites[0];
  bool decayed = false;
  for (double t = s.epoch; t < s.epoch + 3600 && !decayed; t += 1) {
    Position p;
    Sgp4Error e = locate(s, {0, 0, 0}, t, &p);
    if (e == SGP4_OK)
      EXPECT_GE(p.point.alt, 0) << format_time(t);
    else
      decayed = e == SGP4_DECAYED;
  }
  EXPECT_TRUE(decayed);
}

}  // namespace
