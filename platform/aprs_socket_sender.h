// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <cstddef>
#include <stop_token>

#include "upload/service_transport.h"

namespace nimbrel {

struct AprsTimeouts {
  std::chrono::milliseconds connect{10'000};
  std::chrono::milliseconds banner{10'000};  // until the banner's line has come
  std::chrono::milliseconds send{10'000};    // each send call
  // After the packet, what the server says (its login reply) is read for this long at most, so
  // that closing does not reset the connection before the server has taken the packet.
  std::chrono::milliseconds linger{1'000};
};

// The server's banner line is read up to its line feed or this many bytes, whichever comes first.
inline constexpr std::size_t kAprsBannerLimit = 512;

// One APRS-IS session over the program's own TCP socket (POSIX or Windows Sockets). Each call
// makes its own socket, so one sender may serve several threads.
class SocketAprsSender final : public AprsSender {
 public:
  explicit SocketAprsSender(AprsTimeouts timeouts = {});

  // Ends within a fraction of a second of `stop`, except during the name lookup.
  AprsResult Send(const AprsSession& session, std::stop_token stop) override;

 private:
  AprsTimeouts timeouts_;
};

}  // namespace nimbrel
