#include "term/output.h"

#include <string>

#include <gtest/gtest.h>

#include "tests/capture.h"

namespace {

TEST(OutputText, ExactBytesUnlessTerminal) {
  std::string text = "a\x1b[31mred\xff\n";
  EXPECT_EQ(capture_output([&] { output_server_text(text.data(), text.size()); }, false), text);
  EXPECT_EQ(capture_output([&] { output_server_text(text.data(), text.size()); }, true),
            "a\\x1B[31mred\\xFF\n");
}

TEST(OutputText, LongTerminalTextKeepsUtf8AcrossSlices) {
  std::string text;
  for (int i = 0; i < 5000; ++i)
    text += "\xe2\x86\x92\x1b";
  std::string expected;
  for (int i = 0; i < 5000; ++i)
    expected += "\xe2\x86\x92\\x1B";
  EXPECT_EQ(capture_output([&] { output_server_text(text.data(), text.size()); }, true), expected);
}

TEST(OutputText, SlicesMatchTheWholeTextWhereverTheyFall) {
  // A valid character followed by stray continuation bytes, at every offset
  // around the first slice boundary.
  for (size_t offset = 1016; offset < 1030; ++offset) {
    std::string text = std::string(offset, 'a') + "\xF2\x97\x97\x97\x97\x97\xE2\x86\x92" +
                       std::string(2000, 'b');
    SCOPED_TRACE(offset);
    EXPECT_EQ(capture_output([&] { output_server_text(text.data(), text.size()); }, true),
              escaped(text));
  }
}

}  // namespace
