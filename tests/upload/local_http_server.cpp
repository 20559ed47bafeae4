// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/upload/local_http_server.h"

#ifdef _WIN32
#include <winsock2.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <stdexcept>

namespace nimbrel::testing {
namespace {

#ifdef _WIN32
using SocketLength = int;
constexpr int kSendFlags = 0;

SocketHandle NewSocket() {
  static const bool started = [] {
    WSADATA data{};
    return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;  // for the rest of the test program
  }();
  return started ? ::socket(AF_INET, SOCK_STREAM, 0) : INVALID_SOCKET;
}
void CloseSocket(SocketHandle fd) {
  ::closesocket(fd);
}
bool Valid(SocketHandle fd) {
  return fd != INVALID_SOCKET;
}
int PollOne(pollfd& entry, int timeoutMs) {
  return ::WSAPoll(&entry, 1, timeoutMs);
}
#else
using SocketLength = socklen_t;
constexpr int kSendFlags = MSG_NOSIGNAL;

SocketHandle NewSocket() {
  return ::socket(AF_INET, SOCK_STREAM, 0);
}
void CloseSocket(SocketHandle fd) {
  ::close(fd);
}
bool Valid(SocketHandle fd) {
  return fd >= 0;
}
int PollOne(pollfd& entry, int timeoutMs) {
  return ::poll(&entry, 1, timeoutMs);
}
#endif

// A socket bound to 127.0.0.1 on a port of the system's choosing; returns the port.
std::uint16_t BindLoopback(SocketHandle fd) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  SocketLength length = sizeof address;
  if (!Valid(fd) || ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    throw std::runtime_error("cannot bind a loopback socket");
  }
  return ntohs(address.sin_port);
}

bool Readable(SocketHandle fd, int timeoutMs) {
  pollfd entry{};
  entry.fd = fd;
  entry.events = POLLIN;
  return PollOne(entry, timeoutMs) > 0;
}

}  // namespace

LocalHttpServer::LocalHttpServer() : listener_(NewSocket()), port_(BindLoopback(listener_)) {
  if (::listen(listener_, 8) != 0) {
    throw std::runtime_error("cannot listen");
  }
  thread_ = std::thread([this] { Serve(); });
}

LocalHttpServer::~LocalHttpServer() {
  stop_ = true;
  thread_.join();
  CloseSocket(listener_);
}

void LocalHttpServer::Serve() {
  std::vector<SocketHandle> heldOpen;
  while (!stop_) {
    if (!Readable(listener_, 20)) {
      continue;
    }
    const SocketHandle connection = ::accept(listener_, nullptr, nullptr);
    if (Valid(connection) && Answer(connection)) {
      heldOpen.push_back(connection);
    } else if (Valid(connection)) {
      CloseSocket(connection);
    }
  }
  for (const SocketHandle fd : heldOpen) {
    CloseSocket(fd);
  }
}

bool LocalHttpServer::Answer(SocketHandle connection) {
  std::string request;
  char chunk[512];
  for (int got = 0; request.find("\r\n\r\n") == std::string::npos && !stop_ &&
                    Readable(connection, 2000) &&
                    (got = static_cast<int>(::recv(connection, chunk, sizeof chunk, 0))) > 0;) {
    request.append(chunk, static_cast<std::size_t>(got));
  }
  ServerReply reply;
  {
    std::lock_guard lock(mutex_);
    requests_.push_back(request);
    if (!script_.empty()) {
      reply = std::move(script_.front());
      script_.pop_front();
    }
  }
  changed_.notify_all();
  const std::size_t step = reply.trickle > std::chrono::milliseconds(0) ? 1 : reply.text.size();
  bool sending = true;
  do {
    for (std::size_t at = 0; sending && at < reply.text.size() && !stop_;) {
      const auto sent =
          ::send(connection, reply.text.data() + at,
                 static_cast<int>(std::min(step, reply.text.size() - at)), kSendFlags);
      sending = sent > 0;
      at += sending ? static_cast<std::size_t>(sent) : 0;
      std::this_thread::sleep_for(reply.trickle);
    }
  } while (sending && reply.endless && !stop_);
  return reply.keepOpen;
}

RefusingPort::RefusingPort() : socket(NewSocket()), port(BindLoopback(socket)) {}

RefusingPort::~RefusingPort() {
  CloseSocket(socket);
}

}  // namespace nimbrel::testing
