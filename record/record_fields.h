// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <optional>
#include <string_view>

namespace nimbrel {

// One field of a console record: at most 31 characters, longer tokens keep their first 31.
class FieldText {
 public:
  static constexpr std::size_t kCapacity = 31;

  void Append(char c) {
    if (size_ < kCapacity) {
      chars_[size_++] = c;
    }
  }
  // Replaces the text; a longer one keeps its first kCapacity characters.
  void Assign(std::string_view text) {
    size_ = std::min(text.size(), kCapacity);
    std::copy_n(text.data(), size_, chars_.data());
  }
  std::string_view View() const { return {chars_.data(), size_}; }
  bool Empty() const { return size_ == 0; }

 private:
  std::array<char, kCapacity> chars_{};
  std::size_t size_ = 0;
};

// The 36 fields of a live or history record, in the console's order.
inline constexpr std::size_t kRecordFieldCount = 36;
using RecordFields = std::array<FieldText, kRecordFieldCount>;

// Splits a record text: every single space ends a field (two spaces give an empty field),
// fields past the 36th are ignored, and a zero byte ends the text.
RecordFields SplitRecord(std::string_view text);

// The same fields as views into the text itself, each cut to FieldText::kCapacity characters:
// nothing is copied, for the export's tens of thousands of records.
using RecordFieldViews = std::array<std::string_view, kRecordFieldCount>;
RecordFieldViews SplitRecordInPlace(std::string_view text);

// The whole field as one finite number, by the "C" rules whatever the locale; nothing when any
// of it is not. The console's marks for no reading ("--", "-") are the caller's to look for.
std::optional<double> ReadFieldNumber(std::string_view field);

// Field numbers of the record, as the console sends them.
enum RecordField : std::size_t {
  kFieldLoggerPercent = 0,
  kFieldDate = 1,
  kFieldTime = 2,
  kFieldIndoorTemperature = 3,
  kFieldIndoorHumidity = 4,
  kFieldOutdoorTemperature = 5,
  kFieldOutdoorHumidity = 6,
  kFieldDailyRain = 7,
  kFieldRainRate = 8,
  kFieldWindSpeed = 9,
  kFieldWindGust = 10,
  kFieldWindDirectionDegrees = 11,
  kFieldWindDirectionPoint = 12,
  kFieldRelativePressure = 13,
  kFieldAbsolutePressure = 14,
  kFieldUvIndex = 15,
  kFieldDewPoint = 16,
  kFieldHeatIndex = 17,
  kFieldChannel1Temperature = 18,  // channel k (1-7): temperature 16 + 2k, humidity 17 + 2k
  kFieldChannel1Humidity = 19,
  kFieldWindChill = 32,
  kFieldHourlyRain = 33,
  kFieldWeeklyRain = 34,
  kFieldMonthlyRain = 35,
};

}  // namespace nimbrel
