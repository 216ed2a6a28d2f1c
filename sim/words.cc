// Request words. Everything a request holds may be hostile: what is echoed
// back is a short printable excerpt, and lists are bounded.

#include "sim/words.h"

#include <ctype.h>
#include <stdlib.h>

#include "sim/text.h"

namespace {

/// At most this many candidates are named when a name is ambiguous.
constexpr size_t CANDIDATES_SHOWN = 8;

bool all_digits(const std::string& word, size_t most) {
  return !word.empty() && word.size() <= most &&
         word.find_first_not_of("0123456789") == std::string::npos;
}

std::string ambiguity(const std::vector<Satellite>& satellites, const std::string& word,
                      const std::vector<int>& candidates) {
  std::string error = "\"";  // built piece by piece: GCC 12 misreads "..." + string&&
  error += excerpt(word);
  error += "\" could be any of";
  for (size_t i = 0; i < candidates.size() && i < CANDIDATES_SHOWN; ++i)
    error += (i == 0 ? " " : ", ") + satellites[static_cast<size_t>(candidates[i])].name;
  if (candidates.size() > CANDIDATES_SHOWN)
    error += " and " + std::to_string(candidates.size() - CANDIDATES_SHOWN) + " more";
  return error;
}

}  // namespace

std::string excerpt(const std::string& text) {
  return printable_excerpt(text, 40, true);
}

std::vector<std::string> split_words(const std::string& command) {
  std::vector<std::string> words;
  size_t i = 0;
  while (i < command.size()) {
    while (i < command.size() && isspace(static_cast<unsigned char>(command[i])))
      ++i;
    if (i == command.size())
      break;
    std::string word;
    if (command[i] == '"') {
      size_t close = command.find('"', i + 1);
      size_t end = close == std::string::npos ? command.size() : close;
      word = command.substr(i + 1, end - i - 1);
      i = close == std::string::npos ? end : end + 1;
    } else {
      size_t end = i;
      while (end < command.size() && !isspace(static_cast<unsigned char>(command[end])))
        ++end;
      word = command.substr(i, end - i);
      i = end;
    }
    words.push_back(word);
  }
  return words;
}

int find_satellite(const std::vector<Satellite>& satellites, const std::string& word,
                   std::string* error) {
  bool digits = all_digits(word, 9);
  long number = digits ? atol(word.c_str()) : -1;
  std::string wanted = lookup_key(word);
  std::vector<int> by_first_word;
  for (size_t i = 0; i < satellites.size(); ++i) {
    const Satellite& s = satellites[i];
    if ((digits && s.catalog == number) || s.key == wanted)
      return static_cast<int>(i);
    if (s.first_key == wanted)
      by_first_word.push_back(static_cast<int>(i));
  }
  if (by_first_word.size() == 1)
    return by_first_word[0];
  if (by_first_word.empty())
    *error = "unknown satellite \"" + excerpt(word) + "\"; ZENOTAR LIST shows the known ones";
  else
    *error = ambiguity(satellites, word, by_first_word);
  return -1;
}

bool whole_number(const std::vector<std::string>& words, size_t at, long fallback, long low,
                  long high, const char* what, long* value, std::string* error) {
  if (at >= words.size()) {
    *value = fallback;
    return true;
  }
  const std::string& word = words[at];
  long number = all_digits(word, 9) ? atol(word.c_str()) : -1;
  if (number < low || number > high) {
    *error = std::string(what) + " must be a whole number from " + std::to_string(low) + " to " +
             std::to_string(high) + ", not \"" + excerpt(word) + "\"";
    return false;
  }
  *value = number;
  return true;
}
