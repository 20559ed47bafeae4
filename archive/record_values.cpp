// SPDX-License-Identifier: GPL-3.0-or-later
#include "archive/record_values.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>

namespace nimbrel::archive_detail {

const ValueColumn* ColumnOf(RecordField field) {
  const auto* found = std::find_if(kValueColumns.begin(), kValueColumns.end(),
                                   [field](const ValueColumn& c) { return c.field == field; });
  return found == kValueColumns.end() ? nullptr : found;
}

namespace {

// The console's numbers are short decimals such as "-12.5": read as whole digits divided by a
// power of ten, which is exact to the last bit (both are exact doubles and the division rounds
// once), and several times quicker than the general conversion. Nothing for any other form.
std::optional<double> ReadShortDecimal(std::string_view text) {
  static constexpr std::array<double, 10> kPowers = {1e0, 1e1, 1e2, 1e3, 1e4,
                                                     1e5, 1e6, 1e7, 1e8, 1e9};
  const bool negative = text.starts_with('-');
  text.remove_prefix(negative ? 1 : 0);
  std::uint64_t digits = 0;
  std::size_t count = 0;
  std::size_t decimals = 0;
  bool point = false;
  for (const char c : text) {
    if (c == '.' && !point) {
      point = true;
    } else if (c >= '0' && c <= '9' && count < 15) {
      digits = digits * 10 + static_cast<std::uint64_t>(c - '0');
      ++count;
      decimals += point ? 1 : 0;
    } else {
      return std::nullopt;
    }
  }
  if (count == 0 || decimals >= kPowers.size()) {
    return std::nullopt;
  }
  const double value = static_cast<double>(digits) / kPowers[decimals];
  return negative ? -value : value;
}

}  // namespace

std::optional<double> ReadValue(std::string_view text, NoReading test) {
  // A short decimal holds no dash but its sign, so only that can mark it.
  if (const auto quick = ReadShortDecimal(text)) {
    return test == AnyDash && text.starts_with('-') ? std::nullopt : quick;
  }
  if ((test == AnyDash && text.find('-') != std::string_view::npos) ||
      (test == DoubleDash && text.find("--") != std::string_view::npos)) {
    return std::nullopt;
  }
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) {
    return std::nullopt;
  }
  return value;
}

std::string_view RecordBody(std::string_view text, const RecordFields& fields,
                            std::string& storage) {
  std::size_t length = 0;
  for (std::size_t i = 1; i < fields.size(); ++i) {
    length += fields[i].View().size() + (i > 1 ? 1 : 0);
  }
  // Exactly 35 fields after the first space, none cut short: the rest of the text is the body.
  const std::size_t start = text.find(' ');
  const std::string_view rest = start == std::string_view::npos ? "" : text.substr(start + 1);
  if (rest.size() == length && static_cast<std::size_t>(std::count(rest.begin(), rest.end(),
                                                                   ' ')) == kRecordFieldCount - 2) {
    return rest;
  }
  storage.clear();
  AppendRecordBody(fields, storage);
  return storage;
}

void AppendRecordBody(const RecordFields& fields, std::string& body) {
  for (std::size_t i = 1; i < fields.size(); ++i) {
    if (i > 1) {
      body += ' ';
    }
    body += fields[i].View();
  }
}

namespace {

RecordWhen WhenOfTime(RecordTimePoint taken) {
  return {taken.time_since_epoch().count(),
          std::chrono::floor<std::chrono::days>(taken).time_since_epoch().count()};
}

}  // namespace

RecordWhen WhenOf(const RecordFields& fields) {
  if (const auto taken = RecordTime(fields)) {
    return WhenOfTime(*taken);
  }
  RecordWhen when;
  const auto date = ReadDateNumbers(fields[kFieldDate].View());
  const std::chrono::year_month_day calendar = date ? std::chrono::year{date->year} /
                                                          std::chrono::month{date->month} /
                                                          std::chrono::day{date->day}
                                                    : std::chrono::year_month_day{};
  if (date && calendar.ok()) {
    when.day = std::chrono::local_days{calendar}.time_since_epoch().count();
  }
  return when;
}

RecordWhen WhenOfText(std::string_view text) {
  const auto taken = RecordTimeOfText(text);
  return taken ? WhenOfTime(*taken) : WhenOf(SplitRecord(text));
}

std::optional<std::int64_t> PlaceAfter(const RecordWhen& when, std::optional<std::int64_t> previous,
                                       std::optional<std::int64_t> previousDay) {
  if (when.taken) {
    const std::int64_t own = *when.taken * kPlaceSteps;
    const bool steppedBack = previous && own <= *previous;
    return steppedBack && *previous - own <= kFoldSeconds * kPlaceSteps ? *previous + 1 : own;
  }
  if (when.day) {
    // A record whose time cannot be read stays after the one before it on its day.
    return previous && previousDay == when.day ? *previous + 1
                                               : *when.day * kDaySeconds * kPlaceSteps;
  }
  return std::nullopt;
}

PlaceSpan PlacesOfDays(std::chrono::local_days first, std::chrono::local_days last) {
  // A record placed after another lies at most a step back's length past its own time; a day
  // more covers that with room to spare.
  return {first.time_since_epoch().count() * kDaySeconds * kPlaceSteps,
          (last.time_since_epoch().count() + 2) * kDaySeconds * kPlaceSteps};
}

}  // namespace nimbrel::archive_detail
