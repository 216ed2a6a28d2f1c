// The SGP4 reference of the simulator's tests: tests/sgp4_reference.py on
// Debian's python3-sgp4, run as a separate program.
#ifndef ZENOTAR_TESTS_REFERENCE_H_
#define ZENOTAR_TESTS_REFERENCE_H_

#include <string>
#include <vector>

/// What the reference prints for args; fails the test when it cannot run.
std::string reference_output(const std::vector<std::string>& args);

/// The folder of python3-sgp4's verification files, SGP4-VER.TLE and tcppver.out.
std::string reference_data_dir();

/// The whole text of a file; empty when it cannot be read.
std::string read_text_file(const std::string& path);

#endif  // ZENOTAR_TESTS_REFERENCE_H_
