// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>
#include <stop_token>
#include <string_view>

namespace nimbrel {

// How one socket call ended.
enum class SocketStatus {
  kOk,       // done: connected, or `count` bytes moved
  kClosed,   // receive only: the server closed the connection
  kTimeout,  // nothing could be done within the time-out; the socket reports no error
  kError,    // the socket reports an error (refused, reset, unreachable)
  kStopped,  // the stop token was set while waiting
};

struct SocketResult {
  SocketStatus status = SocketStatus::kError;
  std::size_t count = 0;
};

// The TCP client the upload worker uses, one connection at a time. Only the worker's thread calls
// it. Every wait ends within a fraction of a second once `stop` is set, so that the worker can be
// stopped while a server keeps it waiting.
class UploadSocket {
 public:
  virtual ~UploadSocket() = default;

  // Resolves `host` to its first IPv4 address and creates a fresh TCP socket for it, closing any
  // previous one. False when the name does not resolve or no socket can be made.
  virtual bool Open(std::string_view host, std::uint16_t port) = 0;

  // Connects the opened socket, waiting at most `timeout`.
  virtual SocketStatus Connect(std::chrono::milliseconds timeout, std::stop_token stop) = 0;

  // The longest wait of each following Send or Receive. False when it cannot be applied.
  virtual bool SetSendTimeout(std::chrono::milliseconds timeout) = 0;
  virtual bool SetReceiveTimeout(std::chrono::milliseconds timeout) = 0;

  // One send call: sends some of `bytes`, at least one when it succeeds.
  virtual SocketResult Send(std::span<const char> bytes, std::stop_token stop) = 0;

  // One receive call: up to `buffer.size()` bytes, or kClosed once the server has closed.
  virtual SocketResult Receive(std::span<char> buffer, std::stop_token stop) = 0;

  // Closes the socket, if one is open.
  virtual void Close() = 0;
};

}  // namespace nimbrel
