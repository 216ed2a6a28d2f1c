#include "tests/script_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

#include "protocol/protocol.h"
#include "tests/wait.h"

namespace {

void play(ScriptServer* server, const Reply& reply, const sockaddr_in& peer) {
  for (const ScriptStep& step : reply) {
    if (step.kind == ScriptStep::PAUSE) {
      std::this_thread::sleep_for(std::chrono::milliseconds(step.ms));
      continue;
    }
    if (step.kind == ScriptStep::CALL) {
      step.call();
      continue;
    }
    if (step.kind == ScriptStep::CLOSE) {
      close(server->fd);
      server->closed = true;
      return;
    }
    int fd = server->fd;
    if (step.kind == ScriptStep::SEND_FROM_STRANGER)
      fd = loopback_bound(SOCK_DGRAM);
    sendto(fd, step.bytes.data(), step.bytes.size(), 0,
           reinterpret_cast<const sockaddr*>(&peer), sizeof peer);
    if (fd != server->fd)
      close(fd);
  }
}

void serve_script(ScriptServer* server) {
  std::vector<char> buffer(MAX_DATAGRAM + 1);  // each server thread its own
  char* datagram = buffer.data();
  while (!server->stopping && !server->closed) {
    pollfd ready = {server->fd, POLLIN, 0};
    if (poll(&ready, 1, 50) <= 0)
      continue;
    sockaddr_in peer{};
    socklen_t size = sizeof peer;
    ssize_t got = recvfrom(server->fd, datagram, buffer.size(), 0,
                           reinterpret_cast<sockaddr*>(&peer), &size);
    if (got < 0)
      continue;
    size_t number;
    {
      std::lock_guard<std::mutex> hold(server->lock);
      number = server->requests.size();
      server->requests.emplace_back(datagram, static_cast<size_t>(got));
      server->last_peer = peer;
    }
    play(server, number < server->script.size() ? server->script[number] : server->otherwise,
         peer);
  }
}

}  // namespace

Reply answer(const std::string& bytes) {
  return {{ScriptStep::SEND, bytes}};
}

Reply stream(const std::vector<std::string>& texts) {
  Reply reply;
  for (const std::string& text : texts)
    reply.push_back({ScriptStep::SEND, text});
  reply.push_back({ScriptStep::SEND, std::string(1, STREAM_END_MARK)});
  return reply;
}

Reply silence() {
  return {};
}

void start_script_server(ScriptServer* server, std::vector<Reply> script, Reply otherwise) {
  server->fd = loopback_bound(SOCK_DGRAM);
  server->port = local_port(server->fd);
  server->script = std::move(script);
  server->otherwise = std::move(otherwise);
  server->thread = std::thread(serve_script, server);
}

void stop_script_server(ScriptServer* server) {
  server->stopping = true;
  if (server->thread.joinable())
    server->thread.join();
  if (!server->closed)
    close(server->fd);
  server->fd = -1;
}

std::vector<std::string> received_requests(ScriptServer* server) {
  std::lock_guard<std::mutex> hold(server->lock);
  return server->requests;
}

bool server_gone(ScriptServer* server) {
  return server->closed && port_refuses(server->port);
}

bool wait_for_requests(ScriptServer* server, size_t count) {
  return wait_until([&] { return received_requests(server).size() >= count; });
}
