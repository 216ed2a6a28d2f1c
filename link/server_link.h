// The client's side of the ZENOTAR command protocol: endpoint set-up and the
// two command exchanges.
#ifndef ZENOTAR_LINK_SERVER_LINK_H_
#define ZENOTAR_LINK_SERVER_LINK_H_

#include "protocol/protocol.h"  // SERVICE_NAME, SERVICE_PROTOCOL

/// The host every exchange talks to.
inline constexpr char SERVER_HOST[] = "localhost";

/// Connects a new socket to (host, service, protocol); returns it, or -1 after
/// printing the reason, where there is one, on standard output.
int open_endpoint(const char* host, const char* service, const char* protocol);

/// Sends one command and returns the text of its one answer, or nullptr when
/// no answer came in time; ends the process when the server is unreachable.
const char* exchange_single(const char* host, const char* command);

/// Sends one command and prints its streamed answer up to the end mark; ends
/// the process when the server is unreachable.
void exchange_stream(const char* host, const char* command);

#endif  // ZENOTAR_LINK_SERVER_LINK_H_
