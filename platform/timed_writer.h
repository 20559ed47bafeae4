// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

#include "station/frame.h"

namespace nimbrel {

// Runs blocking writes on a thread of its own so that a caller waits at most a given time: a
// device that stops answering must not freeze the window. Callers are served one at a time; while
// a write hangs, later writes fail once their own time is up.
class TimedWriter {
 public:
  using WriteFunction = std::function<bool(const StationCommand&)>;

  explicit TimedWriter(WriteFunction write);
  TimedWriter(const TimedWriter&) = delete;
  TimedWriter& operator=(const TimedWriter&) = delete;
  // Waits for a write in progress to end.
  ~TimedWriter();

  // True when the command was written within `timeout`.
  bool Write(const StationCommand& command, std::chrono::milliseconds timeout);

 private:
  void Serve();

  WriteFunction write_;
  std::mutex mutex_;
  std::condition_variable changed_;
  StationCommand pending_{};
  bool hasPending_ = false;
  bool busy_ = false;          // the device write is in progress
  bool callerActive_ = false;  // a caller waits for its write
  bool stop_ = false;
  bool result_ = false;
  std::uint64_t posted_ = 0;
  std::uint64_t finished_ = 0;
  std::thread thread_;
};

}  // namespace nimbrel
