// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/upload/local_http_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

namespace nimbrel::testing {
namespace {

// A socket bound to 127.0.0.1 on a port of the system's choosing; returns the port.
std::uint16_t BindLoopback(int fd) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (fd < 0 || ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    throw std::runtime_error("cannot bind a loopback socket");
  }
  return ntohs(address.sin_port);
}

bool Readable(int fd, int timeoutMs) {
  pollfd entry{.fd = fd, .events = POLLIN, .revents = 0};
  return ::poll(&entry, 1, timeoutMs) > 0;
}

}  // namespace

LocalHttpServer::LocalHttpServer()
    : listener_(::socket(AF_INET, SOCK_STREAM, 0)), port_(BindLoopback(listener_)) {
  if (::listen(listener_, 8) != 0) {
    throw std::runtime_error("cannot listen");
  }
  thread_ = std::thread([this] { Serve(); });
}

LocalHttpServer::~LocalHttpServer() {
  stop_ = true;
  thread_.join();
  ::close(listener_);
}

void LocalHttpServer::Serve() {
  std::vector<int> heldOpen;
  while (!stop_) {
    const int connection = Readable(listener_, 20) ? ::accept(listener_, nullptr, nullptr) : -1;
    if (connection >= 0 && Answer(connection)) {
      heldOpen.push_back(connection);
    } else if (connection >= 0) {
      ::close(connection);
    }
  }
  for (const int fd : heldOpen) {
    ::close(fd);
  }
}

bool LocalHttpServer::Answer(int connection) {
  std::string request;
  char chunk[512];
  for (ssize_t got = 0; request.find("\r\n\r\n") == std::string::npos && !stop_ &&
                        Readable(connection, 2000) &&
                        (got = ::recv(connection, chunk, sizeof chunk, 0)) > 0;) {
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
      const ssize_t sent = ::send(connection, reply.text.data() + at,
                                  std::min(step, reply.text.size() - at), MSG_NOSIGNAL);
      sending = sent > 0;
      at += sending ? static_cast<std::size_t>(sent) : 0;
      std::this_thread::sleep_for(reply.trickle);
    }
  } while (sending && reply.endless && !stop_);
  return reply.keepOpen;
}

RefusingPort::RefusingPort()
    : socket(::socket(AF_INET, SOCK_STREAM, 0)), port(BindLoopback(socket)) {}

RefusingPort::~RefusingPort() {
  ::close(socket);
}

}  // namespace nimbrel::testing
