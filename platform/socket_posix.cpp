// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/socket_posix.h"

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/upload_socket_factory.h"

namespace nimbrel {
namespace {

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

}  // namespace

std::unique_ptr<UploadSocket> MakeUploadSocket() {
  return std::make_unique<PosixUploadSocket>();
}

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

void PosixUploadSocket::Close() {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
}

PolledUploadSocket::Outcome PosixUploadSocket::StartConnect() {
  if (::connect(fd_, reinterpret_cast<const sockaddr*>(&address_), sizeof address_) == 0) {
    return Outcome::kDone;
  }
  return errno == EINPROGRESS || errno == EINTR ? Outcome::kWouldBlock : Outcome::kError;
}

PolledUploadSocket::Attempt PosixUploadSocket::TrySend(std::span<const char> bytes) {
  const ssize_t sent = ::send(fd_, bytes.data(), bytes.size(), kSendFlags);
  if (sent > 0) {
    return {Outcome::kDone, static_cast<std::size_t>(sent)};
  }
  return {sent == 0 || Retryable(errno) ? Outcome::kWouldBlock : Outcome::kError};
}

PolledUploadSocket::Attempt PosixUploadSocket::TryReceive(std::span<char> buffer) {
  const ssize_t received = ::recv(fd_, buffer.data(), buffer.size(), 0);
  if (received > 0) {
    return {Outcome::kDone, static_cast<std::size_t>(received)};
  }
  if (received == 0) {
    return {Outcome::kClosed};
  }
  return {Retryable(errno) ? Outcome::kWouldBlock : Outcome::kError};
}

PolledUploadSocket::Outcome PosixUploadSocket::WaitSlice(Readiness readiness,
                                                         std::chrono::milliseconds slice) const {
  const short events = readiness == Readiness::kReadable ? POLLIN : POLLOUT;
  pollfd entry{.fd = fd_, .events = events, .revents = 0};
  const int ready = ::poll(&entry, 1, static_cast<int>(slice.count()));
  if (ready > 0) {
    return Outcome::kDone;
  }
  return ready == 0 || errno == EINTR ? Outcome::kWouldBlock : Outcome::kError;
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
