// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/socket_posix.h"

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string>

namespace nimbrel {
namespace {

// The longest a wait goes without looking at the stop request.
constexpr std::chrono::milliseconds kStopCheck{50};

#ifdef MSG_NOSIGNAL
constexpr int kSendFlags = MSG_NOSIGNAL;  // a closed peer is an error, not a SIGPIPE
#else
constexpr int kSendFlags = 0;
#endif

bool Retryable(int error) {
  return error == EAGAIN || error == EWOULDBLOCK || error == EINTR;
}

// Non-blocking, not inherited by child processes, and no SIGPIPE where that is a socket option.
bool Configure(int fd) {
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags < 0 || ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) < 0 ||
      ::fcntl(fd, F_SETFD, FD_CLOEXEC) < 0) {
    return false;
  }
#ifdef SO_NOSIGPIPE
  const int on = 1;
  if (::setsockopt(fd, SOL_SOCKET, SO_NOSIGPIPE, &on, sizeof on) < 0) {
    return false;
  }
#endif
  return true;
}

std::chrono::steady_clock::time_point DeadlineAfter(std::chrono::milliseconds timeout) {
  return std::chrono::steady_clock::now() + timeout;
}

}  // namespace

PosixUploadSocket::~PosixUploadSocket() {
  Close();
}

bool PosixUploadSocket::Open(std::string_view host, std::uint16_t port) {
  Close();
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (::getaddrinfo(std::string(host).c_str(), nullptr, &hints, &found) != 0 || found == nullptr) {
    return false;
  }
  address_ = *reinterpret_cast<const sockaddr_in*>(found->ai_addr);
  ::freeaddrinfo(found);
  address_.sin_port = htons(port);

  fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
  if (fd_ >= 0 && !Configure(fd_)) {
    Close();
  }
  return fd_ >= 0;
}

SocketStatus PosixUploadSocket::Connect(std::chrono::milliseconds timeout, std::stop_token stop) {
  if (fd_ < 0) {
    return SocketStatus::kError;
  }
  if (::connect(fd_, reinterpret_cast<const sockaddr*>(&address_), sizeof address_) == 0) {
    return SocketStatus::kOk;
  }
  if (errno != EINPROGRESS && errno != EINTR) {
    return SocketStatus::kError;
  }
  const SocketStatus ready = WaitReady(POLLOUT, DeadlineAfter(timeout), stop);
  return ready == SocketStatus::kOk ? PendingError() : ready;
}

bool PosixUploadSocket::SetSendTimeout(std::chrono::milliseconds timeout) {
  sendTimeout_ = timeout;
  return fd_ >= 0 && timeout.count() > 0;
}

bool PosixUploadSocket::SetReceiveTimeout(std::chrono::milliseconds timeout) {
  receiveTimeout_ = timeout;
  return fd_ >= 0 && timeout.count() > 0;
}

SocketResult PosixUploadSocket::Send(std::span<const char> bytes, std::stop_token stop) {
  const auto deadline = DeadlineAfter(sendTimeout_);
  for (;;) {
    const SocketStatus ready = WaitReady(POLLOUT, deadline, stop);
    if (ready != SocketStatus::kOk) {
      return {ready};
    }
    const ssize_t sent = ::send(fd_, bytes.data(), bytes.size(), kSendFlags);
    if (sent > 0) {
      return {SocketStatus::kOk, static_cast<std::size_t>(sent)};
    }
    if (sent < 0 && !Retryable(errno)) {
      return {SocketStatus::kError};
    }
  }
}

SocketResult PosixUploadSocket::Receive(std::span<char> buffer, std::stop_token stop) {
  const auto deadline = DeadlineAfter(receiveTimeout_);
  for (;;) {
    const SocketStatus ready = WaitReady(POLLIN, deadline, stop);
    if (ready != SocketStatus::kOk) {
      return {ready};
    }
    const ssize_t received = ::recv(fd_, buffer.data(), buffer.size(), 0);
    if (received > 0) {
      return {SocketStatus::kOk, static_cast<std::size_t>(received)};
    }
    if (received == 0) {
      return {SocketStatus::kClosed};
    }
    if (!Retryable(errno)) {
      return {SocketStatus::kError};
    }
  }
}

void PosixUploadSocket::Close() {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
}

SocketStatus PosixUploadSocket::WaitReady(short events,
                                          std::chrono::steady_clock::time_point deadline,
                                          const std::stop_token& stop) const {
  if (fd_ < 0) {
    return SocketStatus::kError;
  }
  for (;;) {
    if (stop.stop_requested()) {
      return SocketStatus::kStopped;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      return SocketStatus::kTimeout;
    }
    pollfd entry{.fd = fd_, .events = events, .revents = 0};
    const int ready = ::poll(&entry, 1, static_cast<int>(std::min(left, kStopCheck).count()));
    if (ready > 0) {
      return SocketStatus::kOk;  // readable, writable or failed: the next call tells which
    }
    if (ready < 0 && errno != EINTR) {
      return SocketStatus::kError;
    }
  }
}

SocketStatus PosixUploadSocket::PendingError() const {
  int error = 0;
  socklen_t length = sizeof error;
  if (::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &error, &length) < 0 || error != 0) {
    return SocketStatus::kError;
  }
  return SocketStatus::kOk;
}

}  // namespace nimbrel
