// Captures what the client's output module writes, for in-process tests.
#ifndef ZENOTAR_TESTS_CAPTURE_H_
#define ZENOTAR_TESTS_CAPTURE_H_

#include <functional>
#include <string>

/// Runs body with the client's output going to a memory file; returns it.
std::string capture_output(const std::function<void()>& body, bool terminal = false);

#endif  // ZENOTAR_TESTS_CAPTURE_H_
