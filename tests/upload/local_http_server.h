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

// What the server does with one connection after reading its request.
struct ServerReply {
  enum class Then { kClose, kKeepOpen };
  enum class Pace {
    kAtOnce,   // the whole text in one go
    kTrickle,  // one byte every `interval`
    kEndless,  // the text again and again until the client goes away
  };
  std::string text = "HTTP/1.0 200 OK\r\n\r\nsuccess\n";
  Then then = Then::kClose;
  Pace pace = Pace::kAtOnce;
  std::chrono::milliseconds interval{0};
};

// A tiny HTTP server on 127.0.0.1 and an ephemeral port, one connection at a time: it reads a
// request up to its empty line, keeps it, and answers with the next scripted reply (the default
// one when the script is used up).
class LocalHttpServer {
 public:
  LocalHttpServer();
  LocalHttpServer(const LocalHttpServer&) = delete;
  LocalHttpServer& operator=(const LocalHttpServer&) = delete;
  ~LocalHttpServer();

  std::uint16_t Port() const { return port_; }
  void Script(ServerReply reply);
  // The requests read so far, once `count` have come; fewer after `timeout`.
  std::vector<std::string> WaitForRequests(std::size_t count, std::chrono::milliseconds timeout);

 private:
  void Serve();
  void Answer(int connection);
  void SendReply(int connection, const ServerReply& reply) const;

  int listener_ = -1;
  std::uint16_t port_ = 0;
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<ServerReply> script_;
  std::vector<std::string> requests_;
  std::vector<int> heldOpen_;  // only the serving thread touches these
  std::thread thread_;
};

// A port on 127.0.0.1 that refuses connections: bound, so nobody else takes it, but not listening.
struct RefusingPort {
  RefusingPort();
  ~RefusingPort();
  int socket = -1;
  std::uint16_t port = 0;
};

}  // namespace nimbrel::testing
