// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A service's world on a fake clock: the console gives a reading every minute, the archive keeps
// them, and hours pass in an instant.
#include <algorithm>
#include <string>
#include <vector>

#include "upload/service_runner.h"

namespace nimbrel::testing {

using namespace std::chrono;

inline const sys_seconds kStart = sys_days{2026y / 12 / 7} + 22h;

// A reading whose outdoor humidity is its minute since the start, so that every request says
// which reading it carries.
inline TimedReading Reading(sys_seconds time) {
  TimedReading reading{time, ReadObservation("50 2026-12-7 23:00 21.0 40 10.0 1 1 1 1 1")};
  reading.values.outdoorHumidity =
      static_cast<double>(duration_cast<minutes>(time - kStart).count());
  return reading;
}

// The console, the archive and the clock: the clock jumps to each wait's end, the console gives
// a reading every minute on the way and the archive keeps them all; the run stops at `end`.
struct World final : ServiceClock, PastReadings {
  sys_seconds now = kStart;
  sys_seconds end;
  sys_seconds nextReading = kStart;
  std::vector<TimedReading> archive;
  ServiceRunner* runner = nullptr;

  void Give() {
    for (; nextReading <= now; nextReading += 1min) {
      archive.push_back(Reading(nextReading));
      if (runner != nullptr) {
        runner->Offer(archive.back());
      }
    }
  }
  sys_seconds Now() override { return now; }
  bool WaitUntil(sys_seconds until, std::stop_token) override {
    while (now < until && now < end) {
      now = std::min({until, nextReading, end});
      Give();
    }
    return now < end;
  }
  std::vector<TimedReading> Between(sys_seconds after, sys_seconds before) override {
    std::vector<TimedReading> found;
    for (const TimedReading& reading : archive) {
      if (reading.time > after && reading.time < before) {
        found.push_back(reading);
      }
    }
    return found;
  }
};

inline std::vector<long> Every(long first, long last, long step) {
  std::vector<long> values;
  for (long value = first; value <= last; value += step) {
    values.push_back(value);
  }
  return values;
}

inline long Minute(sys_seconds time) {
  return static_cast<long>(duration_cast<minutes>(time - kStart).count());
}

}  // namespace nimbrel::testing
