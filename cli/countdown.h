// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <condition_variable>
#include <mutex>

#include "platform/interrupt.h"

namespace nimbrel::cli {

// What a command waits for on its main thread: a number of events (messages printed, uploads
// finished) counted on other threads, or the user's interrupt.
class Countdown {
 public:
  // `wanted` 0 waits for the interrupt alone.
  explicit Countdown(long wanted) : wanted_(wanted) {}

  // Takes one of the wanted events for a thread about to bring it about; false once every one is
  // taken, so that an event arriving while the waiting thread is still waking up is not done too.
  bool Claim() {
    std::lock_guard lock(mutex_);
    if (wanted_ > 0 && claimed_ >= wanted_) {
      return false;
    }
    ++claimed_;
    return true;
  }
  void Count() {
    std::lock_guard lock(mutex_);
    ++counted_;
    changed_.notify_all();
  }
  // Makes the waiting thread look again (after an interrupt).
  void Wake() {
    std::lock_guard lock(mutex_);
    changed_.notify_all();
  }
  void Wait(const InterruptWatcher& interrupt) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock,
                  [&] { return interrupt.Interrupted() || (wanted_ > 0 && counted_ >= wanted_); });
  }

 private:
  const long wanted_;
  std::mutex mutex_;
  std::condition_variable changed_;
  long claimed_ = 0;
  long counted_ = 0;
};

}  // namespace nimbrel::cli
