// SPDX-License-Identifier: GPL-3.0-or-later
#include "upload/service_replies.h"

#include <algorithm>
#include <charconv>
#include <string_view>

namespace nimbrel {
namespace {

constexpr std::chrono::seconds kLongestWait{24 * 60 * 60};

Judgement Verdicted(Verdict verdict, std::string reason,
                    std::optional<std::chrono::seconds> wait = std::nullopt) {
  return {verdict, wait, std::move(reason)};
}

std::string Status(int status) {
  return "HTTP " + std::to_string(status);
}

std::string FailureText(const WebReply& reply) {
  switch (reply.failure) {
    case WebFailure::kNoConnection:
      return "no connection";
    case WebFailure::kTimedOut:
      return "no answer in time";
    case WebFailure::kCertificate:
      return "the server's certificate is not trusted";
    case WebFailure::kStopped:
      return "stopped";
    case WebFailure::kOther:
    case WebFailure::kNone:
      break;
  }
  return "failed";
}

// Windy's JSON body: "retry_after": 120 or "120", in seconds.
std::optional<std::chrono::seconds> RetryAfterInBody(std::string_view body) {
  constexpr std::string_view kName = "\"retry_after\"";
  const std::size_t at = body.find(kName);
  if (at == std::string_view::npos) {
    return std::nullopt;
  }
  body.remove_prefix(at + kName.size());
  const std::size_t digits = body.find_first_not_of(" \t\r\n:\"");
  if (digits == std::string_view::npos) {
    return std::nullopt;
  }
  long long seconds = 0;
  const auto [end, error] =
      std::from_chars(body.data() + digits, body.data() + body.size(), seconds);
  if (error != std::errc() || seconds < 0) {
    return std::nullopt;
  }
  return std::chrono::seconds{std::min<long long>(seconds, kLongestWait.count())};
}

std::optional<std::chrono::seconds> Bounded(std::optional<std::chrono::seconds> wait) {
  if (!wait || wait->count() < 0) {
    return std::nullopt;
  }
  return std::min(*wait, kLongestWait);
}

bool StartsWith(std::string_view text, std::string_view start) {
  const std::size_t first = text.find_first_not_of(" \t\r\n");
  return first != std::string_view::npos && text.substr(first, start.size()) == start;
}

bool MentionsCredentials(std::string_view body) {
  std::string lower(body.substr(0, 512));
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; });
  return lower.find("password") != std::string::npos ||
         lower.find("station") != std::string::npos || lower.find("key") != std::string::npos ||
         lower.find(" id") != std::string::npos;
}

}  // namespace

Judgement JudgeWebReply(WeatherService service, const WebReply& reply) {
  if (reply.failure != WebFailure::kNone) {
    return Verdicted(Verdict::kFailed, FailureText(reply));
  }
  const int status = reply.status;
  if (status == 429) {
    std::optional<std::chrono::seconds> wait = Bounded(reply.retryAfter);
    if (service == WeatherService::kWindy) {
      wait = RetryAfterInBody(reply.body).value_or(wait.value_or(std::chrono::seconds{0}));
    }
    if (wait && wait->count() == 0) {
      wait.reset();
    }
    return Verdicted(Verdict::kTooFrequent, Status(status) + ": too frequent", wait);
  }
  if (service == WeatherService::kWindy && status == 409) {
    return Verdicted(Verdict::kDone, Status(status) + ": already received");
  }
  if (status == 400 || status == 401 || status == 403) {
    return Verdicted(Verdict::kRefused, Status(status) + ": wrong ID or key");
  }
  if (status < 200 || status >= 300) {
    return Verdicted(Verdict::kFailed, Status(status));
  }
  // PWSweather answers 200 to a refusal, with a text that begins "ERROR".
  if (service == WeatherService::kPwsWeather && StartsWith(reply.body, "ERROR")) {
    return MentionsCredentials(reply.body)
               ? Verdicted(Verdict::kRefused, "the service answered ERROR: wrong ID or key")
               : Verdicted(Verdict::kFailed, "the service answered ERROR");
  }
  return Verdicted(Verdict::kDone, Status(status));
}

Judgement JudgeAprsResult(const AprsResult& result) {
  switch (result.outcome) {
    case AprsOutcome::kSent:
      return Verdicted(Verdict::kDone, "sent");
    case AprsOutcome::kNoConnection:
      return Verdicted(Verdict::kFailed, "no connection");
    case AprsOutcome::kTimedOut:
      return Verdicted(Verdict::kFailed, "no answer in time");
    case AprsOutcome::kStopped:
      break;
  }
  return Verdicted(Verdict::kFailed, "stopped");
}

}  // namespace nimbrel
