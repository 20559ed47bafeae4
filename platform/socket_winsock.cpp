// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/socket_winsock.h"

#include <ws2tcpip.h>

#include <algorithm>
#include <climits>
#include <string>

#include "platform/upload_socket_factory.h"
#include "platform/win32_text.h"

namespace nimbrel {
namespace {

// Windows Sockets for the life of the process: started by the first socket that needs them.
class WinsockSession {
 public:
  WinsockSession() {
    WSADATA data{};
    started_ = ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }
  WinsockSession(const WinsockSession&) = delete;
  WinsockSession& operator=(const WinsockSession&) = delete;
  ~WinsockSession() {
    if (started_) {
      ::WSACleanup();
    }
  }
  bool Started() const { return started_; }

 private:
  bool started_ = false;
};

bool WinsockStarted() {
  static const WinsockSession session;  // thread-safe, once
  return session.Started();
}

bool Retryable(int error) {
  return error == WSAEWOULDBLOCK || error == WSAEINPROGRESS || error == WSAEINTR;
}

// The first IPv4 address of `host`, or false.
bool Resolve(std::string_view host, sockaddr_in& address) {
  const std::wstring name = Utf8ToWide(host);
  ADDRINFOW hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  ADDRINFOW* found = nullptr;
  if (name.empty() || ::GetAddrInfoW(name.c_str(), nullptr, &hints, &found) != 0 ||
      found == nullptr) {
    return false;
  }
  address = *reinterpret_cast<const sockaddr_in*>(found->ai_addr);
  ::FreeAddrInfoW(found);
  return true;
}

// Not inherited by child processes, and non-blocking.
SOCKET NewSocket() {
  const SOCKET made = ::WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0,
                                   WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
  u_long nonBlocking = 1;
  if (made != INVALID_SOCKET && ::ioctlsocket(made, FIONBIO, &nonBlocking) != 0) {
    ::closesocket(made);
    return INVALID_SOCKET;
  }
  return made;
}

// A call's result by the error it left.
PolledUploadSocket::Outcome AfterFailure() {
  return Retryable(::WSAGetLastError()) ? PolledUploadSocket::Outcome::kWouldBlock
                                        : PolledUploadSocket::Outcome::kError;
}

int ClampedSize(std::size_t size) {
  return static_cast<int>(std::min<std::size_t>(size, INT_MAX));
}

}  // namespace

std::unique_ptr<UploadSocket> MakeUploadSocket() {
  return std::make_unique<WinsockUploadSocket>();
}

WinsockUploadSocket::~WinsockUploadSocket() {
  Close();
}

bool WinsockUploadSocket::Open(std::string_view host, std::uint16_t port) {
  Close();
  if (!WinsockStarted() || !Resolve(host, address_)) {
    return false;
  }
  address_.sin_port = ::htons(port);
  socket_ = NewSocket();
  return socket_ != INVALID_SOCKET;
}

void WinsockUploadSocket::Close() {
  if (socket_ != INVALID_SOCKET) {
    ::closesocket(socket_);
    socket_ = INVALID_SOCKET;
  }
}

PolledUploadSocket::Outcome WinsockUploadSocket::StartConnect() {
  if (::connect(socket_, reinterpret_cast<const sockaddr*>(&address_), sizeof address_) == 0) {
    return Outcome::kDone;
  }
  return AfterFailure();
}

PolledUploadSocket::Attempt WinsockUploadSocket::TrySend(std::span<const char> bytes) {
  const int sent = ::send(socket_, bytes.data(), ClampedSize(bytes.size()), 0);
  if (sent > 0) {
    return {Outcome::kDone, static_cast<std::size_t>(sent)};
  }
  return {sent == 0 ? Outcome::kWouldBlock : AfterFailure()};
}

PolledUploadSocket::Attempt WinsockUploadSocket::TryReceive(std::span<char> buffer) {
  const int received = ::recv(socket_, buffer.data(), ClampedSize(buffer.size()), 0);
  if (received > 0) {
    return {Outcome::kDone, static_cast<std::size_t>(received)};
  }
  return {received == 0 ? Outcome::kClosed : AfterFailure()};
}

PolledUploadSocket::Outcome WinsockUploadSocket::WaitSlice(Readiness readiness,
                                                           std::chrono::milliseconds slice) const {
  fd_set ready;
  FD_ZERO(&ready);
  FD_SET(socket_, &ready);
  // A connect that fails shows in the exception set, not the write set.
  fd_set failed;
  FD_ZERO(&failed);
  FD_SET(socket_, &failed);
  const bool reading = readiness == Readiness::kReadable;
  const bool connecting = readiness == Readiness::kConnected;
  timeval wait{.tv_sec = static_cast<long>(slice.count() / 1000),
               .tv_usec = static_cast<long>(slice.count() % 1000 * 1000)};
  const int count = ::select(0, reading ? &ready : nullptr, reading ? nullptr : &ready,
                             connecting ? &failed : nullptr, &wait);
  if (count > 0) {
    return Outcome::kDone;
  }
  return count == 0 ? Outcome::kWouldBlock : AfterFailure();
}

SocketStatus WinsockUploadSocket::PendingError() const {
  int error = 0;
  int length = sizeof error;
  if (::getsockopt(socket_, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) != 0 ||
      error != 0) {
    return SocketStatus::kError;
  }
  return SocketStatus::kOk;
}

}  // namespace nimbrel
