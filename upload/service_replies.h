// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "settings/service_settings.h"
#include "upload/service_transport.h"

namespace nimbrel {

enum class Verdict : std::uint8_t {
  kDone,         // taken (or, for Windy, already taken)
  kTooFrequent,  // the service wants fewer requests: wait, do not resend at once
  kRefused,      // a wrong ID, key or password
  kFailed,       // no answer, a server fault or an answer we cannot read
};

struct Judgement {
  Verdict verdict = Verdict::kFailed;
  std::optional<std::chrono::seconds> wait;  // how long the service asked us to wait
  std::string reason;                        // in words, for the user; never holds a key
};

// The reply of a web service. Everything in it comes from the network: a wait is read only
// from a plain number and kept within a day.
Judgement JudgeWebReply(WeatherService service, const WebReply& reply);
Judgement JudgeAprsResult(const AprsResult& result);

}  // namespace nimbrel
