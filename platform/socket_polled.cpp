// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/socket_polled.h"

#include <algorithm>

namespace nimbrel {
namespace {

// The longest a wait goes without looking at the stop request.
constexpr std::chrono::milliseconds kStopCheck{50};

std::chrono::steady_clock::time_point DeadlineAfter(std::chrono::milliseconds timeout) {
  return std::chrono::steady_clock::now() + timeout;
}

}  // namespace

SocketStatus PolledUploadSocket::Connect(std::chrono::milliseconds timeout, std::stop_token stop) {
  if (!IsOpen()) {
    return SocketStatus::kError;
  }
  switch (StartConnect()) {
    case Outcome::kDone:
      return SocketStatus::kOk;
    case Outcome::kWouldBlock:
      break;
    default:
      return SocketStatus::kError;
  }
  const SocketStatus ready = WaitReady(Readiness::kConnected, DeadlineAfter(timeout), stop);
  return ready == SocketStatus::kOk ? PendingError() : ready;
}

bool PolledUploadSocket::SetSendTimeout(std::chrono::milliseconds timeout) {
  sendTimeout_ = timeout;
  return IsOpen() && timeout.count() > 0;
}

bool PolledUploadSocket::SetReceiveTimeout(std::chrono::milliseconds timeout) {
  receiveTimeout_ = timeout;
  return IsOpen() && timeout.count() > 0;
}

SocketResult PolledUploadSocket::Send(std::span<const char> bytes, std::stop_token stop) {
  const auto deadline = DeadlineAfter(sendTimeout_);
  for (;;) {
    const SocketStatus ready = WaitReady(Readiness::kWritable, deadline, stop);
    if (ready != SocketStatus::kOk) {
      return {ready};
    }
    const Attempt sent = TrySend(bytes);
    if (sent.outcome == Outcome::kDone) {
      return {SocketStatus::kOk, sent.count};
    }
    if (sent.outcome != Outcome::kWouldBlock) {
      return {SocketStatus::kError};
    }
  }
}

SocketResult PolledUploadSocket::Receive(std::span<char> buffer, std::stop_token stop) {
  const auto deadline = DeadlineAfter(receiveTimeout_);
  for (;;) {
    const SocketStatus ready = WaitReady(Readiness::kReadable, deadline, stop);
    if (ready != SocketStatus::kOk) {
      return {ready};
    }
    const Attempt received = TryReceive(buffer);
    switch (received.outcome) {
      case Outcome::kDone:
        return {SocketStatus::kOk, received.count};
      case Outcome::kClosed:
        return {SocketStatus::kClosed};
      case Outcome::kWouldBlock:
        break;
      case Outcome::kError:
        return {SocketStatus::kError};
    }
  }
}

SocketStatus PolledUploadSocket::WaitReady(Readiness readiness,
                                           std::chrono::steady_clock::time_point deadline,
                                           const std::stop_token& stop) const {
  if (!IsOpen()) {
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
    switch (WaitSlice(readiness, std::min(left, kStopCheck))) {
      case Outcome::kDone:
        return SocketStatus::kOk;
      case Outcome::kError:
        return SocketStatus::kError;
      default:
        break;
    }
  }
}

}  // namespace nimbrel
