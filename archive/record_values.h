// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "record/record_fields.h"
#include "record/record_time.h"

namespace nimbrel::archive_detail {

// How the console marks a field that has no reading: a temperature may be negative, so only a
// double dash counts there; rain, wind speed and pressure are never negative.
enum class NoReading : std::uint8_t { NotMarked, AnyDash, DoubleDash };

// A numeric field of the record and the column that keeps its value.
struct ValueColumn {
  RecordField field;
  std::string_view name;
  NoReading test;
};

constexpr RecordField Field(std::size_t number) {
  return static_cast<RecordField>(number);
}

using enum NoReading;

// Every numeric field of the record; the compass point (12) and the logger's fill (0) are not
// values of the weather.
inline constexpr std::array<ValueColumn, 32> kValueColumns{{
    {kFieldIndoorTemperature, "indoor_temperature", DoubleDash},
    {kFieldIndoorHumidity, "indoor_humidity", NotMarked},
    {kFieldOutdoorTemperature, "outdoor_temperature", DoubleDash},
    {kFieldOutdoorHumidity, "outdoor_humidity", NotMarked},
    {kFieldDailyRain, "daily_rain", AnyDash},
    {kFieldRainRate, "rain_rate", AnyDash},
    {kFieldWindSpeed, "wind_speed", AnyDash},
    {kFieldWindGust, "wind_gust", AnyDash},
    {kFieldWindDirectionDegrees, "wind_direction", NotMarked},
    {kFieldRelativePressure, "relative_pressure", AnyDash},
    {kFieldAbsolutePressure, "absolute_pressure", AnyDash},
    {kFieldUvIndex, "uv_index", NotMarked},
    {kFieldDewPoint, "dew_point", DoubleDash},
    {kFieldHeatIndex, "heat_index", DoubleDash},
    {Field(18), "ch1_temperature", DoubleDash},
    {Field(19), "ch1_humidity", NotMarked},
    {Field(20), "ch2_temperature", DoubleDash},
    {Field(21), "ch2_humidity", NotMarked},
    {Field(22), "ch3_temperature", DoubleDash},
    {Field(23), "ch3_humidity", NotMarked},
    {Field(24), "ch4_temperature", DoubleDash},
    {Field(25), "ch4_humidity", NotMarked},
    {Field(26), "ch5_temperature", DoubleDash},
    {Field(27), "ch5_humidity", NotMarked},
    {Field(28), "ch6_temperature", DoubleDash},
    {Field(29), "ch6_humidity", NotMarked},
    {Field(30), "ch7_temperature", DoubleDash},
    {Field(31), "ch7_humidity", NotMarked},
    {kFieldWindChill, "wind_chill", DoubleDash},
    {kFieldHourlyRain, "hourly_rain", AnyDash},
    {kFieldWeeklyRain, "weekly_rain", AnyDash},
    {kFieldMonthlyRain, "monthly_rain", AnyDash},
}};

// The values of a record in the order of kValueColumns; nothing for no reading.
using ColumnValues = std::array<std::optional<double>, kValueColumns.size()>;

// The column of a numeric field; nothing for another field.
const ValueColumn* ColumnOf(RecordField field);

// The value of a field: nothing when it is marked as no reading or is not wholly a number (an
// empty field, or "--" in a humidity).
std::optional<double> ReadValue(std::string_view text, NoReading test);

// Fields 1 to 35 joined by single spaces: what tells one record from another.
void AppendRecordBody(const RecordFields& fields, std::string& body);
// The same for the text the fields were split from: a part of the text itself when it holds the
// fields exactly (as the console's texts do), else built in `storage`.
std::string_view RecordBody(std::string_view text, const RecordFields& fields,
                            std::string& storage);

// ---- A record's place in the console's log order ---------------------------------------------

// Records are read in the order of their place: its time in seconds times kPlaceSteps, so that
// records placed after another one (below) fit between two minutes.
inline constexpr std::int64_t kPlaceSteps = 1024;
// A step back of the console's clock by at most this (the autumn clock change, a corrected
// clock) keeps the log's order: what follows it is placed after the record before the step until
// the clock passes that record's time again. A larger step (a clock reset after a battery change)
// places each record by its own time.
inline constexpr std::int64_t kFoldSeconds = 2 * 60 * 60;
inline constexpr std::int64_t kDaySeconds = 24 * 60 * 60;

// What tells a record's place: its time, or, when only its date reads, its day.
struct RecordWhen {
  std::optional<std::int64_t> taken;  // seconds since 1970-01-01 by the console's clock
  std::optional<std::int64_t> day;    // days since 1970-01-01
};
RecordWhen WhenOf(const RecordFields& fields);
RecordWhen WhenOfText(std::string_view text);

// The place of a record that follows, in the log, the record placed at `previous` on
// `previousDay` (nothing for the first record); nothing for a record without a date.
std::optional<std::int64_t> PlaceAfter(const RecordWhen& when, std::optional<std::int64_t> previous,
                                       std::optional<std::int64_t> previousDay);

// The places of the records of the days first to last lie in [first, end).
struct PlaceSpan {
  std::int64_t first;
  std::int64_t end;
};
PlaceSpan PlacesOfDays(std::chrono::local_days first, std::chrono::local_days last);

}  // namespace nimbrel::archive_detail
