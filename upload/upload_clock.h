// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <stop_token>

namespace nimbrel {

// The worker's sense of time: a clock for the Weathercloud spacing and the waits between
// attempts. Tests put a fake in its place so that ten minutes pass at once.
class UploadClock {
 public:
  virtual ~UploadClock() = default;

  // Time on a clock that never goes back.
  virtual std::chrono::milliseconds Now() = 0;

  // Waits `pause`; returns false at once when `stop` is set first.
  virtual bool Sleep(std::chrono::milliseconds pause, std::stop_token stop) = 0;
};

// The real clock: the steady clock, and waits that a stop request cuts short.
class SteadyUploadClock final : public UploadClock {
 public:
  std::chrono::milliseconds Now() override;
  bool Sleep(std::chrono::milliseconds pause, std::stop_token stop) override;
};

}  // namespace nimbrel
