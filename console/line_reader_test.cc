#include "console/line_reader.h"

#include <sys/mman.h>
#include <unistd.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

struct Line {
  LineStatus status;
  std::string text;
  bool operator==(const Line&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Line& line) {
  return out << "{" << line.status << ", \"" << line.text << "\"}";
}

/// Every line read from input, up to and including the end.
std::vector<Line> read_all(const std::string& input) {
  int fd = memfd_create("input", 0);
  EXPECT_EQ(write(fd, input.data(), input.size()), static_cast<ssize_t>(input.size()));
  lseek(fd, 0, SEEK_SET);
  LineReader reader;
  line_reader_init(&reader, fd);
  std::vector<Line> lines;
  CommandLine line;
  for (int i = 0; i < 1000; ++i) {
    LineStatus status = read_command_line(&reader, &line);
    lines.push_back({status, std::string(line.text, line.length)});
    if (status == LINE_END || status == LINE_FAILED)
      break;
  }
  close(fd);
  return lines;
}

struct ReaderCase {
  const char* name;
  std::string input;
  std::vector<Line> lines;
};

TEST(ReadCommandLine, TableOfCases) {
  std::string l79(79, 'a'), l80(80, 'b'), l100(100, 'c');
  const ReaderCase cases[] = {
      {"two lines", "one\ntwo\n", {{LINE_COMMAND, "one"}, {LINE_COMMAND, "two"}, {LINE_END, ""}}},
      {"empty input", "", {{LINE_END, ""}}},
      {"empty line", "\n", {{LINE_COMMAND, ""}, {LINE_END, ""}}},
      {"last line without newline", "one\ntwo",
       {{LINE_COMMAND, "one"}, {LINE_COMMAND, "two"}, {LINE_END, ""}}},
      {"79 characters, whole", l79 + "\nx\n",
       {{LINE_COMMAND, l79}, {LINE_COMMAND, "x"}, {LINE_END, ""}}},
      {"80 characters, too long", l80 + "\nx\n",
       {{LINE_TOO_LONG, l80.substr(0, 79)}, {LINE_COMMAND, "x"}, {LINE_END, ""}}},
      {"100 characters, too long and dropped whole", l100 + "\nx\n",
       {{LINE_TOO_LONG, l100.substr(0, 79)}, {LINE_COMMAND, "x"}, {LINE_END, ""}}},
      {"too long at the end of input", l100, {{LINE_TOO_LONG, l100.substr(0, 79)}, {LINE_END, ""}}},
      {"zero byte", std::string("ab\0c\nx\n", 7),
       {{LINE_ZERO_BYTE, std::string("ab\0c", 4)}, {LINE_COMMAND, "x"}, {LINE_END, ""}}},
      {"CR stays", "ab\r\n", {{LINE_COMMAND, "ab\r"}, {LINE_END, ""}}},
      {"blanks stay", " QUIT \n", {{LINE_COMMAND, " QUIT "}, {LINE_END, ""}}},
  };
  for (const ReaderCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(read_all(c.input), c.lines);
  }
}

TEST(ReadCommandLine, LinesLongerThanTheBuffer) {
  std::string huge(20000, 'h');
  std::vector<Line> expected = {{LINE_TOO_LONG, huge.substr(0, 79)}, {LINE_COMMAND, "ok"},
                                {LINE_END, ""}};
  EXPECT_EQ(read_all(huge + "\nok\n"), expected);
}

TEST(ReadCommandLine, FailedReadIsReported) {
  LineReader reader;
  line_reader_init(&reader, -1);
  CommandLine line;
  EXPECT_EQ(read_command_line(&reader, &line), LINE_FAILED);
  EXPECT_EQ(errno, EBADF);
  EXPECT_EQ(read_command_line(&reader, &line), LINE_FAILED);  // and stays so
}

}  // namespace
