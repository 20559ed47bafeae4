// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace nimbrel {

// The time the simulated console runs on. Tests use a virtual clock so that periods and pauses
// pass without sleeping.
class ConsoleClock {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;

  virtual ~ConsoleClock() = default;
  virtual TimePoint Now() const = 0;
  // Waits until `deadline` or until `wake` is notified; `lock` is released while waiting.
  virtual void WaitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& wake,
                         TimePoint deadline) = 0;
};

// Real time.
class SteadyConsoleClock final : public ConsoleClock {
 public:
  TimePoint Now() const override { return std::chrono::steady_clock::now(); }
  void WaitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& wake,
                 TimePoint deadline) override {
    wake.wait_until(lock, deadline);
  }
};

// Time that moves only when told: a wait jumps straight to its deadline, so a read with nothing
// to send uses up its timeout in no time.
class VirtualConsoleClock final : public ConsoleClock {
 public:
  TimePoint Now() const override { return TimePoint(TimePoint::duration(ticks_.load())); }
  void WaitUntil(std::unique_lock<std::mutex>&, std::condition_variable&,
                 TimePoint deadline) override {
    MoveTo(deadline);
  }
  void Advance(std::chrono::steady_clock::duration step) { ticks_ += step.count(); }

 private:
  void MoveTo(TimePoint when) {
    const auto target = when.time_since_epoch().count();
    auto seen = ticks_.load();
    while (seen < target && !ticks_.compare_exchange_weak(seen, target)) {
    }
  }
  std::atomic<TimePoint::duration::rep> ticks_{0};
};

}  // namespace nimbrel
