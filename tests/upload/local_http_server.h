// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace nimbrel::testing {

// A socket of the system: SOCKET on Windows, a file descriptor elsewhere.
#ifdef _WIN32
using SocketHandle = std::uintptr_t;
#else
using SocketHandle = int;
#endif

// What the server does with one connection after reading its request.
struct ServerReply {
  std::string text = "HTTP/1.0 200 OK\r\n\r\nsuccess\n";
  bool keepOpen = false;
  std::chrono::milliseconds trickle{0};  // when set, one byte every this long
  bool endless = false;                  // the text again and again until the client goes away
};

// A tiny HTTP server on 127.0.0.1, one connection at a time: it reads a request up to its empty
// line, keeps it, and answers with the next scripted reply (the default one when none is left).
class LocalHttpServer {
 public:
  LocalHttpServer();
  ~LocalHttpServer();

  std::uint16_t Port() const { return port_; }
  void Script(ServerReply reply) {
    std::lock_guard lock(mutex_);
    script_.push_back(std::move(reply));
  }
  // The requests read so far, once `count` have come; fewer after `timeout`.
  std::vector<std::string> WaitForRequests(std::size_t count, std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, timeout, [&] { return requests_.size() >= count; });
    return requests_;
  }

 private:
  void Serve();
  // Answers one request; true when the connection is to stay open.
  bool Answer(SocketHandle connection);

  SocketHandle listener_;
  std::uint16_t port_ = 0;
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<ServerReply> script_;
  std::vector<std::string> requests_;
  std::thread thread_;
};

// A port on 127.0.0.1 that refuses connections: bound, so nobody else takes it, but not listening.
struct RefusingPort {
  RefusingPort();
  RefusingPort(const RefusingPort&) = delete;
  RefusingPort& operator=(const RefusingPort&) = delete;
  ~RefusingPort();
  SocketHandle socket;
  std::uint16_t port = 0;
};

}  // namespace nimbrel::testing
