// The receiving half of the command exchanges, apart from the socket set-up
// so that it can be driven over any datagram socket.
#ifndef ZENOTAR_LINK_EXCHANGE_H_
#define ZENOTAR_LINK_EXCHANGE_H_

#include <stddef.h>
#include <stdint.h>

#include "protocol/protocol.h"

/// The largest datagram, taken whole by every receive.
inline constexpr size_t REPLY_READ_MAX = MAX_DATAGRAM;
/// How long a receive waits for its datagram.
inline constexpr int REPLY_WAIT_SECONDS = 10;
/// How many queued datagrams one receive call may take.
inline constexpr int REPLY_BATCH_MAX = 32;

/// The receive buffers; the text of the last single answer is in slot 0.
extern char reply_buffer[REPLY_BATCH_MAX][REPLY_READ_MAX + 1];

/// Receives one answer on fd, waiting at most wait_ms; returns its text,
/// nullptr after telling standard error that none came, or exits 1 on refusal.
const char* receive_single(int fd, int wait_ms);

/// Prints the streamed answer arriving on fd up to its end mark, waiting at
/// most wait_ms for each datagram; exits 1 on refusal.
void receive_stream(int fd, int wait_ms);

/// Makes every wait for an answer end while fd is readable (the user has
/// interrupted); the exchange then says "Interrupted". -1: none does.
void set_interrupt_fd(int fd);

/// Milliseconds on the monotonic clock, which the link's waits and the
/// ages of the session's ports are measured on.
long long monotonic_ms();

/// Asks for a large receive queue and for the kernel's count of datagrams
/// dropped from it, so that a fast stream loses nothing or says so.
void prepare_stream_socket(int fd);

#endif  // ZENOTAR_LINK_EXCHANGE_H_
