// SPDX-License-Identifier: GPL-3.0-or-later
#include "upload/http_client.h"

#include <algorithm>
#include <array>
#include <optional>
#include <span>

namespace nimbrel {
namespace {

constexpr int kPrepareAttempts = 5;
// A time-out that cannot be set is tried again this many times, then the exchange fails: without
// it a silent server could hold the worker for good.
constexpr int kTimeoutRetries = 3;
constexpr std::size_t kReceiveChunk = 1024;
// A reply larger than this is no acknowledgement; reading stops there.
constexpr std::size_t kMaxReplyBytes = 1 << 20;

// The diagnostic lines, exactly as the program has always printed them (two end in a slash and
// an "n" rather than a line break).
constexpr std::string_view kSetSendTimeoutError = "set sendtimeout error/n";
constexpr std::string_view kSendTimeout = "send timeout!\n";
constexpr std::string_view kSetReceiveTimeoutError = "set revtimeout error/n";
constexpr std::string_view kReceiveTimeout = "recv timeout!\n";

using SetTimeout = bool (UploadSocket::*)(std::chrono::milliseconds);

void Diagnose(const UploadLink& link, std::string_view line) {
  link.diagnostics << line;
  link.diagnostics.flush();
}

// Resolves the host and makes a socket, with a pause between failed attempts.
std::optional<UploadOutcome> Prepare(const UploadEndpoint& endpoint, const UploadLink& link,
                                     std::stop_token stop) {
  for (int attempt = 1;; ++attempt) {
    if (link.socket.Open(endpoint.host, endpoint.port)) {
      return std::nullopt;
    }
    if (attempt == kPrepareAttempts) {
      return UploadOutcome::kNoConnection;
    }
    if (!link.clock.Sleep(link.timeouts.retryPause, stop)) {
      return UploadOutcome::kStopped;
    }
  }
}

bool ApplyTimeout(const UploadLink& link, SetTimeout set, std::chrono::milliseconds timeout,
                  std::string_view failureLine) {
  for (int attempt = 0; attempt <= kTimeoutRetries; ++attempt) {
    if ((link.socket.*set)(timeout)) {
      return true;
    }
    Diagnose(link, failureLine);
  }
  return false;
}

UploadOutcome FailedSend(SocketStatus status, const UploadLink& link) {
  if (status == SocketStatus::kStopped) {
    return UploadOutcome::kStopped;
  }
  if (status == SocketStatus::kTimeout) {
    Diagnose(link, kSendTimeout);
  }
  return UploadOutcome::kSendFailed;
}

// Connects and sends every byte of the request; the outcome when that fails.
std::optional<UploadOutcome> SendRequest(std::string_view text, const UploadLink& link,
                                         std::stop_token stop) {
  const SocketStatus connected = link.socket.Connect(link.timeouts.send, stop);
  if (connected != SocketStatus::kOk) {
    return FailedSend(connected, link);
  }
  const std::span<const char> bytes(text.data(), text.size());
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    if (!ApplyTimeout(link, &UploadSocket::SetSendTimeout, link.timeouts.send,
                      kSetSendTimeoutError)) {
      return UploadOutcome::kSendFailed;
    }
    const SocketResult result = link.socket.Send(bytes.subspan(sent), stop);
    if (result.status != SocketStatus::kOk || result.count == 0) {
      return FailedSend(result.status, link);
    }
    sent += std::min(result.count, bytes.size() - sent);
  }
  return std::nullopt;
}

// Counts every byte but keeps only those that will be judged.
void Keep(UploadResult& reply, std::span<const char> chunk) {
  reply.replyBytes += chunk.size();
  const std::size_t room = kJudgedReplyLength - reply.replyText.size();
  reply.replyText.append(chunk.data(), std::min(room, chunk.size()));
}

// Reads until the server closes the connection.
UploadResult ReceiveReply(const UploadLink& link, std::stop_token stop) {
  UploadResult reply = ResultOf(UploadOutcome::kNotAcknowledged);
  std::array<char, kReceiveChunk> chunk{};
  const std::chrono::milliseconds deadline = link.clock.Now() + link.timeouts.reply;
  for (;;) {
    if (link.clock.Now() > deadline || reply.replyBytes > kMaxReplyBytes) {
      Diagnose(link, kReceiveTimeout);
      return ResultOf(UploadOutcome::kReceiveFailed);
    }
    if (!ApplyTimeout(link, &UploadSocket::SetReceiveTimeout, link.timeouts.receive,
                      kSetReceiveTimeoutError)) {
      return ResultOf(UploadOutcome::kReceiveFailed);
    }
    const SocketResult result = link.socket.Receive(chunk, stop);
    if (result.status == SocketStatus::kOk && result.count > 0) {
      Keep(reply, std::span<const char>(chunk).first(std::min(result.count, chunk.size())));
      continue;
    }
    if (result.status == SocketStatus::kTimeout) {
      Diagnose(link, kReceiveTimeout);
      return ResultOf(UploadOutcome::kReceiveFailed);
    }
    if (result.status == SocketStatus::kStopped) {
      return ResultOf(UploadOutcome::kStopped);
    }
    break;  // closed, or a socket error: the reply is what has arrived
  }
  if (reply.replyBytes == 0) {
    return ResultOf(UploadOutcome::kNoReply);
  }
  reply.replyText.resize(std::min(reply.replyText.size(), reply.replyText.find('\0')));
  return reply;
}

}  // namespace

UploadResult SendOneRequest(const UploadRequest& request, const UploadLink& link,
                            std::stop_token stop) {
  if (const auto failed = Prepare(request.endpoint, link, stop)) {
    link.socket.Close();
    return ResultOf(*failed);
  }
  UploadResult result;
  if (const auto failed = SendRequest(request.text, link, stop)) {
    result.outcome = *failed;
  } else {
    result = ReceiveReply(link, stop);
  }
  link.socket.Close();
  return result;
}

bool IsAcknowledgement(ServerIndex service, std::string_view replyText) {
  if (service == ServerIndex::Weathercloud) {
    return StatusCodeIs200(replyText);
  }
  return replyText.find("success") != std::string_view::npos;
}

bool StatusCodeIs200(std::string_view replyText) {
  const std::string_view line = replyText.substr(0, replyText.find_first_of("\r\n"));
  const std::size_t space = line.find(' ');
  if (!line.starts_with("HTTP/") || space == std::string_view::npos) {
    return false;
  }
  std::string_view status = line.substr(space);
  status.remove_prefix(std::min(status.find_first_not_of(' '), status.size()));
  return status.starts_with("200") && (status.size() == 3 || status[3] == ' ');
}

}  // namespace nimbrel
