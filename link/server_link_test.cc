#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>

#include <gtest/gtest.h>

#include "link/server_link.h"
#include "tests/capture.h"
#include "tests/script_server.h"

namespace {

struct EndpointCase {
  const char* name;
  std::string host, service, protocol;
  bool opens;
  int socket_type;      // when it opens
  int peer_port;        // when it opens; 0: not checked
  std::string printed;  // diagnostics on standard output
  std::string hinted = "";  // on standard error
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
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  listen(fd, 1);
  socklen_t size = sizeof address;
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
  *port = ntohs(address.sin_port);
  return fd;
}

TEST(OpenEndpoint, TableOfCases) {
  int listening_port;
  int listener = tcp_listener(&listening_port);
  std::string tcp_port = std::to_string(listening_port);
  std::string free_port = std::to_string(unused_port());
  const EndpointCase cases[] = {
      {"services entry", "localhost", "domain", "udp", true, SOCK_DGRAM, 53, ""},
      {"numeric service", "localhost", "40001", "udp", true, SOCK_DGRAM, 40001, ""},
      {"numeric, low 16 bits kept", "localhost", "65537", "udp", true, SOCK_DGRAM, 1, ""},
      {"dotted host", "127.0.0.1", free_port, "udp", true, SOCK_DGRAM, 0, ""},
      {"udp connects where nothing listens", "localhost", free_port, "udp", true, SOCK_DGRAM,
       0, ""},
      {"tcp gives a stream socket", "localhost", tcp_port, "tcp", true, SOCK_STREAM,
       listening_port, ""},
      {"unknown service", "localhost", "no-such-service", "udp", false, 0, 0,
       "Can't get services\n",
       "zenotar-client: no \"no-such-service\" entry for udp in the services database; add a "
       "line \"no-such-service <port>/udp\" to /etc/services\n"},
      {"service 0", "localhost", "0", "udp", false, 0, 0, "Can't get services\n"},
      {"service 65536", "localhost", "65536", "udp", false, 0, 0, "Can't get services\n"},
      {"unresolvable host", "bad host", "40001", "udp", false, 0, 0,
       "Can't get host: \"bad host\".\n"},
      {"no dotted address", "999.1.1.1", "40001", "udp", false, 0, 0,
       "Can't get host: \"999.1.1.1\".\n"},
      {"service checked before host", "bad host", "no-such-service", "tcp", false, 0, 0,
       "Can't get services\n",
       "zenotar-client: no \"no-such-service\" entry for tcp in the services database; add a "
       "line \"no-such-service <port>/tcp\" to /etc/services\n"},
      {"unknown protocol", "localhost", "40001", "no-such-protocol", false, 0, 0, "",
       "zenotar-client: no \"no-such-protocol\" entry in the protocols database (/etc/protocols)\n"},
      {"tcp connect refused", "localhost", free_port, "tcp", false, 0, 0,
       "Can't connect to socket.\n"},
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
    if (!c.opens) {
      EXPECT_EQ(fd, -1);
      continue;
    }
    ASSERT_GE(fd, 0);
    EXPECT_EQ(socket_type(fd), c.socket_type);
    if (c.peer_port != 0) {
      EXPECT_EQ(peer_port(fd), c.peer_port);
    }
    close(fd);
  }
  close(listener);
}

}  // namespace
