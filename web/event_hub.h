// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace nimbrel::web {

// The live stream's fan-out: the service publishes each event once; each client of the stream
// takes the events it has not sent yet. Only the newest events are kept: a client that fell
// further behind goes on from the oldest kept (a live reading replaces the one before, so nothing
// of worth is lost), and no client can make the hub hold more.
class EventHub {
 public:
  static constexpr std::size_t kKept = 16;

  // One event, framed as a server-sent event ("event: NAME\ndata: DATA\n\n"); DATA holds no line
  // break (JSON without new lines).
  void Publish(std::string_view name, std::string_view data);

  // The events after number `seen` (0: none seen yet, which gives only the newest, the state a
  // new client starts from), and the number of the last of them in `seen`.
  std::vector<std::string> After(std::uint64_t& seen) const;

  // Called after each Publish, on the publisher's thread: the server wakes its clients. Set it
  // before the first Publish.
  void OnPublish(std::function<void()> wake);

 private:
  mutable std::mutex mutex_;
  std::deque<std::string> events_;  // numbers newest_ - events_.size() + 1 to newest_
  std::uint64_t newest_ = 0;
  std::function<void()> wake_;
};

}  // namespace nimbrel::web
