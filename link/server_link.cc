// The client's side of the protocol: turning (host, service, protocol) into
// a connected socket, and the two exchanges over one.

#include "link/server_link.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <unistd.h>

#include "link/exchange.h"
#include "link/session_ports.h"
#include "term/output.h"
#include "term/report.h"

namespace {

/// Finds the port of service/protocol in network byte order, or 0.
in_port_t lookup_port(const char* service, const char* protocol) {
  if (const servent* entry = getservbyname(service, protocol))
    return static_cast<in_port_t>(entry->s_port);
  // Not in the database: a decimal port number, as strtol reads it.
  long number = strtol(service, nullptr, 10);
  return htons(static_cast<uint16_t>(number & 0xFFFF));
}

/// Finds the IPv4 address of host in network byte order; false if none.
bool lookup_address(const char* host, in_addr* address) {
  if (const hostent* entry = gethostbyname(host)) {
    if (entry->h_addrtype == AF_INET && entry->h_length == 4 &&
        entry->h_addr_list[0] != nullptr) {
      memcpy(&address->s_addr, entry->h_addr_list[0], 4);
      return true;
    }
  }
  in_addr_t dotted = inet_addr(host);
  if (dotted == INADDR_NONE)
    return false;
  address->s_addr = dotted;
  return true;
}

/// Prints one set-up diagnostic line on standard output.
int fail(const char* line) {
  output_own_string(line);
  return -1;
}

// Where a database lacks an entry, a person is told on standard error what
// was looked for and what to add: standard output may be a file, and the
// diagnostic alone says nothing of the fix.

void hint_services(const char* service, const char* protocol) {
  char line[512];
  snprintf(line, sizeof line,
           "zenotar-client: no \"%s\" entry for %s in the services database; add a line "
           "\"%s <port>/%s\" to /etc/services",
           service, protocol, service, protocol);
  report_error(line);
}

void hint_protocols(const char* protocol) {
  char line[256];
  snprintf(line, sizeof line,
           "zenotar-client: no \"%s\" entry in the protocols database (/etc/protocols)", protocol);
  report_error(line);
}

/// Opens the socket of one exchange, made ready for a stream where asked,
/// and sends command on it; exits 255 when no socket can be set up.
int open_and_send(const char* host, const char* command, bool stream) {
  int fd = open_exchange_socket(host);
  if (fd < 0)
    exit_client(255);
  if (stream)
    prepare_stream_socket(fd);
  // The outcome of the send is not examined: a lost request shows as no answer.
  ssize_t sent = send(fd, command, strlen(command) + 1, 0);
  (void)sent;
  return fd;
}

}  // namespace

int open_endpoint(const char* host, const char* service, const char* protocol) {
  sockaddr_in address;
  memset(&address, 0, sizeof address);
  address.sin_family = AF_INET;

  address.sin_port = lookup_port(service, protocol);
  if (address.sin_port == 0) {
    fail("Can't get services\n");
    if (strspn(service, "0123456789") != strlen(service))  // a name, not a port number
      hint_services(service, protocol);
    return -1;
  }

  if (!lookup_address(host, &address.sin_addr)) {
    output_own_string("Can't get host: \"");
    output_own_string(host);
    return fail("\".\n");
  }

  const protoent* proto = getprotobyname(protocol);
  if (proto == nullptr) {
    hint_protocols(protocol);
    return -1;
  }

  int type = strcmp(protocol, "udp") == 0 ? SOCK_DGRAM : SOCK_STREAM;
  int fd = socket(AF_INET, type | SOCK_CLOEXEC, proto->p_proto);
  if (fd < 0)
    return fail("Can't get socket.\n");

  if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) < 0) {
    close(fd);
    return fail("Can't connect to socket.\n");
  }
  return fd;
}

const char* exchange_single(const char* host, const char* command) {
  int fd = open_and_send(host, command, false);
  const char* text = receive_single(fd, REPLY_WAIT_SECONDS * 1000);
  close(fd);
  return text;
}

void exchange_stream(const char* host, const char* command) {
  int fd = open_and_send(host, command, true);
  receive_stream(fd, REPLY_WAIT_SECONDS * 1000);
  close(fd);
}
