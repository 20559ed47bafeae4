// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/records_figures.h"

namespace nimbrel::ui {

std::array<DayRange, kRecordsPeriodCount> RecordsRanges(
    std::span<const DaySummary> days, std::optional<std::chrono::local_days> firstRecord,
    std::chrono::local_days today, unsigned seasonStart) {
  using namespace std::chrono;
  const year_month_day date{today};
  const DayRange all = days.empty()
                           ? DayRange{today, today}
                           : DayRange{firstRecord.value_or(days.front().day), days.back().day};
  return {{{today, today},
           {today - std::chrono::days{1}, today - std::chrono::days{1}},
           MonthDays(date.year() / date.month()),
           YearDays(date.year()),
           SeasonOf(today, seasonStart),
           all}};
}

RecordsFigures SummarizeRecords(std::span<const DaySummary> days,
                                std::optional<std::chrono::local_days> firstRecord,
                                std::chrono::local_days today, unsigned seasonStart) {
  RecordsFigures figures;
  const auto ranges = RecordsRanges(days, firstRecord, today, seasonStart);
  for (std::size_t period = 0; period < kRecordsPeriodCount; ++period) {
    figures[period] = Summarize(days, ranges[period].first, ranges[period].last);
  }
  return figures;
}

}  // namespace nimbrel::ui
