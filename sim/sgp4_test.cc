// SGP4 and SDP4 against the official verification set (SGP4-VER.TLE and
// tcppver.out, read from the installed python3-sgp4), state by state, and
// its failures against the error codes the reference gives.

#include "sim/sgp4_init.h"

#include <math.h>
#include <stdio.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "sim/elements.h"
#include "sim/frames.h"
#include "tests/reference.h"

namespace {

struct Row {
  double t, r[3], v[3];
};

struct VerificationSet {
  std::string one, two;
  std::vector<Row> rows;  ///< what tcppver.out lists, in order
  bool fails = false;     ///< the reference's first failure, where it has one
  double fail_time = 0;
  int fail_code = 0;
};

std::vector<VerificationSet> read_verification_set() {
  std::string dir = reference_data_dir();
  std::vector<VerificationSet> sets;
  std::istringstream tle(read_text_file(dir + "/SGP4-VER.TLE"));
  std::string line, one;
  while (std::getline(tle, line)) {
    if (line.rfind("1 ", 0) == 0)
      one = line.substr(0, 69);
    else if (line.rfind("2 ", 0) == 0)
      sets.push_back({one, line.substr(0, 69), {}});
  }
  std::istringstream out(read_text_file(dir + "/tcppver.out"));
  int block = -1;
  while (std::getline(out, line)) {
    if (line.find("xx") != std::string::npos) {
      ++block;
      continue;
    }
    Row row;
    if (block >= 0 && block < static_cast<int>(sets.size()) &&
        sscanf(line.c_str(), "%lf %lf %lf %lf %lf %lf %lf", &row.t, &row.r[0], &row.r[1],
               &row.r[2], &row.v[0], &row.v[1], &row.v[2]) == 7)
      sets[static_cast<size_t>(block)].rows.push_back(row);
  }
  EXPECT_EQ(block + 1, static_cast<int>(sets.size())) << "tcppver.out and SGP4-VER.TLE differ";
  std::istringstream errors(reference_output({"verification-errors"}));
  while (std::getline(errors, line)) {
    size_t index;
    int catalogue, code;
    double t;
    if (sscanf(line.c_str(), "%zu %d %lf %d", &index, &catalogue, &t, &code) == 4 &&
        index < sets.size())
      sets[index].fails = true, sets[index].fail_time = t, sets[index].fail_code = code;
  }
  return sets;
}

Satellite element_set(const VerificationSet& set) {
  Satellite s;
  std::string reason;
  EXPECT_TRUE(parse_element_set(set.one, set.two, &s, &reason)) << set.one << ": " << reason;
  return s;
}

TEST(Sgp4, ReproducesEveryStateOfTheVerificationSet) {
  std::vector<VerificationSet> sets = read_verification_set();
  ASSERT_GT(sets.size(), 30u);
  size_t states = 0, failures = 0, failing_sets = 0;
  for (const VerificationSet& set : sets) {
    SCOPED_TRACE(set.one);
    Satellite s = element_set(set);
    ResonanceCache cache;
    failing_sets += set.fails;
    for (const Row& row : set.rows) {
      SCOPED_TRACE(row.t);
      StateVector state;
      Sgp4Error error = sgp4_propagate(s.model, row.t, &state, &cache);
      if (set.fails && row.t == set.fail_time) {
        // The verification run prints its last state again at an epoch that fails.
        EXPECT_EQ(error, set.fail_code);
        ++failures;
        continue;
      }
      ASSERT_EQ(error, SGP4_OK);
      for (int i = 0; i < 3; ++i) {
        EXPECT_NEAR(state.r[i], row.r[i], 1e-6);  // 1 mm
        EXPECT_NEAR(state.v[i], row.v[i], 1e-6);  // 1 mm/s
      }
      ++states;
    }
    if (set.fails && set.fail_time > set.rows.back().t) {
      StateVector state;
      EXPECT_EQ(sgp4_propagate(s.model, set.fail_time, &state, &cache), set.fail_code);
      ++failures;
    }
  }
  EXPECT_GT(states, 500u);  // the files were read
  EXPECT_EQ(failures, failing_sets);  // every failure of the reference came out
}

TEST(Sgp4, InitialisationRefusesWhatItCannotUse) {
  MeanElements e;
  e.epoch_jd = 2454000.5;
  e.inclination = 1;
  e.mean_motion = 0.06;
  Sgp4Model model;
  e.eccentricity = 1.0;
  EXPECT_EQ(sgp4_init(e, &model), SGP4_BAD_ECCENTRICITY);
  e.eccentricity = -0.1;
  EXPECT_EQ(sgp4_init(e, &model), SGP4_BAD_ECCENTRICITY);
  e.eccentricity = 0.001;
  e.mean_motion = 0;
  EXPECT_EQ(sgp4_init(e, &model), SGP4_BAD_MEAN_MOTION);
  e.mean_motion = NAN;
  EXPECT_EQ(sgp4_init(e, &model), SGP4_BAD_MEAN_MOTION);
}

TEST(Sgp4, SavedIntegratorStatesGiveTheSameStateAsIntegratingFromEpoch) {
  // Resonant orbits of the set: one-day (24208) and half-day (08195), far
  // from epoch in both directions and back and forth.
  for (const VerificationSet& set : read_verification_set()) {
    Satellite s = element_set(set);
    if (s.model.ds.resonance == 0 || (s.catalog != 24208 && s.catalog != 8195))
      continue;
    SCOPED_TRACE(s.catalog);
    for (double days : {3650.0, 10.0, -400.0, 3650.5, 0.2, -3.0, 20000.0}) {
      double time = s.epoch + days * 86400;
      StateVector saved, fresh;
      ResonanceCache from_epoch;
      Sgp4Error error = satellite_state(s, time, &saved);
      ASSERT_EQ(error, sgp4_propagate(s.model, (time - s.epoch) / 60.0, &fresh, &from_epoch));
      for (int i = 0; error == SGP4_OK && i < 3; ++i) {
        EXPECT_EQ(saved.r[i], fresh.r[i]);
        EXPECT_EQ(saved.v[i], fresh.v[i]);
      }
    }
  }
}

}  // namespace
