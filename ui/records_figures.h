// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <optional>
#include <span>

#include "stats/period_stats.h"

namespace nimbrel::ui {

// The periods of the Records tab, in the order of its columns.
enum class RecordsPeriod : std::uint8_t { kToday, kYesterday, kMonth, kYear, kSeason, kAllTime };
inline constexpr std::size_t kRecordsPeriodCount = 6;

using RecordsFigures = std::array<PeriodStats, kRecordsPeriodCount>;

// The days of each period as seen on `today` (the PC's date): the rain season is the one under way,
// which began on the first of `seasonStart` (1-12) this year or last; all time runs from the day of
// the first dated record (else the first day in `days`) to the last day in `days`, as nimbrel-cli
// stats --all counts it, or is today alone when there are no days.
std::array<DayRange, kRecordsPeriodCount> RecordsRanges(
    std::span<const DaySummary> days, std::optional<std::chrono::local_days> firstRecord,
    std::chrono::local_days today, unsigned seasonStart);

// The figures of every period from the archive's days (in day order).
RecordsFigures SummarizeRecords(std::span<const DaySummary> days,
                                std::optional<std::chrono::local_days> firstRecord,
                                std::chrono::local_days today, unsigned seasonStart);

}  // namespace nimbrel::ui
