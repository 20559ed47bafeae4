// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/export_validation.h"

#include <algorithm>
#include <array>
#include <charconv>

namespace nimbrel {

namespace {

constexpr std::string_view kYearError = "Year input error !";
constexpr std::string_view kMonthError = "Month input error !";
constexpr std::string_view kDayError = "Day input error !";

// The earliest end year the console can have recorded.
constexpr long kFirstEndYear = 2017;
constexpr std::size_t kYearWidth = 4;
constexpr std::size_t kMonthDayWidth = 2;

std::u16string DateText(const std::u16string& year, const std::u16string& month,
                        const std::u16string& day) {
  return year + u"-" + month + u"-" + day;
}

// The number in a date box of at most `width` characters. The window's boxes take digits only;
// anything else (a sign, a blank, a letter, one digit too many) is no number, so every date that
// passes can be read by the date filter.
std::optional<long> DateBoxNumber(std::u16string_view text, std::size_t width) {
  std::array<char, kYearWidth> digits{};
  if (text.empty() || text.size() > std::min(width, digits.size())) {
    return std::nullopt;
  }
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] < u'0' || text[i] > u'9') {
      return std::nullopt;
    }
    digits[i] = static_cast<char>(text[i]);
  }
  long value = 0;
  std::from_chars(digits.data(), digits.data() + text.size(), value);
  return value;
}

bool InRange(std::optional<long> value, long low, long high) {
  return value && *value >= low && *value <= high;
}

char16_t AsciiLower(char16_t c) {
  return c >= u'A' && c <= u'Z' ? c + (u'a' - u'A') : c;
}

template <typename Char>
bool EndsWithExtension(std::basic_string_view<Char> path) {
  if (path.size() < 4) {
    return false;
  }
  const auto tail = path.substr(path.size() - 4);
  for (const std::u16string_view extension : {u".csv", u".xls"}) {
    if (std::equal(tail.begin(), tail.end(), extension.begin(),
                   [](Char a, char16_t b) { return AsciiLower(static_cast<char16_t>(a)) == b; })) {
      return true;
    }
  }
  return false;
}

}  // namespace

std::optional<std::string_view> ValidateExportRequest(const ExportChoices& choices,
                                                      ExportRequest& request) {
  request.wholePeriod = choices.wholePeriod;
  if (!choices.wholePeriod) {
    const ExportDateBoxes& d = choices.dates;
    // The start year's value is not checked, only that four digits were typed.
    if (d.startYear.size() < kYearWidth || !DateBoxNumber(d.startYear, kYearWidth)) {
      return kYearError;
    }
    if (!InRange(DateBoxNumber(d.startMonth, kMonthDayWidth), 1, 12)) {
      return kMonthError;
    }
    if (!InRange(DateBoxNumber(d.startDay, kMonthDayWidth), 1, 31)) {
      return kDayError;
    }
    request.startDate = DateText(d.startYear, d.startMonth, d.startDay);
    if (DateBoxNumber(d.endYear, kYearWidth).value_or(0) < kFirstEndYear) {
      return kYearError;
    }
    if (!InRange(DateBoxNumber(d.endMonth, kMonthDayWidth), 1, 12)) {
      return kMonthError;
    }
    if (!InRange(DateBoxNumber(d.endDay, kMonthDayWidth), 1, 31)) {
      return kDayError;
    }
    request.endDate = DateText(d.endYear, d.endMonth, d.endDay);
  }
  request.dataSets = choices.dataSets;
  return std::nullopt;
}

bool HasExportFileExtension(std::u16string_view path) {
  return EndsWithExtension(path);
}

bool HasExportFileExtension(std::string_view path) {
  return EndsWithExtension(path);
}

}  // namespace nimbrel
