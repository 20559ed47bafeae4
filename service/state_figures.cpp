// SPDX-License-Identifier: GPL-3.0-or-later
#include "service/state_figures.h"

#include <array>
#include <charconv>
#include <limits>

#include "record/record_time.h"
#include "service/mqtt_payloads.h"

namespace nimbrel {
namespace {

using std::chrono::local_days;

constexpr std::size_t kOutdoorTemperatureKey = 2;
static_assert(kStatKeys[kOutdoorTemperatureKey].field == kFieldOutdoorTemperature);

std::string Number(std::optional<double> value) {
  if (!value) {
    return "null";
  }
  std::array<char, 32> digits{};
  const auto printed = std::to_chars(digits.data(), digits.data() + digits.size(), *value);
  return {digits.data(), printed.ptr};
}

std::string TimeText(const std::optional<Extreme>& extreme) {
  if (!extreme) {
    return "null";
  }
  const std::chrono::hh_mm_ss clock(extreme->time -
                                    std::chrono::floor<std::chrono::days>(extreme->time));
  const auto two = [](long value) {
    return std::string(1, static_cast<char>('0' + value / 10)) +
           static_cast<char>('0' + value % 10);
  };
  return "\"" + two(clock.hours().count()) + ":" + two(clock.minutes().count()) + "\"";
}

}  // namespace

void AddLiveReading(DaySummary& liveDay, std::string_view liveText) {
  const RecordFields fields = SplitRecord(liveText);
  const std::optional<RecordTimePoint> time = RecordTime(fields);
  if (!time) {
    return;
  }
  const local_days day = std::chrono::floor<std::chrono::days>(*time);
  if (liveDay.records > 0 && day < liveDay.day) {
    return;
  }
  if (liveDay.records == 0 || day > liveDay.day) {
    liveDay = {};
    liveDay.day = day;
  }
  std::array<double, kDayReadingCount> readings{};
  for (std::size_t i = 0; i < readings.size(); ++i) {
    readings[i] =
        LiveNumber(fields, kDayFields[i]).value_or(std::numeric_limits<double>::quiet_NaN());
  }
  liveDay.Add(*time, readings);
}

TodayFigures FiguresOf(const std::optional<ArchivedFigures>& archived, const DaySummary& liveDay) {
  DaySummary today = liveDay;
  std::optional<double> seasonBefore;
  if (archived && (liveDay.records == 0 || archived->today.day == liveDay.day)) {
    today = archived->today;
    today.Merge(liveDay);
    seasonBefore = archived->seasonRainBefore;
  } else if (archived && archived->today.day < liveDay.day) {
    // The archive has not reached the live readings' day yet.
    if (SeasonOf(archived->today.day, archived->seasonStart) ==
        SeasonOf(liveDay.day, archived->seasonStart)) {
      seasonBefore = archived->seasonRainBefore;
      if (archived->today.rain) {
        seasonBefore = seasonBefore.value_or(0) + *archived->today.rain;
      }
    } else {
      seasonBefore = 0;
    }
  }
  TodayFigures figures;
  figures.outdoorHigh = today.values[kOutdoorTemperatureKey].high;
  figures.outdoorLow = today.values[kOutdoorTemperatureKey].low;
  // Without the archive the season's days before today are not known.
  if (archived && (seasonBefore || today.rain)) {
    figures.seasonRain = seasonBefore.value_or(0) + today.rain.value_or(0);
  }
  return figures;
}

std::string TodayFiguresJson(const TodayFigures& figures) {
  const auto value = [](const std::optional<Extreme>& extreme) {
    return Number(extreme ? std::optional(extreme->value) : std::nullopt);
  };
  std::string json;
  json.append("\"outdoor_temperature_high_today\":").append(value(figures.outdoorHigh)).append(",");
  json.append("\"outdoor_temperature_high_today_time\":")
      .append(TimeText(figures.outdoorHigh))
      .append(",");
  json.append("\"outdoor_temperature_low_today\":").append(value(figures.outdoorLow)).append(",");
  json.append("\"outdoor_temperature_low_today_time\":")
      .append(TimeText(figures.outdoorLow))
      .append(",");
  json.append("\"rain_season\":").append(Number(figures.seasonRain)).append(",");
  return json;
}

}  // namespace nimbrel
