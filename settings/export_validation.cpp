#include "settings/export_validation.h"

#include <algorithm>
#include <charconv>

namespace nimbrel {

namespace {

constexpr std::string_view kYearError = "Year input error !";
constexpr std::string_view kMonthError = "Month input error !";
constexpr std::string_view kDayError = "Day input error !";

// The earliest end year the console can have recorded.
constexpr long kFirstEndYear = 2017;

bool InRange(long value, long low, long high) {
  return value >= low && value <= high;
}

std::u16string DateText(const std::u16string& year, const std::u16string& month,
                        const std::u16string& day) {
  return year + u"-" + month + u"-" + day;
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

long DateBoxNumber(std::u16string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == u' ' || text[i] == u'\t')) {
    ++i;
  }
  bool negative = false;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
    negative = text[i] == u'-';
    ++i;
  }
  // Only ASCII digits count; a number too large to hold reads as 0.
  std::string digits;
  while (i < text.size() && text[i] >= u'0' && text[i] <= u'9') {
    digits.push_back(static_cast<char>(text[i++]));
  }
  long value = 0;
  std::from_chars(digits.data(), digits.data() + digits.size(), value);
  return negative ? -value : value;
}

std::optional<std::string_view> ValidateExportRequest(const ExportChoices& choices,
                                                      ExportRequest& request) {
  request.wholePeriod = choices.wholePeriod;
  if (!choices.wholePeriod) {
    const ExportDateBoxes& d = choices.dates;
    // The start year's value is not checked, only that four digits were typed.
    if (d.startYear.size() < 4) {
      return kYearError;
    }
    if (!InRange(DateBoxNumber(d.startMonth), 1, 12)) {
      return kMonthError;
    }
    if (!InRange(DateBoxNumber(d.startDay), 1, 31)) {
      return kDayError;
    }
    request.startDate = DateText(d.startYear, d.startMonth, d.startDay);
    if (DateBoxNumber(d.endYear) < kFirstEndYear) {
      return kYearError;
    }
    if (!InRange(DateBoxNumber(d.endMonth), 1, 12)) {
      return kMonthError;
    }
    if (!InRange(DateBoxNumber(d.endDay), 1, 31)) {
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
