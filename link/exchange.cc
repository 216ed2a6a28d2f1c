// Receiving the answers of the command exchanges: one datagram, or a stream
// of datagrams ended by a datagram whose first byte is 0x1A.

#include "link/exchange.h"

#include <errno.h>
#include <linux/sock_diag.h>
#include <poll.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include "term/output.h"
#include "term/report.h"

char reply_buffer[REPLY_BATCH_MAX][REPLY_READ_MAX + 1];

namespace {

constexpr char NO_ANSWER[] = "No answer from ZENOTAR server within 10 seconds";
constexpr char INTERRUPTED[] = "Interrupted";
static_assert(REPLY_WAIT_SECONDS == 10, "NO_ANSWER names the wait");

/// Asked-for receive queue of a stream; the kernel caps it at net.core.rmem_max.
constexpr int STREAM_RECEIVE_BUFFER = 64 * 1024 * 1024;

/// The kernel's count of datagrams dropped from the socket's queue, as last seen.
uint32_t dropped_count = 0;

/// Readable once the user has interrupted; -1 when nothing interrupts.
int interrupt_fd = -1;

/// True while the user's interrupt is pending; the console, which owns the
/// pipe, empties it once the command is over.
bool interrupted() {
  pollfd ready = {interrupt_fd, POLLIN, 0};
  return interrupt_fd >= 0 && poll(&ready, 1, 0) == 1;
}

/// The kernel's own count of datagrams dropped from fd's queue, which can be
/// read at any time, also when no later datagram brought it; 0 where the
/// kernel cannot say.
uint32_t socket_drops(int fd) {
  uint32_t info[SK_MEMINFO_VARS] = {};
  socklen_t size = sizeof info;
  if (getsockopt(fd, SOL_SOCKET, SO_MEMINFO, info, &size) < 0 ||
      size < (SK_MEMINFO_DROPS + 1) * sizeof info[0])
    return 0;
  return info[SK_MEMINFO_DROPS];
}

/// Notes the drop count that came with a received datagram.
void note_drops(msghdr* header) {
  for (cmsghdr* c = CMSG_FIRSTHDR(header); c != nullptr; c = CMSG_NXTHDR(header, c)) {
    if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SO_RXQ_OVFL) {
      uint32_t count;
      memcpy(&count, CMSG_DATA(c), sizeof count);
      if (count > dropped_count)
        dropped_count = count;
    }
  }
}

/// Takes the datagrams already queued on fd, at most count_max, into
/// reply_buffer; returns how many, or -1 with errno (EAGAIN when none).
int take_queued(int fd, int count_max, size_t lengths[]) {
  static mmsghdr messages[REPLY_BATCH_MAX];
  static iovec vectors[REPLY_BATCH_MAX];
  alignas(cmsghdr) static char controls[REPLY_BATCH_MAX][CMSG_SPACE(sizeof(uint32_t))];
  for (int i = 0; i < count_max; ++i) {
    reply_buffer[i][0] = '\0';
    vectors[i] = {reply_buffer[i], REPLY_READ_MAX};
    messages[i] = {};
    messages[i].msg_hdr.msg_iov = &vectors[i];
    messages[i].msg_hdr.msg_iovlen = 1;
    messages[i].msg_hdr.msg_control = controls[i];
    messages[i].msg_hdr.msg_controllen = sizeof controls[i];
  }
  int got = recvmmsg(fd, messages, static_cast<unsigned>(count_max), MSG_DONTWAIT, nullptr);
  for (int i = 0; i < got; ++i) {
    lengths[i] = messages[i].msg_len;
    reply_buffer[i][lengths[i]] = '\0';
    note_drops(&messages[i].msg_hdr);
  }
  return got;
}

/// Receives the datagrams queued on fd, at most count_max, waiting at most
/// wait_ms for the first; output is flushed before any wait. Returns how
/// many, or -1 with errno (ETIMEDOUT when none came in time, EINTR when the
/// user interrupted).
int receive_batch(int fd, int count_max, int wait_ms, size_t lengths[]) {
  long long deadline = monotonic_ms() + wait_ms;
  for (;;) {
    if (interrupted()) {
      errno = EINTR;
      return -1;
    }
    int got = take_queued(fd, count_max, lengths);
    if (got > 0)
      return got;
    if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
      return -1;
    output_flush();
    long long left = deadline - monotonic_ms();
    pollfd ready[2] = {{fd, POLLIN, 0}, {interrupt_fd, POLLIN, 0}};
    if (left <= 0 || poll(ready, 2, static_cast<int>(left)) == 0) {
      errno = ETIMEDOUT;
      return -1;
    }
  }
}

/// The text of a received datagram: its bytes up to the first zero byte.
size_t text_length(const char* datagram, size_t length) {
  const void* zero = memchr(datagram, '\0', length);
  return zero ? static_cast<size_t>(static_cast<const char*>(zero) - datagram) : length;
}

/// Ends a stream's output with its newline, then says on standard error why
/// it stopped short (reason: no answer in time, or the user's interrupt),
/// where it did, and how many datagrams the kernel dropped, if any.
void finish_stream(int fd, const char* reason) {
  output_own("\n", 1);
  if (reason != nullptr)
    report_error(reason);
  uint32_t counted = socket_drops(fd);
  if (counted > dropped_count)
    dropped_count = counted;
  if (dropped_count > 0) {
    char line[64];
    snprintf(line, sizeof line, "%u datagrams of this answer were lost", dropped_count);
    report_error(line);
  }
}

/// Tells standard error that the server is not running and exits with status 1.
[[noreturn]] void exit_server_refused() {
  report_error("Connection refused - ZENOTAR server not running");
  exit_client(1);
}

}  // namespace


const char* receive_single(int fd, int wait_ms) {
  dropped_count = 0;
  size_t length;
  if (receive_batch(fd, 1, wait_ms, &length) < 0) {
    if (errno == ECONNREFUSED)
      exit_server_refused();
    if (errno == ETIMEDOUT || errno == EINTR) {
      report_error(errno == EINTR ? INTERRUPTED : NO_ANSWER);
      return nullptr;
    }
    reply_buffer[0][0] = '\0';  // any other failure is the empty answer
  }
  return reply_buffer[0];
}

void receive_stream(int fd, int wait_ms) {
  dropped_count = 0;
  size_t lengths[REPLY_BATCH_MAX];
  for (;;) {
    int got = receive_batch(fd, REPLY_BATCH_MAX, wait_ms, lengths);
    if (got < 0 && errno == ECONNREFUSED)
      exit_server_refused();
    if (got < 0 && (errno == ETIMEDOUT || errno == EINTR)) {
      finish_stream(fd, errno == EINTR ? INTERRUPTED : NO_ANSWER);
      return;
    }
    for (int i = 0; i < got; ++i) {
      if (lengths[i] > 0 && reply_buffer[i][0] == STREAM_END_MARK) {
        finish_stream(fd, nullptr);
        return;
      }
      output_server_text(reply_buffer[i], text_length(reply_buffer[i], lengths[i]));
    }
  }
}

long long monotonic_ms() {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

void set_interrupt_fd(int fd) {
  interrupt_fd = fd;
}

void prepare_stream_socket(int fd) {
  int size = STREAM_RECEIVE_BUFFER;
  setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
  int on = 1;
  setsockopt(fd, SOL_SOCKET, SO_RXQ_OVFL, &on, sizeof on);
}
