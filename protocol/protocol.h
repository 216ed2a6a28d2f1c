// The facts of the ZENOTAR command protocol that the client, the simulator,
// the tests and the benchmarks share: one request datagram, then one
// answer datagram or a stream of them ended by the end mark.
#ifndef ZENOTAR_PROTOCOL_PROTOCOL_H_
#define ZENOTAR_PROTOCOL_PROTOCOL_H_

#include <stddef.h>

#include <string_view>

/// The services database name of the server's port.
inline constexpr char SERVICE_NAME[] = "zenotar";
/// The protocol of the server's port.
inline constexpr char SERVICE_PROTOCOL[] = "udp";

/// The first byte of the datagram that ends a streamed answer.
inline constexpr char STREAM_END_MARK = 0x1A;
/// The largest datagram over UDP/IPv4: no answer datagram is longer.
inline constexpr size_t MAX_DATAGRAM = 65507;
/// The longest command the client sends, in bytes, without its zero byte.
inline constexpr size_t MAX_COMMAND = 79;

/// Commands whose text begins with one of these are answered by a stream.
inline constexpr std::string_view STREAM_PREFIXES[] = {"ZENOTAR", "GET_SAT_POS"};

/// True when the answer to command comes as a stream.
constexpr bool is_streamed_command(std::string_view command) {
  for (std::string_view prefix : STREAM_PREFIXES) {
    if (command.starts_with(prefix))
      return true;
  }
  return false;
}

#endif  // ZENOTAR_PROTOCOL_PROTOCOL_H_
