// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "readings/unit_settings.h"
#include "record/record_time.h"

namespace nimbrel {

// What a chart shows: one group of readings of the archive.
enum class ChartKind : std::uint8_t { kTemperature, kHumidity, kPressure, kWind, kRain, kUv };
inline constexpr std::array<ChartKind, 6> kChartKinds = {
    ChartKind::kTemperature, ChartKind::kHumidity, ChartKind::kPressure,
    ChartKind::kWind,        ChartKind::kRain,     ChartKind::kUv};

// "temperature", "humidity", "pressure", "wind", "rain", "uv": the names the command line takes.
std::string_view ChartKindName(ChartKind kind);
std::optional<ChartKind> ParseChartKind(std::string_view name);

// The time a chart spans: the last 24 hours, 7 days, 30 days or 12 months up to now, or the whole
// days `first` to `last` (both included) of the console's calendar.
enum class ChartSpan : std::uint8_t { kDay, kWeek, kMonth, kYear, kChosen };
struct ChartPeriod {
  ChartSpan span = ChartSpan::kDay;
  std::chrono::local_days first{};
  std::chrono::local_days last{};

  friend bool operator==(const ChartPeriod&, const ChartPeriod&) = default;
};

// "24h", "7d", "30d", "12m" for the spans up to now; empty for kChosen.
std::string_view ChartSpanName(ChartSpan span);
// One of those names as a period; nothing for any other text.
std::optional<ChartPeriod> ParseChartLast(std::string_view name);

// The times [begin, end) of a period, by the console's clock (which has no time zone).
struct ChartWindow {
  RecordTimePoint begin{};
  RecordTimePoint end{};

  friend bool operator==(const ChartWindow&, const ChartWindow&) = default;
};

// The spans up to now end with the minute after `now`, so that a sample of this minute is in.
// 12 months go back to the same day and time a year earlier (the month's last day when that
// day is missing).
ChartWindow WindowOf(const ChartPeriod& period, RecordTimePoint now);

inline constexpr std::size_t kChartChannels = 7;

// "1,3": channels 1 to 7, comma-separated, added to `channels` (index 0 is channel 1); false for
// anything else.
bool ParseChartChannels(std::string_view text, std::array<bool, kChartChannels>& channels);

struct ChartRequest {
  ChartKind kind = ChartKind::kTemperature;
  ChartPeriod period;
  // Channels 1 to 7 to add (index 0 is channel 1): their temperature or humidity.
  std::array<bool, kChartChannels> channels{};
  UnitSettings units;
};

// The readings a chart may hold. kPressure is relative or absolute as the units say.
enum class ChartSeriesId : std::uint8_t {
  kIndoorTemperature,
  kOutdoorTemperature,
  kDewPoint,
  kHeatIndex,
  kWindChill,
  kChannelTemperature,
  kIndoorHumidity,
  kOutdoorHumidity,
  kChannelHumidity,
  kPressure,
  kWindSpeed,
  kWindGust,
  kWindDirection,
  kRainRate,
  kDailyRain,
  kUvIndex,
};
inline constexpr std::size_t kChartSeriesIdCount = 16;

enum class ChartStyle : std::uint8_t { kLine, kPoints, kBars };
// How long after its sample's time a bar stands.
inline constexpr std::chrono::days kBarSpan{1};
// The value axis a series is read against: the left one, or the right one for a second unit
// (wind direction beside speed, rain rate beside daily totals).
enum class ChartAxis : std::uint8_t { kLeft, kRight };

struct ChartSample {
  RecordTimePoint time{};
  double value = 0;
};

// Of the samples shown; count 0 when there are none.
struct ChartStats {
  double min = 0;
  double max = 0;
  double mean = 0;
  std::size_t count = 0;
};

struct ChartSeries {
  ChartSeriesId id = ChartSeriesId::kOutdoorTemperature;
  int channel = 0;  // 1 to 7 for the channel series, else 0
  ChartStyle style = ChartStyle::kLine;
  ChartAxis axis = ChartAxis::kLeft;
  // The unit the values are in, as the dashboard writes it ("°C", "hPa", "°"); empty for none.
  std::u16string_view unit;
  // The decimals the dashboard shows of such a value in this unit.
  int decimals = 1;
  // In time order, in the user's units; a time with no reading has no sample. Daily totals have
  // one sample a day, at its start, and stand as a bar over the day (kBarSpan).
  std::vector<ChartSample> samples;
  ChartStats stats;
  // Two neighbouring samples further apart than this have no line between them.
  std::chrono::seconds gapLimit{0};
};

// The key of the reading a series shows in the live state object ("outdoor_temperature",
// "ch3_humidity", "pressure_relative", "rain_daily").
std::string ChartSeriesKey(const ChartSeries& series, const UnitSettings& units);

struct ChartData {
  ChartKind kind = ChartKind::kTemperature;
  ChartWindow window;
  UnitSettings units;
  std::vector<ChartSeries> series;

  // True when no series holds a sample.
  bool Empty() const;
};

// The gap limit of samples in time order: three times their median spacing, kept between 10
// minutes and 6 hours.
std::chrono::seconds GapLimitOf(const std::vector<ChartSample>& samples);
ChartStats StatsOf(const std::vector<ChartSample>& samples);

}  // namespace nimbrel
