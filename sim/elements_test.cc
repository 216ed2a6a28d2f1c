#include "sim/elements.h"
#include "tests/reference_elements.h"

#include <math.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

extern const char BUNDLED_CATALOGUE[];

namespace {

const std::string ONE = ISS_2008_LINE1;
const std::string TWO = ISS_2008_LINE2;

/// line with columns [from, from + text.size()) replaced by text and its checksum fixed.
std::string edited(const std::string& line, size_t from, const std::string& text) {
  std::string changed = line.substr(0, 68).replace(from - 1, text.size(), text);
  int sum = 0;
  for (size_t i = 0; i < 68; ++i)
    sum += changed[i] == '-' ? 1 : (changed[i] >= '0' && changed[i] <= '9' ? changed[i] - '0' : 0);
  return changed + static_cast<char>('0' + sum % 10);
}

TEST(Tle, Checksum) {
  EXPECT_TRUE(tle_checksum_ok(ONE));
  std::string changed = ONE;
  changed[20] = '9';  // a digit changed
  EXPECT_FALSE(tle_checksum_ok(changed));
  std::string minus = ONE;
  minus[33] = ' ';  // a minus sign counts one
  EXPECT_FALSE(tle_checksum_ok(minus));
  EXPECT_FALSE(tle_checksum_ok(ONE.substr(0, 68)));
}

struct CatalogueFault {
  const char* name;
  std::string text;
  std::string error;
};

TEST(Tle, FaultsNameTheFileAndLine) {
  std::string bad_two = TWO;
  bad_two[10] = '7';
  const CatalogueFault faults[] = {
      {"bad checksum on line 2 of the set", "ISS\n" + ONE + "\n" + bad_two + "\n",
       "my.tle:3: bad checksum"},
      {"second set", "A\n" + ONE + "\n" + TWO + "\nB\n" + ONE.substr(0, 68) + "8\n" + TWO + "\n",
       "my.tle:5: bad checksum"},
      {"line 1 alone", "ISS\n" + ONE + "\n", "my.tle:2: line 1 of an element set is not followed by its line 2"},
      {"line 2 alone", TWO + "\n", "my.tle:1: line 2 of an element set without its line 1"},
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

struct BadSet {
  const char* name;
  std::string one, two;
  std::string reason;
};

TEST(Tle, ElementsOutsideTheirRangesAreRefusedWithTheirLine) {
  const BadSet cases[] = {
      {"epoch day 9e307", edited(ONE, 21, "9e307       "), TWO, "unreadable epoch"},
      {"epoch day nan", edited(ONE, 21, "nan         "), TWO, "unreadable epoch"},
      {"epoch day 0", edited(ONE, 21, "000.00000000"), TWO,
       "epoch day 0 is out of range (1 to 367, not included)"},
      {"epoch day 366 of 2007, no leap year", edited(ONE, 19, "07366.5"), TWO,
       "epoch day 366.5178253 is out of range (1 to 366, not included)"},
      {"two points", edited(ONE, 21, "264.5178.528"), TWO, "unreadable epoch"},
      {"bstar letters", edited(ONE, 54, "-1x606-4"), TWO, "unreadable drag terms"},
      {"inclination 180.5", ONE, edited(TWO, 9, "180.5000"), "inclination 180.5 is out of range (0 to 180)"},
      {"node 360", ONE, edited(TWO, 18, "360.0000"),
       "right ascension of the node 360 is out of range (0 to 360, not included)"},
      {"eccentricity with a point", ONE, edited(TWO, 27, ".006703"), "unreadable orbital element"},
      {"eccentricity with a blank", ONE, edited(TWO, 27, "0 06703"), "unreadable orbital element"},
      {"perigee negative", ONE, edited(TWO, 35, "-30.5360"),
       "argument of perigee -30.536 is out of range (0 to 360, not included)"},
      {"mean anomaly inf", ONE, edited(TWO, 44, "     inf"), "unreadable orbital element"},
      {"mean motion 0", ONE, edited(TWO, 53, " 0.00000000"),
       "mean motion 0 is out of range (1e-12 to 17.04364172, not included)"},
      {"mean motion of an orbit inside the Earth", ONE, edited(TWO, 53, "17.10000000"),
       "mean motion 17.1 is out of range (1e-12 to 17.04364172, not included)"},
      {"catalogue numbers differ", ONE, edited(TWO, 3, "25545"),
       "catalogue numbers of the two lines differ or are unreadable"},
  };
  for (const BadSet& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(tle_checksum_ok(c.one) && tle_checksum_ok(c.two));
    std::vector<Satellite> satellites;
    std::string error;
    EXPECT_FALSE(parse_catalogue("NAME\n" + c.one + "\n" + c.two + "\n", "my.tle", &satellites, &error));
    EXPECT_EQ(error, "my.tle:2: " + c.reason);
  }
}

TEST(Tle, NamesAreCutOnACharacterAndMadePrintable) {
  // 59 bytes once escaped, then four two-byte characters: only two fit in 64.
  std::string name = "\x1b[31mRED\x1b[0m " + std::string(40, 'x') + "\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9";
  std::vector<Satellite> satellites;
  std::string error;
  ASSERT_TRUE(parse_catalogue(name + "\n" + ONE + "\n" + TWO + "\n", "n.tle", &satellites, &error));
  EXPECT_EQ(satellites[0].name, "\\x1B[31mRED\\x1B[0m " + std::string(40, 'x') + "\xc3\xa9\xc3\xa9");
}

TEST(Tle, BundledCatalogueLoads) {
  std::vector<Satellite> satellites;
  std::string error;
  ASSERT_TRUE(parse_catalogue(BUNDLED_CATALOGUE, "bundled", &satellites, &error)) << error;
  ASSERT_EQ(satellites.size(), 6u);
  EXPECT_EQ(satellites[0].name, "ISS (ZARYA)");
  EXPECT_EQ(satellites[0].catalog, 25544);
  EXPECT_NEAR(satellites[5].model.elements.eccentricity, 0.1764871, 1e-9);
  for (const Satellite& s : satellites)
    EXPECT_EQ(s.init_error, SGP4_OK) << s.name;
}

}  // namespace
