// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "station/link.h"

namespace nimbrel {

// The console's clock: a civil date and time without a time zone, to the second.
using ConsoleTime = std::chrono::sys_seconds;

ConsoleTime ToConsoleTime(const LocalDateTime& when);
LocalDateTime FromConsoleTime(ConsoleTime when);
bool IsValidDate(int year, int month, int day);

// The console logs a record every five minutes.
inline constexpr std::chrono::minutes kHistoryInterval{5};
inline constexpr std::size_t kDefaultHistoryRecords = 3 * 24 * 12;  // three days
// Records the console's log holds when full; field 0 of its texts is the fill level of the log.
inline constexpr std::size_t kLoggerCapacity = 60000;

int LoggerPercent(std::size_t records);

// Plausible, slowly changing weather as a pure function of the seed and the console's time:
// daily and seasonal temperature cycles, passing rain showers, drifting pressure and wind. The
// outdoor sensor drops out now and then, and channels 4 to 7 have no sensor, so the texts carry
// the console's no-reading dashes.
class WeatherModel {
 public:
  explicit WeatherModel(std::uint64_t seed);

  // Time of the first logged record; the log's clock is fixed by the seed.
  ConsoleTime HistoryStart() const;

  // `count` history records, one 36-field line each, five minutes apart from HistoryStart.
  std::vector<std::string> History(std::size_t count, int loggerPercent) const;

  // The 36-field text of the readings at `when`.
  std::string RecordAt(ConsoleTime when, int loggerPercent) const;

 private:
  friend class RainLedger;

  struct Sample {
    double indoorTemperature, indoorHumidity;
    double outdoorTemperature, outdoorHumidity;
    double rainRate;                            // mm/h
    double windSpeed, windGust;                 // km/h
    int windDirection;                          // degrees, 0 to 359
    double relativePressure, absolutePressure;  // hPa
    double uvIndex;
    double channelTemperature[3], channelHumidity[3];  // channels 1 to 3
  };

  // Rain totals in hundredths of a millimetre.
  struct RainTotals {
    long hourly = 0, daily = 0, weekly = 0, monthly = 0;
  };

  Sample SampleAt(double minute, int dayOfYear) const;
  std::string Format(ConsoleTime when, int loggerPercent, const RainTotals& rain) const;
  // Rain of the five minutes up to the start of `bucket`, in hundredths of a millimetre.
  long RainInBucket(std::int64_t bucket) const;
  bool OutdoorLost(std::int64_t bucket) const;
  double Smooth(std::uint64_t stream, double x) const;
  double RainRate(double minute) const;

  std::uint64_t seed_;
};

}  // namespace nimbrel
