// SPDX-License-Identifier: GPL-3.0-or-later
#include "web/event_hub.h"

#include <algorithm>

namespace nimbrel::web {

void EventHub::Publish(std::string_view name, std::string_view data) {
  std::string event = "event: ";
  event.append(name).append("\ndata: ").append(data).append("\n\n");
  std::function<void()> wake;
  {
    std::lock_guard lock(mutex_);
    events_.push_back(std::move(event));
    if (events_.size() > kKept) {
      events_.pop_front();
    }
    ++newest_;
    wake = wake_;
  }
  if (wake) {
    wake();
  }
}

std::vector<std::string> EventHub::After(std::uint64_t& seen) const {
  std::lock_guard lock(mutex_);
  const std::uint64_t oldest = newest_ - events_.size() + 1;
  std::uint64_t from = seen == 0 ? newest_ : std::max(seen + 1, oldest);
  std::vector<std::string> events;
  for (; from <= newest_ && !events_.empty(); ++from) {
    events.push_back(events_[from - oldest]);
  }
  seen = newest_;
  return events;
}

void EventHub::OnPublish(std::function<void()> wake) {
  std::lock_guard lock(mutex_);
  wake_ = std::move(wake);
}

}  // namespace nimbrel::web
