// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "record/record_fields.h"
#include "record/record_time.h"

namespace nimbrel {

// The values whose highs, lows and means are kept, named as the service's state object names
// them, with the record field each is read from (in the console's units).
struct StatKey {
  std::string_view name;
  RecordField field;
};
inline constexpr std::array<StatKey, 27> kStatKeys = {{
    {"indoor_temperature", kFieldIndoorTemperature},
    {"indoor_humidity", kFieldIndoorHumidity},
    {"outdoor_temperature", kFieldOutdoorTemperature},
    {"outdoor_humidity", kFieldOutdoorHumidity},
    {"dew_point", kFieldDewPoint},
    {"heat_index", kFieldHeatIndex},
    {"wind_chill", kFieldWindChill},
    {"pressure_relative", kFieldRelativePressure},
    {"pressure_absolute", kFieldAbsolutePressure},
    {"wind_speed", kFieldWindSpeed},
    {"wind_gust", kFieldWindGust},
    {"rain_rate", kFieldRainRate},
    {"uv_index", kFieldUvIndex},
    {"ch1_temperature", RecordField{18}},
    {"ch1_humidity", RecordField{19}},
    {"ch2_temperature", RecordField{20}},
    {"ch2_humidity", RecordField{21}},
    {"ch3_temperature", RecordField{22}},
    {"ch3_humidity", RecordField{23}},
    {"ch4_temperature", RecordField{24}},
    {"ch4_humidity", RecordField{25}},
    {"ch5_temperature", RecordField{26}},
    {"ch5_humidity", RecordField{27}},
    {"ch6_temperature", RecordField{28}},
    {"ch6_humidity", RecordField{29}},
    {"ch7_temperature", RecordField{30}},
    {"ch7_humidity", RecordField{31}},
}};

// What a day's summary reads of each record, in this order: the values of kStatKeys, then the
// day's running rain total and the wind direction in degrees.
inline constexpr std::size_t kDailyRainReading = kStatKeys.size();
inline constexpr std::size_t kWindDegreesReading = kStatKeys.size() + 1;
inline constexpr std::size_t kDayReadingCount = kStatKeys.size() + 2;
constexpr std::array<RecordField, kDayReadingCount> DayFields() {
  std::array<RecordField, kDayReadingCount> fields{};
  for (std::size_t i = 0; i < kStatKeys.size(); ++i) {
    fields[i] = kStatKeys[i].field;
  }
  fields[kDailyRainReading] = kFieldDailyRain;
  fields[kWindDegreesReading] = kFieldWindDirectionDegrees;
  return fields;
}
inline constexpr std::array<RecordField, kDayReadingCount> kDayFields = DayFields();

// How often each of the 16 compass points (1 to 16 as entries 0 to 15) was the wind's direction.
using WindPointCounts = std::array<std::int64_t, 16>;
// The point (1 to 16) named most often, the first in compass order of equals; 0 when none was.
int PrevailingPoint(const WindPointCounts& counts);

struct Extreme {
  double value = 0;
  RecordTimePoint time{};
  bool operator==(const Extreme&) const = default;
};

// One value's figures over some records: the high and the low, each at the first record that
// reached it, and what the mean is made of. Records are added in time order.
struct ValueSummary {
  std::optional<Extreme> high;
  std::optional<Extreme> low;
  double sum = 0;
  std::int64_t count = 0;

  void Add(double value, RecordTimePoint time);
  // Takes in the figures of later records.
  void Merge(const ValueSummary& later);
  std::optional<double> Mean() const;
};

// What the records of one day (by the console's clock) come to.
struct DaySummary {
  std::chrono::local_days day{};
  std::int64_t records = 0;
  std::array<ValueSummary, kStatKeys.size()> values{};
  // The console's running total of the day, which it resets at midnight: its largest value.
  std::optional<double> rain;
  // The wind's direction in the records with wind (a speed above zero).
  WindPointCounts windPoints{};

  // One record of the day: its readings in the order of kDayFields, NaN for no reading (never
  // taken as zero).
  void Add(RecordTimePoint time, std::span<const double> readings);
  // Takes in the figures of later records of the same day.
  void Merge(const DaySummary& later);
};

struct DatedValue {
  double value = 0;
  std::chrono::local_days day{};
  bool operator==(const DatedValue&) const = default;
};

// The figures of the days first to last.
struct PeriodStats {
  std::chrono::local_days first{};
  std::chrono::local_days last{};
  std::int64_t records = 0;
  std::array<ValueSummary, kStatKeys.size()> values{};
  std::optional<double> rainTotal;  // the sum of the days' rain; nothing when no day has any
  std::optional<DatedValue> wettestDay;
  int rainDays = 0;
  WindPointCounts windPoints{};
  // The days without any record, listed up to kMostMissingDaysListed; past that only counted.
  std::vector<std::chrono::local_days> missingDays;
  std::int64_t missingDayCount = 0;
};
inline constexpr std::int64_t kMostMissingDaysListed = 366;

// Summarizes the days of [first, last] among `days` (in day order; others are ignored).
PeriodStats Summarize(std::span<const DaySummary> days, std::chrono::local_days first,
                      std::chrono::local_days last);

struct DayRange {
  std::chrono::local_days first{};
  std::chrono::local_days last{};
  bool operator==(const DayRange&) const = default;
};
DayRange MonthDays(std::chrono::year_month month);
DayRange YearDays(std::chrono::year year);
// The rain season that starts on the first day of `startMonth` (1-12) of `year`.
DayRange SeasonDays(std::chrono::year year, unsigned startMonth);
// The rain season that holds the day.
DayRange SeasonOf(std::chrono::local_days day, unsigned startMonth);

}  // namespace nimbrel
