#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>

#include <gtest/gtest.h>

#include "link/server_link.h"
#include "tests/capture.h"
#include "tests/loopback.h"

namespace {

struct EndpointCase {
  const char* name;
  std::string host, service, protocol;
  int opens = 0;            ///< the socket type it opens (SOCK_DGRAM, SOCK_STREAM); 0: none
  int peer_port = 0;        ///< where it opens; 0: not checked
  std::string printed = ""; ///< diagnostics on standard output
  std::string hinted = "";  ///< on standard error
};

int peer_port(int fd) {
  sockaddr_in peer{};
  socklen_t size = sizeof peer;
  getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &size);
  return ntohs(peer.sin_port);
}

int socket_type(int fd) {
  int type = 0;
  socklen_t size = sizeof type;
  getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &size);
  return type;
}

int tcp_listener(int* port) {
  int fd = loopback_bound(SOCK_STREAM);
  listen(fd, 1);
  *port = local_port(fd);
  return fd;
}

TEST(OpenEndpoint, TableOfCases) {
  int listening_port;
  int listener = tcp_listener(&listening_port);
  std::string tcp_port = std::to_string(listening_port);
  std::string free_port = std::to_string(unused_port());
  const EndpointCase cases[] = {
      {.name = "services entry", .host = "localhost", .service = "domain", .protocol = "udp",
       .opens = SOCK_DGRAM, .peer_port = 53},
      {.name = "numeric service", .host = "localhost", .service = "40001", .protocol = "udp",
       .opens = SOCK_DGRAM, .peer_port = 40001},
      {.name = "numeric, low 16 bits kept", .host = "localhost", .service = "65537",
       .protocol = "udp", .opens = SOCK_DGRAM, .peer_port = 1},
      {.name = "dotted host", .host = "127.0.0.1", .service = free_port, .protocol = "udp",
       .opens = SOCK_DGRAM},
      {.name = "udp connects where nothing listens", .host = "localhost", .service = free_port,
       .protocol = "udp", .opens = SOCK_DGRAM},
      {.name = "tcp gives a stream socket", .host = "localhost", .service = tcp_port,
       .protocol = "tcp", .opens = SOCK_STREAM, .peer_port = listening_port},
      {.name = "unknown service", .host = "localhost", .service = "no-such-service",
       .protocol = "udp", .printed = "Can't get services\n",
       .hinted =
           "zenotar-client: no \"no-such-service\" entry for udp in the services database; add a "
           "line \"no-such-service <port>/udp\" to /etc/services\n"},
      {.name = "service 0", .host = "localhost", .service = "0", .protocol = "udp",
       .printed = "Can't get services\n"},
      {.name = "service 65536", .host = "localhost", .service = "65536", .protocol = "udp",
       .printed = "Can't get services\n"},
      {.name = "unresolvable host", .host = "bad host", .service = "40001", .protocol = "udp",
       .printed = "Can't get host: \"bad host\".\n"},
      {.name = "no dotted address", .host = "999.1.1.1", .service = "40001", .protocol = "udp",
       .printed = "Can't get host: \"999.1.1.1\".\n"},
      {.name = "service checked before host", .host = "bad host", .service = "no-such-service",
       .protocol = "tcp", .printed = "Can't get services\n",
       .hinted =
           "zenotar-client: no \"no-such-service\" entry for tcp in the services database; add a "
           "line \"no-such-service <port>/tcp\" to /etc/services\n"},
      {.name = "unknown protocol", .host = "localhost", .service = "40001",
       .protocol = "no-such-protocol",
       .hinted = "zenotar-client: no \"no-such-protocol\" entry in the protocols database "
           "(/etc/protocols)\n"},
      {.name = "tcp connect refused", .host = "localhost", .service = free_port, .protocol = "tcp",
       .printed = "Can't connect to socket.\n"},
  };
  for (const EndpointCase& c : cases) {
    SCOPED_TRACE(c.name);
    int fd = -2;
    testing::internal::CaptureStderr();
    std::string printed = capture_output([&] {
      fd = open_endpoint(c.host.c_str(), c.service.c_str(), c.protocol.c_str());
    });
    EXPECT_EQ(printed, c.printed);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), c.hinted);
    if (c.opens == 0) {
      EXPECT_EQ(fd, -1);
      continue;
    }
    ASSERT_GE(fd, 0);
    EXPECT_EQ(socket_type(fd), c.opens);
    if (c.peer_port != 0) {
      EXPECT_EQ(peer_port(fd), c.peer_port);
    }
    close(fd);
  }
  close(listener);
}

}  // namespace
