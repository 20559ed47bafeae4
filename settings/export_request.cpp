// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/export_request.h"

#include <charconv>
#include <optional>

namespace nimbrel {
namespace {

using DateNumber = std::optional<std::int64_t>;

// One unsigned decimal number at `pos`; from_chars alone would also take a sign.
std::optional<std::int32_t> ReadNumber(std::string_view text, std::size_t& pos) {
  if (pos >= text.size() || text[pos] < '0' || text[pos] > '9') {
    return std::nullopt;
  }
  std::int32_t number = 0;
  const char* first = text.data() + pos;
  const auto [end, error] = std::from_chars(first, text.data() + text.size(), number);
  if (error != std::errc{}) {
    return std::nullopt;
  }
  pos += static_cast<std::size_t>(end - first);
  return number;
}

bool ReadSeparator(std::string_view text, std::size_t& pos) {
  if (pos >= text.size() || text[pos] != '-') {
    return false;
  }
  ++pos;
  return true;
}

// year * 10000 + month * 100 + day of a text that is exactly "year-month-day".
DateNumber ParseDate(std::string_view text) {
  if (text.size() > kMaxDateLength) {
    return std::nullopt;
  }
  std::size_t pos = 0;
  const auto year = ReadNumber(text, pos);
  const auto month = year && ReadSeparator(text, pos) ? ReadNumber(text, pos) : std::nullopt;
  const auto day = month && ReadSeparator(text, pos) ? ReadNumber(text, pos) : std::nullopt;
  if (!day || pos != text.size()) {
    return std::nullopt;
  }
  return std::int64_t{*year} * 10000 + std::int64_t{*month} * 100 + *day;
}

// Dates are ASCII; any other unit makes the text unreadable.
DateNumber ParseDate(std::u16string_view text) {
  if (text.size() > kMaxDateLength) {
    return std::nullopt;
  }
  std::array<char, kMaxDateLength> narrow{};
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] > 0x7F) {
      return std::nullopt;
    }
    narrow[i] = static_cast<char>(text[i]);
  }
  return ParseDate(std::string_view(narrow.data(), text.size()));
}

std::partial_ordering Compare(DateNumber a, DateNumber b) {
  if (!a || !b) {
    return std::partial_ordering::unordered;
  }
  return *a <=> *b;
}

bool WithinPeriod(DateNumber date, const ExportRequest& request) {
  return Compare(date, ParseDate(request.startDate)) >= 0 &&
         Compare(date, ParseDate(request.endDate)) <= 0;
}

}  // namespace

DataSet ChannelDataSet(int channel) {
  if (channel < 1 || channel > kExportChannelCount) {
    return static_cast<DataSet>(kDataSetCount);  // past the list: never included
  }
  return static_cast<DataSet>(static_cast<int>(DataSet::Ch1) + channel - 1);
}

std::partial_ordering CompareDates(std::string_view a, std::string_view b) {
  return Compare(ParseDate(a), ParseDate(b));
}

std::partial_ordering CompareDates(std::u16string_view a, std::u16string_view b) {
  return Compare(ParseDate(a), ParseDate(b));
}

bool PassesDateFilter(const ExportRequest& request, std::string_view recordDate) {
  return request.wholePeriod || WithinPeriod(ParseDate(recordDate), request);
}

bool PassesDateFilter(const ExportRequest& request, std::u16string_view recordDate) {
  return request.wholePeriod || WithinPeriod(ParseDate(recordDate), request);
}

}  // namespace nimbrel
