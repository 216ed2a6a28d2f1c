// Fuzzes the receive-and-print path of both exchanges with arbitrary
// sequences of datagrams, and checks what it prints:
//   - each datagram's text is exactly its bytes up to the first zero byte,
//     escaped when the output is a terminal;
//   - a stream ends exactly at the first datagram whose first byte is 0x1A,
//     with one newline;
//   - on a terminal no raw control byte other than newline, CR and tab, no
//     C1 byte outside a valid UTF-8 character, and no bidirectional control
//     reaches the output;
//   - nothing past a datagram's length is read (the buffers are filled with
//     'Q' first, so bytes read past the end would show in the output).
//
// Input: one flags byte (bit 0: terminal, bit 1: single answer), then
// datagrams, each a 2-byte big-endian length and its bytes.

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "fuzz/check.h"
#include "link/exchange.h"
#include "term/output.h"
#include "tests/capture.h"

namespace {

constexpr size_t MAX_DATAGRAMS = 64;
constexpr size_t MAX_TOTAL_BYTES = 128 * 1024;


std::vector<std::string> split_datagrams(const uint8_t* data, size_t size) {
  std::vector<std::string> datagrams;
  size_t total = 0;
  while (size >= 2 && datagrams.size() < MAX_DATAGRAMS) {
    size_t length = (static_cast<size_t>(data[0]) << 8) | data[1];
    data += 2;
    size -= 2;
    if (length > size)
      length = size;
    if (total + length > MAX_TOTAL_BYTES)
      break;
    datagrams.emplace_back(reinterpret_cast<const char*>(data), length);
    total += length;
    data += length;
    size -= length;
  }
  return datagrams;
}

std::string text_of(const std::string& datagram) {
  return datagram.substr(0, datagram.find('\0'));
}

std::string shown(const std::string& text, bool terminal) {
  return terminal ? escaped(text) : text;
}

/// Length of the valid UTF-8 character at s[i] (2 to 4), or 0.
size_t utf8_at(const std::string& s, size_t i) {
  unsigned char lead = static_cast<unsigned char>(s[i]);
  size_t length = lead >= 0xF0 && lead <= 0xF4 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 && lead <= 0xDF ? 2 : 0;
  if (length == 0 || i + length > s.size())
    return 0;
  for (size_t k = 1; k < length; ++k) {
    if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80)
      return 0;
  }
  return length;
}

void check_terminal_safe(const std::string& out) {
  for (size_t i = 0; i < out.size();) {
    unsigned char byte = static_cast<unsigned char>(out[i]);
    if (byte < 0x80) {
      check(byte >= 0x20 ? byte != 0x7F : byte == '\n' || byte == '\r' || byte == '\t');
      ++i;
      continue;
    }
    size_t length = utf8_at(out, i);
    check(length != 0);
    // A C1 control, U+0080 to U+009F, is C2 80 to C2 9F; the bidirectional
    // controls are E2 80 AA to E2 80 AE and E2 81 A6 to E2 81 A9.
    unsigned char second = static_cast<unsigned char>(out[i + 1]);
    check(!(byte == 0xC2 && second <= 0x9F));
    if (byte == 0xE2 && length == 3) {
      unsigned char third = static_cast<unsigned char>(out[i + 2]);
      check(!(second == 0x80 && third >= 0xAA && third <= 0xAE));
      check(!(second == 0x81 && third >= 0xA6 && third <= 0xA9));
    }
    i += length;
  }
}

std::string read_all(int fd) {
  std::string text;
  char buffer[65536];
  lseek(fd, 0, SEEK_SET);
  ssize_t got;
  while ((got = read(fd, buffer, sizeof buffer)) > 0)
    text.append(buffer, static_cast<size_t>(got));
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1)
    return 0;
  bool terminal = data[0] & 1;
  bool single = data[0] & 2;
  std::vector<std::string> datagrams = split_datagrams(data + 1, size - 1);
  if (single && datagrams.empty())
    datagrams.push_back("");
  if (!single)
    datagrams.push_back(std::string(1, STREAM_END_MARK));  // every stream here ends

  int pair[2];
  if (socketpair(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK, 0, pair) < 0)
    return 0;
  int room = 1 << 20;
  setsockopt(pair[1], SOL_SOCKET, SO_SNDBUF, &room, sizeof room);
  for (const std::string& d : datagrams)
    check(send(pair[1], d.data(), d.size(), 0) == static_cast<ssize_t>(d.size()));

  size_t longest = 0;
  for (const std::string& d : datagrams)
    longest = std::max(longest, d.size());
  for (auto& slot : reply_buffer)
    memset(slot, 'Q', std::min(longest + 2, sizeof slot));

  static int out = memfd_create("fuzz-output", 0);
  check(ftruncate(out, 0) == 0);
  lseek(out, 0, SEEK_SET);
  output_init(out, terminal);
  std::string expected;
  if (single) {
    const char* text = receive_single(pair[0], 0);
    check(text != nullptr && text == text_of(datagrams[0]));
  } else {
    receive_stream(pair[0], 0);
    for (const std::string& d : datagrams) {
      if (!d.empty() && d[0] == STREAM_END_MARK)
        break;
      expected += shown(text_of(d), terminal);
    }
    expected += "\n";
  }
  output_flush();
  std::string printed = read_all(out);
  check(printed == expected);
  if (terminal)
    check_terminal_safe(printed);
  close(pair[0]);
  close(pair[1]);
  return 0;
}
