// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <netinet/in.h>

#include <chrono>
#include <cstdint>
#include <string_view>

#include "upload/upload_socket.h"

namespace nimbrel {

// The upload socket over POSIX sockets. The socket is non-blocking and every wait is a poll in
// short slices, so that time-outs are exact and a stop request is seen at once.
class PosixUploadSocket final : public UploadSocket {
 public:
  PosixUploadSocket() = default;
  PosixUploadSocket(const PosixUploadSocket&) = delete;
  PosixUploadSocket& operator=(const PosixUploadSocket&) = delete;
  ~PosixUploadSocket() override;

  bool Open(std::string_view host, std::uint16_t port) override;
  SocketStatus Connect(std::chrono::milliseconds timeout, std::stop_token stop) override;
  bool SetSendTimeout(std::chrono::milliseconds timeout) override;
  bool SetReceiveTimeout(std::chrono::milliseconds timeout) override;
  SocketResult Send(std::span<const char> bytes, std::stop_token stop) override;
  SocketResult Receive(std::span<char> buffer, std::stop_token stop) override;
  void Close() override;

 private:
  // Waits until the socket is ready for `events` or the deadline passes.
  SocketStatus WaitReady(short events, std::chrono::steady_clock::time_point deadline,
                         const std::stop_token& stop) const;
  SocketStatus PendingError() const;

  int fd_ = -1;
  sockaddr_in address_{};
  std::chrono::milliseconds sendTimeout_{0};
  std::chrono::milliseconds receiveTimeout_{0};
};

}  // namespace nimbrel
