// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <cstddef>
#include <ostream>
#include <stop_token>
#include <string>
#include <string_view>

#include "settings/server_settings.h"
#include "upload/upload_clock.h"
#include "upload/upload_request.h"
#include "upload/upload_socket.h"

namespace nimbrel {

// How one request ended.
enum class UploadOutcome {
  kAcknowledged,     // the reply was the service's acknowledgement
  kNotAcknowledged,  // a reply came, but not the acknowledgement
  kNoConnection,     // the host did not resolve or no socket could be made, five times over
  kSendFailed,       // the connect or a send failed or timed out
  kReceiveFailed,    // the server kept the connection open past the receive time-out
  kNoReply,          // the server closed the connection without a byte
  kDropped,          // Weathercloud: still too soon after the last send when the waits ran out
  kStopped,          // the worker was stopped during the request
};

// A reply is judged on this many bytes at most.
inline constexpr std::size_t kJudgedReplyLength = 1023;

struct UploadResult {
  UploadOutcome outcome = UploadOutcome::kNoReply;
  std::size_t replyBytes = 0;  // every byte received
  std::string replyText;       // what is judged: the first bytes, up to a zero byte
};

// A result without a reply.
inline UploadResult ResultOf(UploadOutcome outcome) {
  UploadResult result;
  result.outcome = outcome;
  return result;
}

struct UploadTimeouts {
  std::chrono::milliseconds send{6000};     // the connect, and each send call
  std::chrono::milliseconds receive{6000};  // each receive call
  // The whole reply: a server that trickles or never stops sending cannot hold the worker, and
  // with it every upload after this one.
  std::chrono::milliseconds reply{30000};
  std::chrono::milliseconds retryPause{1000};  // between attempts to resolve and make a socket
};

// What the HTTP client works with. The diagnostic lines go to `diagnostics` (standard output in
// the program).
struct UploadLink {
  UploadSocket& socket;
  UploadClock& clock;
  std::ostream& diagnostics;
  UploadTimeouts timeouts{};
};

// Sends the request on a fresh connection to its endpoint and reads the reply until the server
// closes. The outcome is kNotAcknowledged whenever a reply came; judging it is the caller's.
UploadResult SendOneRequest(const UploadRequest& request, const UploadLink& link,
                            std::stop_token stop);

// Weather Underground acknowledges with "success" anywhere in its reply, Weathercloud with the
// status code 200 in its status line.
bool IsAcknowledgement(ServerIndex service, std::string_view replyText);

// True when the reply's first line is an HTTP status line with the code 200.
bool StatusCodeIs200(std::string_view replyText);

}  // namespace nimbrel
