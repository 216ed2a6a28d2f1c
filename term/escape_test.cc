#include "term/escape.h"

#include <string>

#include <gtest/gtest.h>

#include "tests/capture.h"

namespace {

struct EscapeCase {
  const char* name;
  std::string text;
  std::string shown;
};

TEST(EscapeForTerminal, TableOfCases) {
  const EscapeCase cases[] = {
      {"plain text", "lat=51.46 lon=160.14", "lat=51.46 lon=160.14"},
      {"newline, CR and tab stay", "a\tb\r\nc", "a\tb\r\nc"},
      {"escape sequence", "\x1b[2J\x1b]0;title\x07", "\\x1B[2J\\x1B]0;title\\x07"},
      {"other C0 codes and DEL", std::string("\x01\x08\x0b\x0c\x7f", 5),
       "\\x01\\x08\\x0B\\x0C\\x7F"},
      {"end mark", "\x1A", "\\x1A"},
      {"valid UTF-8", "M\xc3\xbcnchen \xe2\x86\x92 \xf0\x9f\x9b\xb0", "M\xc3\xbcnchen \xe2\x86\x92 \xf0\x9f\x9b\xb0"},
      {"bare C1 byte", "a\x9b" "31m", "a\\x9B31m"},
      {"C1 control encoded as UTF-8", "\xc2\x9b" "31m", "\\xC2\\x9B31m"},
      {"U+00A0 is text", "\xc2\xa0", "\xc2\xa0"},
      {"overlong encoding", "\xc0\x9b", "\\xC0\\x9B"},
      {"surrogate", "\xed\xa0\x80", "\\xED\\xA0\\x80"},
      {"truncated sequence", "\xe2\x86", "\\xE2\\x86"},
      {"beyond U+10FFFF", "\xf4\x90\x80\x80", "\\xF4\\x90\\x80\\x80"},
      {"backslash stays", "a\\b", "a\\b"},
      {"right-to-left override", "abc\xe2\x80\xae" "fed\xe2\x80\xac", "abc\\u202Efed\\u202C"},
      {"embeddings and isolates", "\xe2\x80\xaa\xe2\x80\xab\xe2\x80\xad\xe2\x81\xa6\xe2\x81\xa7\xe2\x81\xa8\xe2\x81\xa9",
       "\\u202A\\u202B\\u202D\\u2066\\u2067\\u2068\\u2069"},
      {"marks next to them are text", "\xe2\x80\x8f\xe2\x80\xaf\xe2\x81\xa5\xe2\x81\xaa",
       "\xe2\x80\x8f\xe2\x80\xaf\xe2\x81\xa5\xe2\x81\xaa"},
  };
  for (const EscapeCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(escaped(c.text), c.shown);
  }
}

}  // namespace
