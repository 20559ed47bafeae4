// SPDX-License-Identifier: GPL-3.0-or-later
#include "stats/climate_report.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <string_view>

#include "i18n/utf8.h"
#include "readings/compass.h"
#include "stats/stat_units.h"

namespace nimbrel {

namespace {

using std::chrono::local_days;

constexpr std::size_t kOutdoorTemperature = 2;
constexpr std::size_t kWindSpeed = 9;
constexpr std::size_t kWindGust = 10;
static_assert(kStatKeys[kOutdoorTemperature].name == "outdoor_temperature");
static_assert(kStatKeys[kWindSpeed].name == "wind_speed");
static_assert(kStatKeys[kWindGust].name == "wind_gust");

constexpr std::array<std::string_view, 12> kMonthNames = {
    "January", "February", "March",     "April",   "May",      "June",
    "July",    "August",   "September", "October", "November", "December"};

struct Units {
  ShownUnit temperature;
  ShownUnit rain;
  ShownUnit wind;
  double degreeBase;
};

Units UnitsOf(const UnitSettings& units, double degreeBase) {
  return {ShownTemperature(units), ShownRain(units), ShownWindSpeed(units), degreeBase};
}

std::optional<ReportExtreme> InUnit(const std::optional<Extreme>& extreme, const ShownUnit& unit) {
  if (!extreme) {
    return std::nullopt;
  }
  return ReportExtreme{InShownUnit(extreme->value, unit), extreme->time};
}

std::optional<double> MeanInUnit(const ValueSummary& summary, const ShownUnit& unit) {
  const std::optional<double> mean = summary.Mean();
  return mean ? std::optional(Rounded(InShownUnit(*mean, unit), unit)) : std::nullopt;
}

ReportLine DayLine(const DaySummary& day, const Units& units) {
  ReportLine line;
  line.first = day.day;
  line.records = day.records;
  const ValueSummary& temperature = day.values[kOutdoorTemperature];
  line.meanTemperature = MeanInUnit(temperature, units.temperature);
  if (line.meanTemperature) {
    // From the mean as printed, so that a line's mean and degree days add up to the base.
    const double below = units.degreeBase - *line.meanTemperature;
    line.heatingDegreeDays = Rounded(std::max(0.0, below), units.temperature);
    line.coolingDegreeDays = Rounded(std::max(0.0, -below), units.temperature);
  }
  line.high = InUnit(temperature.high, units.temperature);
  line.low = InUnit(temperature.low, units.temperature);
  if (day.rain) {
    line.rain = InShownUnit(*day.rain, units.rain);
  }
  line.meanWindSpeed = MeanInUnit(day.values[kWindSpeed], units.wind);
  line.highGust = InUnit(day.values[kWindGust].high, units.wind);
  line.prevailingPoint = PrevailingPoint(day.windPoints);
  return line;
}

// Strictly beyond: the first line that reached a value keeps it.
void TakeHigher(std::optional<ReportExtreme>& kept, const std::optional<ReportExtreme>& more) {
  if (more && (!kept || more->value > kept->value)) {
    kept = more;
  }
}

void TakeLower(std::optional<ReportExtreme>& kept, const std::optional<ReportExtreme>& more) {
  if (more && (!kept || more->value < kept->value)) {
    kept = more;
  }
}

void Add(std::optional<double>& sum, const std::optional<double>& more) {
  if (more) {
    sum = sum.value_or(0) + *more;
  }
}

// A running mean of the days' own means (in the console's unit, converted once at the end), so
// that each day counts once however many records it has.
struct Mean {
  double sum = 0;
  int count = 0;
  void Add(const ValueSummary& day) {
    const std::optional<double> mean = day.Mean();
    sum += mean.value_or(0);
    count += mean ? 1 : 0;
  }
  std::optional<double> Of(const ShownUnit& unit) const {
    return count > 0 ? std::optional(Rounded(InShownUnit(sum / count, unit), unit)) : std::nullopt;
  }
};

// The figures of the days (those with records): the means of their means, the extremes, the
// totals and the point named most often.
ReportLine PeriodLine(std::span<const DaySummary> days, local_days first, const Units& units) {
  ReportLine line;
  line.first = first;
  Mean temperature, wind;
  std::optional<double> rainInConsoleUnit;
  WindPointCounts points{};
  for (const DaySummary& summary : days) {
    const ReportLine day = DayLine(summary, units);
    line.records += day.records;
    temperature.Add(summary.values[kOutdoorTemperature]);
    wind.Add(summary.values[kWindSpeed]);
    TakeHigher(line.high, day.high);
    TakeLower(line.low, day.low);
    TakeHigher(line.highGust, day.highGust);
    Add(line.heatingDegreeDays, day.heatingDegreeDays);
    Add(line.coolingDegreeDays, day.coolingDegreeDays);
    Add(rainInConsoleUnit, summary.rain);
    for (std::size_t i = 0; i < points.size(); ++i) {
      points[i] += summary.windPoints[i];
    }
  }
  line.meanTemperature = temperature.Of(units.temperature);
  line.meanWindSpeed = wind.Of(units.wind);
  if (rainInConsoleUnit) {
    line.rain = InShownUnit(*rainInConsoleUnit, units.rain);
  }
  line.prevailingPoint = PrevailingPoint(points);
  return line;
}

// The days of the range that have records.
std::span<const DaySummary> Within(std::span<const DaySummary> days, const DayRange& range) {
  const auto begin =
      std::lower_bound(days.begin(), days.end(), range.first,
                       [](const DaySummary& day, local_days first) { return day.day < first; });
  const auto end =
      std::upper_bound(begin, days.end(), range.last,
                       [](local_days last, const DaySummary& day) { return last < day.day; });
  return {begin, end};
}

std::vector<DaySummary> WithRecords(std::span<const DaySummary> days, const DayRange& range) {
  std::vector<DaySummary> kept;
  for (const DaySummary& day : Within(days, range)) {
    if (day.records > 0) {
      kept.push_back(day);
    }
  }
  return kept;
}

void NoteMissing(ClimateReport& report, const std::vector<DaySummary>& days) {
  auto next = days.begin();
  for (local_days day = report.period.first; day <= report.period.last;
       day += std::chrono::days{1}) {
    if (next != days.end() && next->day == day) {
      ++next;
    } else {
      report.missingDays.push_back(day);
    }
  }
}

ClimateReport Begin(bool yearly, const DayRange& period, const UnitSettings& units,
                    double degreeBase) {
  ClimateReport report;
  report.yearly = yearly;
  report.period = period;
  report.units = units;
  report.degreeBase = degreeBase;
  return report;
}

}  // namespace

double DefaultDegreeBase(TemperatureUnit unit) {
  return unit == TemperatureUnit::Fahrenheit ? 65.0 : 18.3;
}

ClimateReport MonthReport(std::span<const DaySummary> days, std::chrono::year_month month,
                          const UnitSettings& units, double degreeBase) {
  ClimateReport report = Begin(false, MonthDays(month), units, degreeBase);
  const Units shown = UnitsOf(units, degreeBase);
  const std::vector<DaySummary> kept = WithRecords(days, report.period);
  auto next = kept.begin();
  for (local_days day = report.period.first; day <= report.period.last;
       day += std::chrono::days{1}) {
    if (next != kept.end() && next->day == day) {
      report.lines.push_back(DayLine(*next++, shown));
    } else {
      report.lines.emplace_back().first = day;
    }
  }
  report.total = PeriodLine(kept, report.period.first, shown);
  NoteMissing(report, kept);
  return report;
}

ClimateReport YearReport(std::span<const DaySummary> days, std::chrono::year year,
                         const UnitSettings& units, double degreeBase) {
  ClimateReport report = Begin(true, YearDays(year), units, degreeBase);
  const Units shown = UnitsOf(units, degreeBase);
  const std::vector<DaySummary> kept = WithRecords(days, report.period);
  for (unsigned month = 1; month <= 12; ++month) {
    const DayRange range = MonthDays(year / std::chrono::month{month});
    report.lines.push_back(PeriodLine(Within(kept, range), range.first, shown));
  }
  report.total = PeriodLine(kept, report.period.first, shown);
  NoteMissing(report, kept);
  return report;
}

namespace {

std::string_view MonthName(local_days day) {
  return kMonthNames[static_cast<unsigned>(std::chrono::year_month_day{day}.month()) - 1];
}

int DayOfMonth(local_days day) {
  return static_cast<int>(static_cast<unsigned>(std::chrono::year_month_day{day}.day()));
}

std::string PointName(int point) {
  return point > 0 ? ToUtf8(CompassPoints[static_cast<std::size_t>(point) - 1]) : std::string();
}

std::string Number(const std::optional<double>& value, const ShownUnit& unit) {
  return value ? ShownText(*value, unit) : std::string();
}

// What marks a figure the line has none of, in the text.
constexpr std::string_view kNone = "---";

std::string Right(std::string_view text, std::size_t width) {
  const std::string_view shown = text.empty() ? kNone : text;
  return std::string(width > shown.size() ? width - shown.size() : 0, ' ') + std::string(shown);
}

// When an extreme was reached, as precisely as the line needs: the time on a day's line, the day
// on a month's, the month and day on a year's.
enum class When : std::uint8_t { kTime, kDay, kMonthDay };

std::string WhenText(const std::optional<ReportExtreme>& extreme, When when) {
  if (!extreme) {
    return {};
  }
  const local_days day = std::chrono::floor<std::chrono::days>(extreme->time);
  switch (when) {
    case When::kTime:
      return IsoMinuteText(extreme->time).substr(11);
    case When::kDay:
      return WholeText(DayOfMonth(day));
    case When::kMonthDay:
      break;
  }
  return std::string(MonthName(day).substr(0, 3)) + " " + WholeText(DayOfMonth(day));
}

struct Column {
  std::string_view title;
  std::size_t width;
};
constexpr std::array<Column, 13> kColumns = {{{"", 4},
                                              {"MEAN", 7},
                                              {"HIGH", 7},
                                              {"", 7},
                                              {"LOW", 7},
                                              {"", 7},
                                              {"HDD", 7},
                                              {"CDD", 7},
                                              {"RAIN", 7},
                                              {"AVG-WIND", 9},
                                              {"HIGH-GUST", 10},
                                              {"", 7},
                                              {"DOM-DIR", 8}}};

// A line's label, right-aligned in the first three places of its column.
std::string LabelCell(const std::string& label, std::size_t width) {
  const std::string cell = std::string(label.size() < 3 ? 3 - label.size() : 0, ' ') + label;
  return cell + std::string(width > cell.size() ? width - cell.size() : 1, ' ');
}

std::string TextRow(const std::array<std::string, 13>& cells, bool marked) {
  std::string row;
  for (std::size_t i = 0; i < cells.size(); ++i) {
    const std::size_t width = kColumns[i].width;
    row += i == 0 ? LabelCell(cells[0], width)
                  : Right(marked ? kNone : std::string_view(cells[i]), width);
  }
  return row + "\n";
}

std::string TextLine(const ReportLine& line, const Units& units, std::string label, When when) {
  const std::array<std::string, 13> cells = {
      std::move(label),
      Number(line.meanTemperature, units.temperature),
      Number(line.high ? std::optional(line.high->value) : std::nullopt, units.temperature),
      WhenText(line.high, when),
      Number(line.low ? std::optional(line.low->value) : std::nullopt, units.temperature),
      WhenText(line.low, when),
      Number(line.heatingDegreeDays, units.temperature),
      Number(line.coolingDegreeDays, units.temperature),
      Number(line.rain, units.rain),
      Number(line.meanWindSpeed, units.wind),
      Number(line.highGust ? std::optional(line.highGust->value) : std::nullopt, units.wind),
      WhenText(line.highGust, when),
      PointName(line.prevailingPoint)};
  return TextRow(cells, line.records == 0);
}

std::string Header(const ClimateReport& report, const Units& units) {
  const local_days first = report.period.first;
  const std::string year = WholeText(static_cast<int>(std::chrono::year_month_day{first}.year()));
  std::string header = report.yearly ? "ANNUAL CLIMATOLOGICAL SUMMARY for " + year
                                     : "MONTHLY CLIMATOLOGICAL SUMMARY for " +
                                           std::string(MonthName(first)) + " " + year;
  header += "\n\nTemperature " + units.temperature.unit + ", rain " + units.rain.unit +
            ", wind speed " + units.wind.unit + "; heating and cooling degree days from " +
            ShownText(units.degreeBase, units.temperature) + " " + units.temperature.unit + "\n\n";
  std::array<std::string, 13> titles;
  const std::string_view when = report.yearly ? "DAY" : "TIME";
  for (std::size_t i = 0; i < titles.size(); ++i) {
    titles[i] = kColumns[i].title.empty() ? std::string(when) : std::string(kColumns[i].title);
  }
  titles[0] = report.yearly ? "MO" : "DAY";
  std::string columns = TextRow(titles, false);
  return header + columns;
}

std::string Rule() {
  std::size_t width = 0;
  for (const Column& column : kColumns) {
    width += column.width;
  }
  return std::string(width, '-') + "\n";
}

// "1, 5 to 31": the month's days without records, runs joined.
std::string DayRuns(const std::vector<local_days>& days) {
  std::string text;
  for (std::size_t i = 0; i < days.size();) {
    std::size_t end = i + 1;
    while (end < days.size() && days[end] == days[end - 1] + std::chrono::days{1}) {
      ++end;
    }
    text += (i > 0 ? ", " : "") + WholeText(DayOfMonth(days[i]));
    text += end - i > 1 ? " to " + WholeText(DayOfMonth(days[end - 1])) : "";
    i = end;
  }
  return text;
}

std::string MissingText(const ClimateReport& report) {
  if (report.missingDays.empty()) {
    return {};
  }
  return "\nDays without records: " +
         (report.yearly ? WholeText(static_cast<std::int64_t>(report.missingDays.size()))
                        : DayRuns(report.missingDays)) +
         "\n";
}

// Column names with their units, as the archive's CSV export writes them.
std::string UnitSuffix(const ShownUnit& unit) {
  std::string suffix;
  for (const char c : unit.unit) {
    if (c >= 'A' && c <= 'Z') {
      suffix += static_cast<char>(c - 'A' + 'a');
    } else if (c >= 'a' && c <= 'z') {
      suffix += c;
    } else if (c == '/' && unit.unit != "km/h") {
      suffix += '_';
    }
  }
  return "_" + suffix;
}

std::string CsvCells(const ReportLine& line, const Units& units, const std::string& period) {
  const auto extreme = [](const std::optional<ReportExtreme>& value, const ShownUnit& unit) {
    return value ? ShownText(value->value, unit) + "," + IsoMinuteText(value->time)
                 : std::string(",");
  };
  return period + "," + WholeText(line.records) + "," +
         Number(line.meanTemperature, units.temperature) + "," +
         extreme(line.high, units.temperature) + "," + extreme(line.low, units.temperature) + "," +
         Number(line.heatingDegreeDays, units.temperature) + "," +
         Number(line.coolingDegreeDays, units.temperature) + "," + Number(line.rain, units.rain) +
         "," + Number(line.meanWindSpeed, units.wind) + "," + extreme(line.highGust, units.wind) +
         "," + PointName(line.prevailingPoint) + "\n";
}

std::string CsvPeriod(local_days first, bool month, bool whole) {
  const std::string day = DayText(first);
  return whole ? day.substr(0, month ? 7 : 4) : day.substr(0, month ? 7 : 10);
}

}  // namespace

std::string ReportText(const ClimateReport& report) {
  const Units units = UnitsOf(report.units, report.degreeBase);
  std::string text = Header(report, units) + Rule();
  for (const ReportLine& line : report.lines) {
    text += report.yearly
                ? TextLine(line, units, std::string(MonthName(line.first).substr(0, 3)), When::kDay)
                : TextLine(line, units, WholeText(DayOfMonth(line.first)), When::kTime);
  }
  text += Rule() + TextLine(report.total, units, "", report.yearly ? When::kMonthDay : When::kDay);
  return text + MissingText(report);
}

std::string ReportCsv(const ClimateReport& report) {
  const Units units = UnitsOf(report.units, report.degreeBase);
  const std::string t = UnitSuffix(units.temperature), r = UnitSuffix(units.rain),
                    w = UnitSuffix(units.wind);
  std::string csv = "period,records,temperature_mean" + t + ",temperature_high" + t +
                    ",temperature_high_time,temperature_low" + t +
                    ",temperature_low_time,heating_degree_days" + t + ",cooling_degree_days" + t +
                    ",rain" + r + ",wind_speed_mean" + w + ",wind_gust_high" + w +
                    ",wind_gust_high_time,dominant_direction\n";
  for (const ReportLine& line : report.lines) {
    csv += CsvCells(line, units, CsvPeriod(line.first, report.yearly, false));
  }
  return csv + CsvCells(report.total, units, CsvPeriod(report.total.first, !report.yearly, true));
}

}  // namespace nimbrel
