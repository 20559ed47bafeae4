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

bool SendAll(int fd, std::string_view bytes) {
  for (ssize_t sent = 0; !bytes.empty(); bytes.remove_prefix(static_cast<std::size_t>(sent))) {
    if ((sent = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL)) <= 0) {
      return false;
    }
  }
  return true;
}

}  // namespace

LocalHttpServer::LocalHttpServer() : listener_(::socket(AF_INET, SOCK_STREAM, 0)) {
  port_ = BindLoopback(listener_);
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

void LocalHttpServer::Script(ServerReply reply) {
  std::lock_guard lock(mutex_);
  script_.push_back(std::move(reply));
}

std::vector<std::string> LocalHttpServer::WaitForRequests(std::size_t count,
                                                          std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  changed_.wait_for(lock, timeout, [&] { return requests_.size() >= count; });
  return requests_;
}

void LocalHttpServer::Serve() {
  while (!stop_) {
    if (Readable(listener_, 20)) {
      if (const int connection = ::accept(listener_, nullptr, nullptr); connection >= 0) {
        Answer(connection);
      }
    }
  }
  for (const int fd : heldOpen_) {
    ::close(fd);
  }
}

// Trickled replies go a byte at a time; endless ones start over until the client goes away.
void LocalHttpServer::SendReply(int connection, const ServerReply& reply) const {
  const std::size_t step = reply.pace == ServerReply::Pace::kTrickle ? 1 : reply.text.size();
  do {
    for (std::size_t at = 0; at < reply.text.size() && !stop_; at += step) {
      if (!SendAll(connection, std::string_view(reply.text).substr(at, step))) {
        return;
      }
      std::this_thread::sleep_for(reply.interval);
    }
  } while (reply.pace == ServerReply::Pace::kEndless && !stop_);
}

void LocalHttpServer::Answer(int connection) {
  std::string request;
  char chunk[512];
  ssize_t got = 0;
  while (request.find("\r\n\r\n") == std::string::npos && !stop_ && Readable(connection, 2000) &&
         (got = ::recv(connection, chunk, sizeof chunk, 0)) > 0) {
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
  SendReply(connection, reply);
  if (reply.then == ServerReply::Then::kKeepOpen) {
    heldOpen_.push_back(connection);
  } else {
    ::close(connection);
  }
}

RefusingPort::RefusingPort()
    : socket(::socket(AF_INET, SOCK_STREAM, 0)), port(BindLoopback(socket)) {}

RefusingPort::~RefusingPort() {
  ::close(socket);
}

}  // namespace nimbrel::testing
