// SPDX-License-Identifier: GPL-3.0-or-later
#include "web/answer_cache.h"

#include <algorithm>

namespace nimbrel::web {

std::optional<Response> AnswerCache::Find(const std::string& key, std::uint64_t generation,
                                          Clock::time_point now) const {
  std::lock_guard lock(mutex_);
  const auto found = std::find_if(kept_.rbegin(), kept_.rend(),
                                  [&key](const Kept& kept) { return kept.key == key; });
  if (found == kept_.rend() || found->generation != generation || now - found->at > kKeptFor ||
      now < found->at) {
    return std::nullopt;
  }
  return found->response;
}

void AnswerCache::Keep(const std::string& key, std::uint64_t generation, Clock::time_point now,
                       const Response& response) {
  std::lock_guard lock(mutex_);
  std::erase_if(kept_, [&key](const Kept& kept) { return kept.key == key; });
  kept_.push_back({key, generation, now, response});
  if (kept_.size() > kMostAnswers) {
    kept_.pop_front();
  }
}

}  // namespace nimbrel::web
