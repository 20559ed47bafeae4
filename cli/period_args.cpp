// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/period_args.h"

#include "record/record_time.h"

namespace nimbrel::cli {

std::optional<std::chrono::local_days> ReadDay(std::string_view text) {
  const auto numbers = ReadDateNumbers(text);
  if (!numbers) {
    return std::nullopt;
  }
  const std::chrono::year_month_day date{std::chrono::year{numbers->year},
                                         std::chrono::month{numbers->month},
                                         std::chrono::day{numbers->day}};
  return date.ok() ? std::optional(std::chrono::local_days{date}) : std::nullopt;
}

// Through the day's rules, with the first of the month or year added.
std::optional<std::chrono::year_month> ReadMonth(std::string_view text) {
  if (text.find('-') == std::string_view::npos) {
    return std::nullopt;
  }
  const auto day = ReadDay(std::string(text) + "-1");
  if (!day) {
    return std::nullopt;
  }
  const std::chrono::year_month_day date{*day};
  return date.year() / date.month();
}

std::optional<std::chrono::year> ReadYear(std::string_view text) {
  if (text.find('-') != std::string_view::npos) {
    return std::nullopt;
  }
  const auto day = ReadDay(std::string(text) + "-1-1");
  return day ? std::optional(std::chrono::year_month_day{*day}.year()) : std::nullopt;
}

}  // namespace nimbrel::cli
