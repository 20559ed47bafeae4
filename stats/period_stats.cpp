// SPDX-License-Identifier: GPL-3.0-or-later
#include "stats/period_stats.h"

#include <algorithm>
#include <cmath>

#include "readings/compass.h"

namespace nimbrel {

using std::chrono::local_days;

void ValueSummary::Add(double value, RecordTimePoint time) {
  // Strictly beyond: a value reached again later keeps the time it was first reached.
  if (!high || value > high->value) {
    high = Extreme{value, time};
  }
  if (!low || value < low->value) {
    low = Extreme{value, time};
  }
  sum += value;
  ++count;
}

void ValueSummary::Merge(const ValueSummary& later) {
  if (later.high && (!high || later.high->value > high->value)) {
    high = later.high;
  }
  if (later.low && (!low || later.low->value < low->value)) {
    low = later.low;
  }
  sum += later.sum;
  count += later.count;
}

std::optional<double> ValueSummary::Mean() const {
  return count > 0 ? std::optional(sum / static_cast<double>(count)) : std::nullopt;
}

int PrevailingPoint(const WindPointCounts& counts) {
  const auto most = std::max_element(counts.begin(), counts.end());
  return *most > 0 ? static_cast<int>(most - counts.begin()) + 1 : 0;
}

namespace {

constexpr std::size_t kWindSpeedKey = 9;
static_assert(kStatKeys[kWindSpeedKey].field == kFieldWindSpeed);

void AddRain(std::optional<double>& rain, std::optional<double> more) {
  if (more) {
    rain = std::max(rain.value_or(*more), *more);
  }
}

void AddPoints(WindPointCounts& counts, const WindPointCounts& more) {
  for (std::size_t i = 0; i < counts.size(); ++i) {
    counts[i] += more[i];
  }
}

}  // namespace

void DaySummary::Add(RecordTimePoint time, std::span<const double> readings) {
  if (readings.size() < kDayReadingCount) {
    return;
  }
  ++records;
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (!std::isnan(readings[i])) {
      values[i].Add(readings[i], time);
    }
  }
  const double dailyRain = readings[kDailyRainReading];
  AddRain(rain, std::isnan(dailyRain) ? std::nullopt : std::optional(dailyRain));
  const double speed = readings[kWindSpeedKey];
  const double degrees = readings[kWindDegreesReading];
  if (speed > 0 && !std::isnan(degrees)) {
    // A damaged field may hold any finite number; past these bounds every one is north, and a
    // number beyond an int's range must not reach the conversion.
    const double bounded = std::clamp(degrees, -1.0, 400.0);
    ++windPoints[static_cast<std::size_t>(CompassSectorFromDegrees(static_cast<int>(bounded))) - 1];
  }
}

void DaySummary::Merge(const DaySummary& later) {
  records += later.records;
  for (std::size_t i = 0; i < values.size(); ++i) {
    values[i].Merge(later.values[i]);
  }
  AddRain(rain, later.rain);
  AddPoints(windPoints, later.windPoints);
}

namespace {

void NoteMissing(PeriodStats& stats, local_days from, local_days to) {
  for (local_days day = from; day < to; day += std::chrono::days{1}) {
    ++stats.missingDayCount;
    if (stats.missingDayCount <= kMostMissingDaysListed) {
      stats.missingDays.push_back(day);
    }
  }
}

void TakeDay(PeriodStats& stats, const DaySummary& day) {
  stats.records += day.records;
  AddPoints(stats.windPoints, day.windPoints);
  for (std::size_t i = 0; i < stats.values.size(); ++i) {
    stats.values[i].Merge(day.values[i]);
  }
  if (day.rain) {
    stats.rainTotal = stats.rainTotal.value_or(0) + *day.rain;
    stats.rainDays += *day.rain > 0 ? 1 : 0;
    if (!stats.wettestDay || *day.rain > stats.wettestDay->value) {
      stats.wettestDay = DatedValue{*day.rain, day.day};
    }
  }
}

}  // namespace

PeriodStats Summarize(std::span<const DaySummary> days, local_days first, local_days last) {
  PeriodStats stats;
  stats.first = first;
  stats.last = last;
  local_days next = first;  // the first day not yet accounted for
  for (const DaySummary& day : days) {
    if (day.day < next || day.day > last || day.records == 0) {
      continue;
    }
    NoteMissing(stats, next, day.day);
    TakeDay(stats, day);
    next = day.day + std::chrono::days{1};
  }
  if (next <= last) {
    NoteMissing(stats, next, last + std::chrono::days{1});
  }
  if (stats.missingDayCount > kMostMissingDaysListed) {
    stats.missingDays.clear();  // too many to list: their number says it
  }
  return stats;
}

DayRange MonthDays(std::chrono::year_month month) {
  return {local_days{month / 1}, local_days{month / std::chrono::last}};
}

DayRange YearDays(std::chrono::year year) {
  return {local_days{year / 1 / 1}, local_days{year / 12 / 31}};
}

DayRange SeasonDays(std::chrono::year year, unsigned startMonth) {
  const std::chrono::year_month start = year / std::chrono::month{startMonth};
  const std::chrono::year_month next = start + std::chrono::years{1};
  return {local_days{start / 1}, local_days{next / 1} - std::chrono::days{1}};
}

DayRange SeasonOf(local_days day, unsigned startMonth) {
  const std::chrono::year_month_day date(day);
  const bool sinceStart = static_cast<unsigned>(date.month()) >= startMonth;
  return SeasonDays(sinceStart ? date.year() : date.year() - std::chrono::years{1}, startMonth);
}

}  // namespace nimbrel
