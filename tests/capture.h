// What the client's output room writes, seen from in-process tests and fuzzers.
#ifndef ZENOTAR_TESTS_CAPTURE_H_
#define ZENOTAR_TESTS_CAPTURE_H_

#include <functional>
#include <string>

/// Runs body with the client's output going to a memory file; returns it.
std::string capture_output(const std::function<void()>& body, bool terminal = false);

/// What a terminal is shown of server text.
std::string escaped(const std::string& text);

#endif  // ZENOTAR_TESTS_CAPTURE_H_
