// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/records_figures.h"

namespace nimbrel::ui {

std::array<DayRange, kRecordsPeriodCount> RecordsRanges(std::span<const DaySummary> days,
                                                        std::chrono::local_days today,
                                                        unsigned seasonStart) {
  using namespace std::chrono;
  const year_month_day date{today};
  const unsigned month = static_cast<unsigned>(date.month());
  // A season that starts in a later month than today's began last year.
  const year seasonYear = month < seasonStart ? date.year() - years{1} : date.year();
  const DayRange all =
      days.empty() ? DayRange{today, today} : DayRange{days.front().day, days.back().day};
  return {{{today, today},
           {today - std::chrono::days{1}, today - std::chrono::days{1}},
           MonthDays(date.year() / date.month()),
           YearDays(date.year()),
           SeasonDays(seasonYear, seasonStart),
           all}};
}

RecordsFigures SummarizeRecords(std::span<const DaySummary> days, std::chrono::local_days today,
                                unsigned seasonStart) {
  RecordsFigures figures;
  const auto ranges = RecordsRanges(days, today, seasonStart);
  for (std::size_t period = 0; period < kRecordsPeriodCount; ++period) {
    figures[period] = Summarize(days, ranges[period].first, ranges[period].last);
  }
  return figures;
}

}  // namespace nimbrel::ui
