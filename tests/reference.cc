#include "tests/reference.h"

#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "tests/run_client.h"

std::string reference_output(const std::vector<std::string>& args) {
  std::vector<std::string> all = {REFERENCE_PYTHON, SGP4_REFERENCE};
  all.insert(all.end(), args.begin(), args.end());
  int status;
  std::string text = program_output(all, &status);
  EXPECT_EQ(status, 0) << "the SGP4 reference (" << REFERENCE_PYTHON << " with python3-sgp4) failed";
  return text;
}

std::string reference_data_dir() {
  std::string dir = reference_output({"data-dir"});
  while (!dir.empty() && dir.back() == '\n')
    dir.pop_back();
  return dir;
}

std::string read_text_file(const std::string& path) {
  std::ifstream file(path);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}
