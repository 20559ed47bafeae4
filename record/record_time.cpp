// SPDX-License-Identifier: GPL-3.0-or-later
#include "record/record_time.h"

#include <array>
#include <charconv>
#include <ctime>

namespace nimbrel {
namespace {

using namespace std::chrono;

// An unsigned decimal number of 1 to `maxDigits` digits at the start of `text`, consumed.
std::optional<unsigned> TakeNumber(std::string_view& text, std::size_t maxDigits) {
  std::size_t digits = 0;
  while (digits < text.size() && digits < maxDigits && text[digits] >= '0' && text[digits] <= '9') {
    ++digits;
  }
  if (digits == 0 || (digits < text.size() && text[digits] >= '0' && text[digits] <= '9')) {
    return std::nullopt;
  }
  unsigned value = 0;
  std::from_chars(text.data(), text.data() + digits, value);
  text.remove_prefix(digits);
  return value;
}

bool TakeChar(std::string_view& text, char c) {
  if (text.empty() || text.front() != c) {
    return false;
  }
  text.remove_prefix(1);
  return true;
}

void AppendDigits(std::string& out, unsigned value, std::size_t width) {
  std::array<char, 8> digits{};
  const auto end = std::to_chars(digits.data(), digits.data() + digits.size(), value).ptr;
  const auto length = static_cast<std::size_t>(end - digits.data());
  out.append(length < width ? width - length : 0, '0');
  out.append(digits.data(), length);
}

}  // namespace

std::optional<DateNumbers> ReadDateNumbers(std::string_view text) {
  const auto year = TakeNumber(text, 4);
  const auto month = year && TakeChar(text, '-') ? TakeNumber(text, 2) : std::nullopt;
  const auto day = month && TakeChar(text, '-') ? TakeNumber(text, 2) : std::nullopt;
  if (!day || !text.empty() || *month < 1 || *month > 12 || *day < 1 || *day > 31) {
    return std::nullopt;
  }
  return DateNumbers{static_cast<int>(*year), *month, *day};
}

std::optional<RecordTimePoint> RecordTime(std::string_view date, std::string_view time) {
  const auto numbers = ReadDateNumbers(date);
  const auto hour = TakeNumber(time, 2);
  const auto minute = hour && TakeChar(time, ':') ? TakeNumber(time, 2) : std::nullopt;
  if (!numbers || !minute || !time.empty() || *hour > 23 || *minute > 59) {
    return std::nullopt;
  }
  const year_month_day day{year{numbers->year}, month{numbers->month},
                           std::chrono::day{numbers->day}};
  if (!day.ok()) {
    return std::nullopt;
  }
  return local_days{day} + hours{*hour} + minutes{*minute};
}

std::optional<RecordTimePoint> RecordTime(const RecordFields& fields) {
  return RecordTime(fields[kFieldDate].View(), fields[kFieldTime].View());
}

std::optional<RecordTimePoint> RecordTimeOfText(std::string_view text) {
  // Fields 1 and 2 lie between the first three spaces; a field longer than a field holds could
  // be no date or time either way.
  const std::size_t date = text.find(' ');
  const std::size_t time = date == std::string_view::npos ? date : text.find(' ', date + 1);
  if (time == std::string_view::npos) {
    return std::nullopt;
  }
  const std::size_t end = text.find(' ', time + 1);
  return RecordTime(text.substr(date + 1, time - date - 1),
                    text.substr(time + 1, end == std::string_view::npos ? end : end - time - 1));
}

std::string IsoMinuteText(RecordTimePoint when) {
  const local_days day = floor<days>(when);
  const year_month_day date{day};
  const hh_mm_ss time{floor<minutes>(when - day)};
  std::string text;
  AppendDigits(text, static_cast<unsigned>(static_cast<int>(date.year())), 4);
  text += '-';
  AppendDigits(text, static_cast<unsigned>(date.month()), 2);
  text += '-';
  AppendDigits(text, static_cast<unsigned>(date.day()), 2);
  text += 'T';
  AppendDigits(text, static_cast<unsigned>(time.hours().count()), 2);
  text += ':';
  AppendDigits(text, static_cast<unsigned>(time.minutes().count()), 2);
  return text;
}

LocalDateTime LocalNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
#if defined(_WIN32)
  localtime_s(&local, &now);
#else
  localtime_r(&now, &local);
#endif
  return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
          local.tm_hour,        local.tm_min,     local.tm_sec};
}

RecordTimePoint ClockNow() {
  const LocalDateTime now = LocalNow();
  const std::chrono::year_month_day date{std::chrono::year{now.year},
                                         std::chrono::month{static_cast<unsigned>(now.month)},
                                         std::chrono::day{static_cast<unsigned>(now.day)}};
  return std::chrono::local_days{date} + std::chrono::hours{now.hour} +
         std::chrono::minutes{now.minute} + std::chrono::seconds{now.second};
}

}  // namespace nimbrel
