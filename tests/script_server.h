// A scripted UDP server on 127.0.0.1 for tests: it records every request and
// answers the n-th one with the n-th reply of its script.
#ifndef ZENOTAR_TESTS_SCRIPT_SERVER_H_
#define ZENOTAR_TESTS_SCRIPT_SERVER_H_

#include <netinet/in.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tests/loopback.h"

/// One step of a reply: a datagram to send, a pause, a datagram sent from
/// another local port than the server's, the server going away (its port
/// closed), or a call into the test.
struct ScriptStep {
  enum Kind { SEND, PAUSE, SEND_FROM_STRANGER, CLOSE, CALL } kind;
  std::string bytes = {};
  int ms = 0;
  std::function<void()> call = nullptr;
};

/// What the server does for one request: its steps in order.
using Reply = std::vector<ScriptStep>;

/// A single answer of one datagram.
Reply answer(const std::string& bytes);
/// A streamed answer: one datagram per text, then the end mark.
Reply stream(const std::vector<std::string>& texts);
/// No answer at all.
Reply silence();

struct ScriptServer {
  int fd = -1;
  int port = 0;
  std::vector<Reply> script;  ///< by request number
  Reply otherwise;            ///< for requests past the script
  std::atomic<bool> stopping{false};
  std::atomic<bool> closed{false};
  std::mutex lock;
  std::vector<std::string> requests;
  sockaddr_in last_peer{};  ///< who sent the request being answered
  std::thread thread;
};

/// Binds an ephemeral port on 127.0.0.1 and serves the script in a thread.
void start_script_server(ScriptServer* server, std::vector<Reply> script,
                         Reply otherwise = silence());

/// Stops the thread and closes the port.
void stop_script_server(ScriptServer* server);

/// The requests received so far, as their exact bytes.
std::vector<std::string> received_requests(ScriptServer* server);

/// True once the server has played CLOSE and its port refuses datagrams:
/// what is sent then meets no socket, not one about to close.
bool server_gone(ScriptServer* server);

/// Waits until the server has had count requests; false if it never does.
bool wait_for_requests(ScriptServer* server, size_t count);

#endif  // ZENOTAR_TESTS_SCRIPT_SERVER_H_
