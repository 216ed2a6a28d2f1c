// The words of a request: splitting, satellites by name or number, and
// whole-number arguments within their ranges.
#ifndef ZENOTAR_SIM_WORDS_H_
#define ZENOTAR_SIM_WORDS_H_

#include <string>
#include <vector>

#include "sim/elements.h"

/// Splits a command into words at blanks; "double quotes" hold blanks.
std::vector<std::string> split_words(const std::string& command);

/// Finds a satellite by catalogue number or by name (any case, '_' for a
/// blank, or the first word where it is unique); -1 with error if none.
int find_satellite(const std::vector<Satellite>& satellites, const std::string& word,
                   std::string* error);

/// Reads the optional whole-number argument words[at] within [low, high]
/// (fallback when it is absent); false with error, naming the range, otherwise.
bool whole_number(const std::vector<std::string>& words, size_t at, long fallback, long low,
                  long high, const char* what, long* value, std::string* error);

/// A short, printable excerpt of text the user sent, for an error message.
std::string excerpt(const std::string& text);

#endif  // ZENOTAR_SIM_WORDS_H_
