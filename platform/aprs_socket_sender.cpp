// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/aprs_socket_sender.h"

#include <array>
#include <span>
#include <string>
#include <string_view>

#include "platform/service_senders.h"
#include "platform/upload_socket_factory.h"

namespace nimbrel {
namespace {

AprsResult ResultOf(AprsOutcome outcome, std::string detail) {
  return {outcome, std::move(detail)};
}

// How a socket call that did not succeed ends the session; `what` says what it was doing.
AprsResult Broken(SocketStatus status, const AprsSession& session, std::string_view what) {
  const std::string where = session.host + ":" + std::to_string(session.port);
  switch (status) {
    case SocketStatus::kStopped:
      return ResultOf(AprsOutcome::kStopped, "stopped");
    case SocketStatus::kTimeout:
      return ResultOf(AprsOutcome::kTimedOut, where + ": no progress " + std::string(what));
    case SocketStatus::kClosed:
      return ResultOf(AprsOutcome::kNoConnection,
                      where + ": the server closed the connection " + std::string(what));
    default:
      return ResultOf(AprsOutcome::kNoConnection, where + ": failed " + std::string(what));
  }
}

// Sends every byte of `text`.
SocketStatus SendAll(UploadSocket& socket, std::string_view text, const std::stop_token& stop) {
  while (!text.empty()) {
    const SocketResult sent = socket.Send(text, stop);
    if (sent.status != SocketStatus::kOk) {
      return sent.status;
    }
    text.remove_prefix(sent.count);
  }
  return SocketStatus::kOk;
}

// Reads up to the banner's line feed, kAprsBannerLimit bytes at most, within one deadline.
SocketStatus ReadBanner(UploadSocket& socket, std::chrono::milliseconds timeout,
                        const std::stop_token& stop) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  std::array<char, kAprsBannerLimit> buffer{};
  std::size_t total = 0;
  while (total < buffer.size()) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      return SocketStatus::kTimeout;
    }
    socket.SetReceiveTimeout(left);
    // One byte at a time would be exact but slow; the banner is one short line, and what follows
    // it (nothing until the login) is not lost by reading it here.
    const SocketResult got = socket.Receive(std::span(buffer).subspan(total), stop);
    if (got.status != SocketStatus::kOk) {
      return got.status;
    }
    const std::string_view chunk(buffer.data() + total, got.count);
    total += got.count;
    if (chunk.find('\n') != std::string_view::npos) {
      break;
    }
  }
  return SocketStatus::kOk;
}

// Takes what the server says after the packet until it goes quiet or closes, so that the close
// is orderly: closing with unread bytes would reset the connection, and the packet with it.
void Linger(UploadSocket& socket, std::chrono::milliseconds linger, const std::stop_token& stop) {
  socket.SetReceiveTimeout(linger);
  std::array<char, 512> buffer{};
  for (int reads = 0; reads < 16; ++reads) {
    if (socket.Receive(buffer, stop).status != SocketStatus::kOk) {
      return;
    }
  }
}

}  // namespace

SocketAprsSender::SocketAprsSender(AprsTimeouts timeouts) : timeouts_(timeouts) {}

AprsResult SocketAprsSender::Send(const AprsSession& session, std::stop_token stop) {
  const std::unique_ptr<UploadSocket> socket = MakeUploadSocket();
  if (!socket->Open(session.host, session.port)) {
    return ResultOf(AprsOutcome::kNoConnection,
                    session.host + ": the name does not resolve, or no socket could be made");
  }
  if (const SocketStatus connected = socket->Connect(timeouts_.connect, stop);
      connected != SocketStatus::kOk) {
    return Broken(connected, session, "connecting");
  }
  if (const SocketStatus banner = ReadBanner(*socket, timeouts_.banner, stop);
      banner != SocketStatus::kOk) {
    return Broken(banner, session, "waiting for the banner");
  }
  socket->SetSendTimeout(timeouts_.send);
  if (const SocketStatus login = SendAll(*socket, session.loginLine, stop);
      login != SocketStatus::kOk) {
    return Broken(login, session, "sending the login");
  }
  if (const SocketStatus packet = SendAll(*socket, session.packet, stop);
      packet != SocketStatus::kOk) {
    return Broken(packet, session, "sending the packet");
  }
  // The packet is out: a stop from here on cuts only the wait.
  Linger(*socket, timeouts_.linger, stop);
  return ResultOf(AprsOutcome::kSent, {});
}

std::unique_ptr<AprsSender> MakeAprsSender() {
  return std::make_unique<SocketAprsSender>();
}

}  // namespace nimbrel
