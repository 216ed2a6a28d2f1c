// Fuzzes the console's line handling with arbitrary standard input and checks
// the requests it makes against a model of the rules:
//   - lines are split at newlines; a last line without one counts;
//   - a line whose first four characters are a quit word ends the input;
//   - a line of more than 79 characters, a line holding a zero byte, and an
//     empty line make no request;
//   - every other line makes exactly one request: its bytes, unchanged.
// So no input line yields more than one request, none is longer than 80 bytes
// with its zero byte, and over-long lines yield none.

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "console/console.h"
#include "fuzz/check.h"
#include "link/exchange.h"
#include "link/server_link.h"
#include "term/output.h"

namespace {

std::vector<std::string> requests;


std::vector<std::string> model(const std::string& input) {
  std::vector<std::string> expected;
  size_t at = 0;
  while (at < input.size()) {
    size_t end = input.find('\n', at);
    std::string line = input.substr(at, end == std::string::npos ? std::string::npos : end - at);
    at = end == std::string::npos ? input.size() : end + 1;
    std::string first = line.substr(0, 4);
    if (first == "QUIT" || first == "quit" || first == "EXIT" || first == "exit")
      break;
    if (line.size() > 79 || line.find('\0') != std::string::npos || line.empty())
      continue;
    expected.push_back(line);
  }
  return expected;
}

}  // namespace

// The exchanges, replaced by a record of the commands they are given.
const char* exchange_single(const char*, const char* command) {
  requests.push_back(command);
  return "ok";
}

void exchange_stream(const char*, const char* command) {
  requests.push_back(command);
}

void set_interrupt_fd(int) {}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static int sink = memfd_create("fuzz-output", 0);
  int in = memfd_create("fuzz-input", 0);
  check(write(in, data, size) == static_cast<ssize_t>(size));
  lseek(in, 0, SEEK_SET);
  check(ftruncate(sink, 0) == 0);
  lseek(sink, 0, SEEK_SET);
  output_init(sink, false);
  requests.clear();
  check(console_loop(in) == 0);
  output_flush();
  close(in);
  std::string input(reinterpret_cast<const char*>(data), size);
  for (const std::string& r : requests)
    check(r.size() + 1 <= 80);
  check(requests == model(input));
  return 0;
}
