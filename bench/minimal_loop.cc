// The baseline of the benchmark: the least a program can do per command with
// no console. For each of `count` commands it looks up zenotar/udp, localhost
// and udp, opens and connects a socket, sends the command, receives and
// prints one datagram (or, in stream mode, datagrams up to the 0x1A end mark,
// one read and one print each, as a straightforward client would, giving up
// after 2 seconds without a datagram), and closes.
//
// usage: minimal_loop single|stream COUNT COMMAND

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include "protocol/protocol.h"

static char datagram[MAX_DATAGRAM + 1];

static int open_socket() {
  const servent* service = getservbyname(SERVICE_NAME, SERVICE_PROTOCOL);
  const hostent* host = gethostbyname("localhost");
  const protoent* proto = getprotobyname(SERVICE_PROTOCOL);
  if (service == nullptr || host == nullptr || proto == nullptr)
    return -1;
  sockaddr_in address;
  memset(&address, 0, sizeof address);
  address.sin_family = AF_INET;
  address.sin_port = static_cast<in_port_t>(service->s_port);
  memcpy(&address.sin_addr, host->h_addr_list[0], 4);
  int fd = socket(AF_INET, SOCK_DGRAM, proto->p_proto);
  if (fd < 0 || connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) < 0)
    return -1;
  return fd;
}

int main(int argc, char** argv) {
  if (argc != 4)
    return 2;
  bool stream = strcmp(argv[1], "stream") == 0;
  long count = atol(argv[2]);
  const char* command = argv[3];
  for (long i = 0; i < count; ++i) {
    int fd = open_socket();
    if (fd < 0)
      return 1;
    if (stream) {
      // A lost end mark must not leave the baseline waiting for ever.
      timeval wait = {2, 0};
      setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    }
    send(fd, command, strlen(command) + 1, 0);
    for (;;) {
      ssize_t got = recv(fd, datagram, sizeof datagram - 1, 0);
      if (got < 0)
        break;
      datagram[got] = '\0';
      if (stream && got > 0 && datagram[0] == STREAM_END_MARK)
        break;
      fputs(datagram, stdout);
      if (!stream)
        break;
    }
    putchar('\n');
    close(fd);
  }
  return 0;
}
