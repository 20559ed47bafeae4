// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "readings/unit_settings.h"
#include "record/record_time.h"
#include "stats/period_stats.h"

namespace nimbrel {

// A climatological summary: one line a day of a month, or one a month of a year, then the
// period's means, extremes and totals. Figures are in the user's units.

struct ReportExtreme {
  double value = 0;
  RecordTimePoint time{};
};

struct ReportLine {
  std::chrono::local_days first{};  // the day, or the month's first day
  std::int64_t records = 0;         // 0: no record at all, marked and never averaged in
  std::optional<double> meanTemperature;
  std::optional<ReportExtreme> high;
  std::optional<ReportExtreme> low;
  std::optional<double> heatingDegreeDays;
  std::optional<double> coolingDegreeDays;
  std::optional<double> rain;
  std::optional<double> meanWindSpeed;
  std::optional<ReportExtreme> highGust;
  int prevailingPoint = 0;  // 1 to 16; 0 when the wind never blew
};

struct ClimateReport {
  bool yearly = false;
  DayRange period;
  UnitSettings units;
  double degreeBase = 0;  // in the temperature unit
  std::vector<ReportLine> lines;
  ReportLine total;
  std::vector<std::chrono::local_days> missingDays;
};

// 18.3 °C or 65 °F: the base heating and cooling degree days are counted from.
double DefaultDegreeBase(TemperatureUnit unit);

// From the days' summaries (in day order; days outside the period are ignored). Degree days are
// counted from each day's mean against `degreeBase`, in the temperature unit.
ClimateReport MonthReport(std::span<const DaySummary> days, std::chrono::year_month month,
                          const UnitSettings& units, double degreeBase);
ClimateReport YearReport(std::span<const DaySummary> days, std::chrono::year year,
                         const UnitSettings& units, double degreeBase);

// Fixed-width columns under a header naming the period, the totals under a dashed rule.
std::string ReportText(const ClimateReport& report);
// UTF-8 with a header line; the last row is the whole period's.
std::string ReportCsv(const ClimateReport& report);

}  // namespace nimbrel
