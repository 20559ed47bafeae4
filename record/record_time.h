// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

#include "record/record_fields.h"

namespace nimbrel {

// The console's clock has no time zone: a record's time is a reading of that clock, so it is
// kept as local time, which sorts and subtracts like any other time.
using RecordTimePoint = std::chrono::local_seconds;

// The time of a record from its date ("year-month-day") and time ("hh:mm") fields. Nothing when
// either cannot be read as a real calendar date and a time of day.
std::optional<RecordTimePoint> RecordTime(std::string_view date, std::string_view time);
std::optional<RecordTimePoint> RecordTime(const RecordFields& fields);
// The same for a whole record text, without splitting more of it than the date and time.
std::optional<RecordTimePoint> RecordTimeOfText(std::string_view text);

// A date "year-month-day" with any month of 1 to 12 and day of 1 to 31 (2018-2-31 included,
// as the export's date boxes allow it); nothing for anything else.
struct DateNumbers {
  int year = 0;
  unsigned month = 0;
  unsigned day = 0;
};
std::optional<DateNumbers> ReadDateNumbers(std::string_view text);

// The PC's local time, read once: what the console's clock is set to.
struct LocalDateTime {
  int year = 0, month = 0, day = 0;
  int hour = 0, minute = 0, second = 0;
};
LocalDateTime LocalNow();
// The same as a record's time: the `now` of a chart.
RecordTimePoint ClockNow();

// ISO 8601 to the minute: "2018-01-02T08:05".
std::string IsoMinuteText(RecordTimePoint when);

}  // namespace nimbrel
