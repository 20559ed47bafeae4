// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <stop_token>
#include <string>
#include <utility>
#include <vector>

namespace nimbrel {

// The network of the weather services that take readings composed by the program (PWSweather,
// Met Office WOW, Windy over HTTPS; CWOP over APRS-IS). The console's own two services keep their
// own client. The implementations live in platform/; tests use local servers or fakes.

// One HTTPS GET.
struct WebRequest {
  std::string url;  // scheme, host, path and an escaped query
  // Extra header lines, such as Windy's "Authorization". Their values may be secrets: never
  // printed or logged.
  std::vector<std::pair<std::string, std::string>> headers;
  std::string caFile;  // a certificate authority of one's own; empty for the system's
};

// Why no reply came.
enum class WebFailure : std::uint8_t {
  kNone,          // a reply came: see status and body
  kNoConnection,  // the name did not resolve, or the connection was refused or failed
  kTimedOut,      // the connection or the whole exchange ran past its time-out
  kCertificate,   // the server's certificate was not trusted
  kStopped,       // the stop token was set
  kOther,         // anything else; `detail` says what
};

// A reply's body is kept up to this many bytes: enough to judge it, never a reply without end.
inline constexpr std::size_t kWebReplyLimit = 4096;

struct WebReply {
  WebFailure failure = WebFailure::kNone;
  int status = 0;    // the HTTP status when a reply came
  std::string body;  // the first kWebReplyLimit bytes at most
  std::optional<std::chrono::seconds> retryAfter;  // a Retry-After header in seconds, if any
  std::string detail;  // a failure in words, without the URL's query (it holds keys)
};

struct WebTimeouts {
  std::chrono::seconds connect{10};
  std::chrono::seconds whole{30};  // from the start of the connection to the end of the reply
};

class WebSender {
 public:
  virtual ~WebSender() = default;
  // Blocks the caller's thread until the reply, a failure or `stop`.
  virtual WebReply Get(const WebRequest& request, std::stop_token stop) = 0;
};

// One APRS-IS session: connect, read the server's banner line, send the login line, send the
// packet, close.
struct AprsSession {
  std::string host;
  std::uint16_t port = 14580;
  std::string loginLine;  // "user CALL pass -1 vers Nimbrel VERSION\r\n"; the passcode is secret
  std::string packet;     // one packet ending in "\r\n"
};

enum class AprsOutcome : std::uint8_t {
  kSent,          // banner read, login and packet sent, closed
  kNoConnection,  // did not resolve, refused or failed
  kTimedOut,      // no banner or no progress within the time-out
  kStopped,
};

struct AprsResult {
  AprsOutcome outcome = AprsOutcome::kNoConnection;
  std::string detail;  // in words, without the passcode
};

class AprsSender {
 public:
  virtual ~AprsSender() = default;
  virtual AprsResult Send(const AprsSession& session, std::stop_token stop) = 0;
};

}  // namespace nimbrel
