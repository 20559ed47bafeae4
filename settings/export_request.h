// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <compare>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace nimbrel {

// The groups of values an export can hold, in the order of their flags.
enum class DataSet : std::uint8_t {
  BarometricPressure,
  IndoorTemperatureHumidity,
  OutdoorTemperatureHumidity,
  RainData,
  UvIndex,
  WindData,
  OutdoorDewPoint,
  OutdoorHeatIndex,
  Ch1,
  Ch2,
  Ch3,
  Ch4,
  Ch5,
  Ch6,
  Ch7,
};
inline constexpr std::size_t kDataSetCount = 15;
inline constexpr int kExportChannelCount = 7;

// The data set of extra channel 1 to 7; any other number gives a set past the list.
DataSet ChannelDataSet(int channel);

// A date text holds at most this many UTF-16 units; a longer one is no date.
inline constexpr std::size_t kMaxDateLength = 63;

// What the last accepted Export press asked for. Filled on the user-interface thread, read by
// the export thread once the history download is complete.
struct ExportRequest {
  bool wholePeriod = false;  // no date filter
  // "year-month-day" as typed, without leading zeros added or removed. Kept, but unused, while
  // wholePeriod is set.
  std::u16string startDate;
  std::u16string endDate;
  std::array<bool, kDataSetCount> dataSets{};

  // A set outside the list (a channel number out of range) is never included.
  bool Includes(DataSet set) const {
    const auto slot = static_cast<std::size_t>(set);
    return slot < kDataSetCount && dataSets[slot];
  }
  void SetIncluded(DataSet set, bool included) {
    const auto slot = static_cast<std::size_t>(set);
    if (slot < kDataSetCount) {
      dataSets[slot] = included;
    }
  }
};

// Orders two "year-month-day" texts by year * 10000 + month * 100 + day, so leading zeros do not
// matter and 2018-2-31 comes before 2018-3-1. A text that is not three unsigned decimal numbers
// joined by "-" is unordered against anything, itself included.
std::partial_ordering CompareDates(std::string_view a, std::string_view b);
std::partial_ordering CompareDates(std::u16string_view a, std::u16string_view b);

// Whether a record of this date belongs in the export: every record for the whole period,
// otherwise start <= date <= end. A date that cannot be read never passes.
bool PassesDateFilter(const ExportRequest& request, std::string_view recordDate);
bool PassesDateFilter(const ExportRequest& request, std::u16string_view recordDate);

}  // namespace nimbrel
