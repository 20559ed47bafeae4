// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <winsock2.h>

#include <cstdint>
#include <string_view>

#include "platform/socket_polled.h"

namespace nimbrel {

// The upload socket over Windows Sockets. Windows Sockets are started once for the process, at
// the first Open, and cleaned up when the process ends.
class WinsockUploadSocket final : public PolledUploadSocket {
 public:
  WinsockUploadSocket() = default;
  WinsockUploadSocket(const WinsockUploadSocket&) = delete;
  WinsockUploadSocket& operator=(const WinsockUploadSocket&) = delete;
  ~WinsockUploadSocket() override;

  bool Open(std::string_view host, std::uint16_t port) override;
  void Close() override;

 private:
  bool IsOpen() const override { return socket_ != INVALID_SOCKET; }
  Outcome StartConnect() override;
  Attempt TrySend(std::span<const char> bytes) override;
  Attempt TryReceive(std::span<char> buffer) override;
  Outcome WaitSlice(Readiness readiness, std::chrono::milliseconds slice) const override;
  SocketStatus PendingError() const override;

  SOCKET socket_ = INVALID_SOCKET;
  sockaddr_in address_{};
};

}  // namespace nimbrel
