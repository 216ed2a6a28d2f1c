// Sockets on 127.0.0.1 for tests and benchmarks: nothing here ever sends
// to another address.
#ifndef ZENOTAR_TESTS_LOOPBACK_H_
#define ZENOTAR_TESTS_LOOPBACK_H_

#include <netinet/in.h>

#include <string>

/// The address 127.0.0.1:port.
sockaddr_in loopback_address(int port);

/// A socket of type (SOCK_DGRAM, SOCK_STREAM) bound to 127.0.0.1:port, 0
/// for any free port; -1 with errno.
int loopback_bound(int type, int port = 0);

/// A UDP socket connected to 127.0.0.1:port, with a queue that holds a long
/// answer; -1 with errno.
int loopback_connected(int port);

/// The port a socket is bound to.
int local_port(int fd);

/// A port on 127.0.0.1 where nothing listens (bound, then released).
int unused_port();

/// True when a datagram sent to 127.0.0.1:port is refused: no socket is
/// bound there any more. A socket closed in this process lives on in any
/// child that is between fork and exec, and takes datagrams meanwhile.
bool port_refuses(int port);

/// The next datagram on fd into *datagram; false when none comes within wait_ms.
bool receive_datagram(int fd, std::string* datagram, int wait_ms);

#endif  // ZENOTAR_TESTS_LOOPBACK_H_
