// SPDX-License-Identifier: GPL-3.0-or-later
#include "chart/chart_data.h"

#include <algorithm>
#include <charconv>
#include <utility>

namespace nimbrel {
namespace {

using std::chrono::days;
using std::chrono::hours;
using std::chrono::minutes;
using std::chrono::seconds;

constexpr std::array<std::pair<ChartKind, std::string_view>, kChartKinds.size()> kKindNames = {{
    {ChartKind::kTemperature, "temperature"},
    {ChartKind::kHumidity, "humidity"},
    {ChartKind::kPressure, "pressure"},
    {ChartKind::kWind, "wind"},
    {ChartKind::kRain, "rain"},
    {ChartKind::kUv, "uv"},
}};

constexpr std::array<std::pair<ChartSpan, std::string_view>, 4> kSpanNames = {{
    {ChartSpan::kDay, "24h"},
    {ChartSpan::kWeek, "7d"},
    {ChartSpan::kMonth, "30d"},
    {ChartSpan::kYear, "12m"},
}};

// The same day and time a year earlier; 29 February goes to the 28th.
RecordTimePoint YearBefore(RecordTimePoint time) {
  const auto day = std::chrono::floor<days>(time);
  const std::chrono::year_month_day date{day};
  std::chrono::year_month_day earlier = date - std::chrono::years{1};
  if (!earlier.ok()) {
    earlier = std::chrono::year_month_day_last{earlier.year(),
                                               std::chrono::month_day_last{earlier.month()}};
  }
  return std::chrono::local_days{earlier} + (time - day);
}

}  // namespace

std::string_view ChartKindName(ChartKind kind) {
  for (const auto& [known, name] : kKindNames) {
    if (known == kind) {
      return name;
    }
  }
  return kKindNames[0].second;
}

std::optional<ChartKind> ParseChartKind(std::string_view name) {
  for (const auto& [kind, known] : kKindNames) {
    if (known == name) {
      return kind;
    }
  }
  return std::nullopt;
}

std::string_view ChartSpanName(ChartSpan span) {
  for (const auto& [known, name] : kSpanNames) {
    if (known == span) {
      return name;
    }
  }
  return {};
}

std::optional<ChartPeriod> ParseChartLast(std::string_view name) {
  for (const auto& [span, known] : kSpanNames) {
    if (known == name) {
      return ChartPeriod{span, {}, {}};
    }
  }
  return std::nullopt;
}

bool ParseChartChannels(std::string_view text, std::array<bool, kChartChannels>& channels) {
  while (!text.empty()) {
    const std::size_t comma = std::min(text.find(','), text.size());
    const std::string_view number = text.substr(0, comma);
    int channel = 0;
    const auto [end, error] =
        std::from_chars(number.data(), number.data() + number.size(), channel);
    if (error != std::errc() || end != number.data() + number.size() || channel < 1 ||
        channel > static_cast<int>(kChartChannels)) {
      return false;
    }
    channels[static_cast<std::size_t>(channel - 1)] = true;
    text.remove_prefix(std::min(comma + 1, text.size()));
  }
  return true;
}

ChartWindow WindowOf(const ChartPeriod& period, RecordTimePoint now) {
  const RecordTimePoint end = std::chrono::floor<minutes>(now) + minutes{1};
  switch (period.span) {
    case ChartSpan::kDay:
      return {end - hours{24}, end};
    case ChartSpan::kWeek:
      return {end - days{7}, end};
    case ChartSpan::kMonth:
      return {end - days{30}, end};
    case ChartSpan::kYear:
      return {YearBefore(end), end};
    case ChartSpan::kChosen:
      break;
  }
  const auto last = std::max(period.first, period.last);
  return {period.first, last + days{1}};
}

bool ChartData::Empty() const {
  return std::all_of(series.begin(), series.end(),
                     [](const ChartSeries& s) { return s.samples.empty(); });
}

std::chrono::seconds GapLimitOf(const std::vector<ChartSample>& samples) {
  constexpr seconds kLeast = minutes{10};
  constexpr seconds kMost = hours{6};
  if (samples.size() < 2) {
    return kMost;
  }
  std::vector<seconds> spacings;
  spacings.reserve(samples.size() - 1);
  for (std::size_t i = 1; i < samples.size(); ++i) {
    spacings.push_back(samples[i].time - samples[i - 1].time);
  }
  const auto middle = spacings.begin() + static_cast<std::ptrdiff_t>(spacings.size() / 2);
  std::nth_element(spacings.begin(), middle, spacings.end());
  return std::clamp(3 * *middle, kLeast, kMost);
}

ChartStats StatsOf(const std::vector<ChartSample>& samples) {
  if (samples.empty()) {
    return {};
  }
  ChartStats stats{samples[0].value, samples[0].value, 0, samples.size()};
  double sum = 0;
  for (const ChartSample& sample : samples) {
    stats.min = std::min(stats.min, sample.value);
    stats.max = std::max(stats.max, sample.value);
    sum += sample.value;
  }
  stats.mean = sum / static_cast<double>(samples.size());
  return stats;
}

std::string ChartSeriesKey(const ChartSeries& series, const UnitSettings& units) {
  using enum ChartSeriesId;
  switch (series.id) {
    case kIndoorTemperature:
      return "indoor_temperature";
    case kOutdoorTemperature:
      return "outdoor_temperature";
    case kDewPoint:
      return "dew_point";
    case kHeatIndex:
      return "heat_index";
    case kWindChill:
      return "wind_chill";
    case kChannelTemperature:
      return "ch" + std::to_string(series.channel) + "_temperature";
    case kIndoorHumidity:
      return "indoor_humidity";
    case kOutdoorHumidity:
      return "outdoor_humidity";
    case kChannelHumidity:
      return "ch" + std::to_string(series.channel) + "_humidity";
    case kPressure:
      return units.pressureType == PressureType::Absolute ? "pressure_absolute"
                                                          : "pressure_relative";
    case kWindSpeed:
      return "wind_speed";
    case kWindGust:
      return "wind_gust";
    case kWindDirection:
      return "wind_direction";
    case kRainRate:
      return "rain_rate";
    case kDailyRain:
      return "rain_daily";
    case kUvIndex:
      break;
  }
  return "uv_index";
}

}  // namespace nimbrel
