// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <netinet/in.h>

#include <cstdint>
#include <string_view>

#include "platform/socket_polled.h"

namespace nimbrel {

// The upload socket over POSIX sockets.
class PosixUploadSocket final : public PolledUploadSocket {
 public:
  PosixUploadSocket() = default;
  PosixUploadSocket(const PosixUploadSocket&) = delete;
  PosixUploadSocket& operator=(const PosixUploadSocket&) = delete;
  ~PosixUploadSocket() override;

  bool Open(std::string_view host, std::uint16_t port) override;
  void Close() override;

 private:
  bool IsOpen() const override { return fd_ >= 0; }
  Outcome StartConnect() override;
  Attempt TrySend(std::span<const char> bytes) override;
  Attempt TryReceive(std::span<char> buffer) override;
  Outcome WaitSlice(Readiness readiness, std::chrono::milliseconds slice) const override;
  SocketStatus PendingError() const override;

  int fd_ = -1;
  sockaddr_in address_{};
};

}  // namespace nimbrel
