// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>

#include "web/http_types.h"

namespace nimbrel::web {

// The archive's answers, kept a short while: a chart that many pages ask for at once is read
// once. An answer is given again only while the archive's generation (which the service moves on
// whenever it may have written) is the one it was read at, and for at most kKeptFor, so that what
// another program merged meanwhile and "the last 24 hours" move on too.
class AnswerCache {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr std::size_t kMostAnswers = 32;
  static constexpr Clock::duration kKeptFor = std::chrono::seconds(30);

  std::optional<Response> Find(const std::string& key, std::uint64_t generation,
                               Clock::time_point now) const;
  void Keep(const std::string& key, std::uint64_t generation, Clock::time_point now,
            const Response& response);

 private:
  struct Kept {
    std::string key;
    std::uint64_t generation;
    Clock::time_point at;
    Response response;
  };
  mutable std::mutex mutex_;
  std::deque<Kept> kept_;  // newest last
};

}  // namespace nimbrel::web
