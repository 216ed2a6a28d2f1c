#include "tests/loopback.h"

#include <arpa/inet.h>
#include <errno.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "protocol/protocol.h"

namespace {

/// The queue of a connected test socket: a whole long stream.
constexpr int TEST_RECEIVE_BUFFER = 8 * 1024 * 1024;

/// A socket of type attached (bound or connected) to 127.0.0.1:port.
int loopback_socket(int type, int port, int (*attach)(int, const sockaddr*, socklen_t)) {
  int fd = socket(AF_INET, type | SOCK_CLOEXEC, 0);
  if (fd < 0)
    return -1;
  sockaddr_in address = loopback_address(port);
  if (attach(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) < 0) {
    int saved = errno;
    close(fd);
    errno = saved;
    return -1;
  }
  return fd;
}

}  // namespace

sockaddr_in loopback_address(int port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

int loopback_bound(int type, int port) {
  return loopback_socket(type, port, bind);
}

int loopback_connected(int port) {
  int fd = loopback_socket(SOCK_DGRAM, port, connect);
  int queue = TEST_RECEIVE_BUFFER;
  if (fd >= 0)
    setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &queue, sizeof queue);
  return fd;
}

int local_port(int fd) {
  sockaddr_in address{};
  socklen_t size = sizeof address;
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
  return ntohs(address.sin_port);
}

int unused_port() {
  int fd = loopback_bound(SOCK_DGRAM);
  int port = local_port(fd);
  close(fd);
  return port;
}

bool port_refuses(int port) {
  int fd = loopback_connected(port);
  if (fd < 0)
    return false;
  // On loopback the refusal comes back within the send.
  bool refused = send(fd, "", 0, 0) < 0 ? errno == ECONNREFUSED : false;
  char byte;
  if (!refused)
    refused = recv(fd, &byte, 1, MSG_DONTWAIT) < 0 && errno == ECONNREFUSED;
  close(fd);
  return refused;
}

bool receive_datagram(int fd, std::string* datagram, int wait_ms) {
  pollfd ready = {fd, POLLIN, 0};
  if (poll(&ready, 1, wait_ms) <= 0)
    return false;
  datagram->resize(MAX_DATAGRAM + 1);  // the caller's own buffer: threads receive side by side
  ssize_t got = recv(fd, datagram->data(), datagram->size(), 0);
  datagram->resize(got < 0 ? 0 : static_cast<size_t>(got));
  return got >= 0;
}
