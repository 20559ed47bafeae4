// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <cstddef>
#include <span>
#include <stop_token>

#include "upload/upload_socket.h"

namespace nimbrel {

// What both socket adapters share: the socket is non-blocking and every wait is a poll in short
// slices, so that time-outs are exact and a stop request is seen at once. A subclass makes the
// system's calls; this class decides when to make them and what their results mean.
class PolledUploadSocket : public UploadSocket {
 public:
  // What a wait is for: a connect in progress (which may also end in failure), a send, a receive.
  enum class Readiness { kConnected, kWritable, kReadable };
  // What one call on the non-blocking socket did.
  enum class Outcome { kDone, kClosed, kWouldBlock, kError };
  struct Attempt {
    Outcome outcome = Outcome::kError;
    std::size_t count = 0;
  };

  SocketStatus Connect(std::chrono::milliseconds timeout, std::stop_token stop) final;
  bool SetSendTimeout(std::chrono::milliseconds timeout) final;
  bool SetReceiveTimeout(std::chrono::milliseconds timeout) final;
  SocketResult Send(std::span<const char> bytes, std::stop_token stop) final;
  SocketResult Receive(std::span<char> buffer, std::stop_token stop) final;

 protected:
  virtual bool IsOpen() const = 0;
  // Starts connecting: kDone when already connected, kWouldBlock while it goes on, or kError.
  virtual Outcome StartConnect() = 0;
  virtual Attempt TrySend(std::span<const char> bytes) = 0;
  virtual Attempt TryReceive(std::span<char> buffer) = 0;
  // Waits at most `slice`: kDone when the socket is ready (or failed: the next call tells which),
  // kWouldBlock when the slice passed, kError when the wait itself failed.
  virtual Outcome WaitSlice(Readiness readiness, std::chrono::milliseconds slice) const = 0;
  // kOk when the socket reports no error, kError otherwise.
  virtual SocketStatus PendingError() const = 0;

 private:
  SocketStatus WaitReady(Readiness readiness, std::chrono::steady_clock::time_point deadline,
                         const std::stop_token& stop) const;

  std::chrono::milliseconds sendTimeout_{0};
  std::chrono::milliseconds receiveTimeout_{0};
};

}  // namespace nimbrel
