#include "sim/orbit.h"

#include <math.h>

#include <gtest/gtest.h>

#include "sim/commands.h"

extern const char BUNDLED_CATALOGUE[];

namespace {

const char ISS_2008[] =
    "ISS\n"
    "1 25544U 98067A   08264.51782528 -.00002182  00000-0 -11606-4 0  2927\n"
    "2 25544  51.6416 247.4627 0006703 130.5360 325.0288 15.72125391563537\n";

double great_circle_km(double lat1, double lon1, double lat2, double lon2) {
  const double rad = M_PI / 180;
  double c = sin(lat1 * rad) * sin(lat2 * rad) +
             cos(lat1 * rad) * cos(lat2 * rad) * cos((lon1 - lon2) * rad);
  return 6371.0 * acos(fmin(1.0, c));
}

struct Reference {
  const char* time;
  double lat, lon, alt;
  double distance_tolerance, altitude_tolerance;
};

TEST(Orbit, AgreesWithSgp4ForTheIss2008Elements) {
  // Sub-satellite points that SGP4 gives for these elements.
  const Reference references[] = {
      {"2008-09-20T12:25:40Z", 51.46, 160.14, 355.1, 50, 15},
      {"2008-09-20T12:55:40Z", -25.94, -103.84, 359.7, 50, 15},
      {"2008-09-20T13:25:40Z", -22.15, 27.34, 363.2, 50, 15},
      {"2008-09-20T18:25:40Z", 48.14, 31.20, 355.8, 50, 15},
      {"2008-09-21T12:25:40Z", -0.89, 54.47, 356.9, 150, 15},
  };
  std::vector<Satellite> satellites;
  std::string error;
  ASSERT_TRUE(parse_catalogue(ISS_2008, "iss.tle", &satellites, &error)) << error;
  for (const Reference& r : references) {
    SCOPED_TRACE(r.time);
    double time;
    ASSERT_TRUE(parse_time(r.time, &time));
    Position p = locate(satellites[0], {0, 0, 0}, time);
    EXPECT_LT(great_circle_km(p.point.lat, p.point.lon, r.lat, r.lon), r.distance_tolerance);
    EXPECT_NEAR(p.point.alt, r.alt, r.altitude_tolerance);
  }
}

TEST(Orbit, LookAnglesOfAPointStraightUpAndDueNorth) {
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

TEST(Orbit, GeodeticRoundTrip) {
  const Geodetic points[] = {{0, 0, 0}, {51.46, 160.14, 355.1}, {-89.9, -179.9, 1000}, {30, -60, -0.4}};
  for (const Geodetic& g : points) {
    Geodetic back = ecef_to_geodetic(geodetic_to_ecef(g));
    EXPECT_NEAR(back.lat, g.lat, 1e-9);
    EXPECT_NEAR(back.lon, g.lon, 1e-9);
    EXPECT_NEAR(back.alt, g.alt, 1e-6);
  }
}

TEST(Tle, Checksum) {
  std::string one = "1 25544U 98067A   08264.51782528 -.00002182  00000-0 -11606-4 0  2927";
  EXPECT_TRUE(tle_checksum_ok(one));
  std::string changed = one;
  changed[20] = '9';  // a digit changed
  EXPECT_FALSE(tle_checksum_ok(changed));
  std::string minus = one;
  minus[33] = ' ';  // a minus sign counts one
  EXPECT_FALSE(tle_checksum_ok(minus));
  EXPECT_FALSE(tle_checksum_ok(one.substr(0, 68)));
}

struct CatalogueFault {
  const char* name;
  std::string text;
  std::string error;
};

TEST(Tle, FaultsNameTheFileAndLine) {
  std::string one = "1 25544U 98067A   08264.51782528 -.00002182  00000-0 -11606-4 0  2927";
  std::string two = "2 25544  51.6416 247.4627 0006703 130.5360 325.0288 15.72125391563537";
  std::string bad_two = two;
  bad_two[10] = '7';
  const CatalogueFault faults[] = {
      {"bad checksum on line 2 of the set", "ISS\n" + one + "\n" + bad_two + "\n",
       "my.tle:3: bad checksum"},
      {"second set", "A\n" + one + "\n" + two + "\nB\n" + one.substr(0, 68) + "8\n" + two + "\n",
       "my.tle:5: bad checksum"},
      {"line 1 alone", "ISS\n" + one + "\n", "my.tle:2: line 1 of an element set is not followed by its line 2"},
      {"line 2 alone", two + "\n", "my.tle:1: line 2 of an element set without its line 1"},
      {"empty", "\n\n", "my.tle: no element sets"},
  };
  for (const CatalogueFault& f : faults) {
    SCOPED_TRACE(f.name);
    std::vector<Satellite> satellites;
    std::string error;
    EXPECT_FALSE(parse_catalogue(f.text, "my.tle", &satellites, &error));
    EXPECT_EQ(error, f.error);
  }
}

TEST(Tle, BundledCatalogueLoads) {
  std::vector<Satellite> satellites;
  std::string error;
  ASSERT_TRUE(parse_catalogue(BUNDLED_CATALOGUE, "bundled", &satellites, &error)) << error;
  ASSERT_EQ(satellites.size(), 6u);
  EXPECT_EQ(satellites[0].name, "ISS (ZARYA)");
  EXPECT_EQ(satellites[0].catalog, 25544);
  EXPECT_NEAR(satellites[5].eccentricity, 0.1764871, 1e-9);
}

}  // namespace
