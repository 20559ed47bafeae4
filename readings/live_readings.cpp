// SPDX-License-Identifier: GPL-3.0-or-later
#include "readings/live_readings.h"

#include <algorithm>

namespace nimbrel {

ReadingText::ReadingText(std::u16string_view text) {
  for (const char16_t c : text.substr(0, kCapacity)) {
    chars_[size_++] = c;
  }
}

ReadingText WidenField(std::string_view field) {
  std::array<char16_t, ReadingText::kCapacity> wide{};
  const std::size_t size = std::min(field.size(), wide.size());
  for (std::size_t i = 0; i < size; ++i) {
    wide[i] = static_cast<unsigned char>(field[i]);
  }
  return ReadingText(std::u16string_view(wide.data(), size));
}

void ClearLiveReadings(LiveReadings& readings) {
  for (ReadingText& field : readings.fields) {
    field.Clear();
  }
}

void DecodeLiveText(std::string_view body, LiveReadings& readings) {
  const RecordFields fields = SplitRecord(body.substr(0, kLiveTextMaxLength));
  for (std::size_t i = 0; i < kRecordFieldCount; ++i) {
    readings.fields[i] = WidenField(fields[i].View());
  }
}

namespace {

// Each placeholder reads as a missing reading to the test of its field.
std::u16string_view NoDataPlaceholder(std::size_t field) {
  switch (field) {
    case kFieldIndoorTemperature:
    case kFieldOutdoorTemperature:
    case kFieldDewPoint:
    case kFieldHeatIndex:
      return u"--.-";
    case kFieldDailyRain:
    case kFieldRainRate:
      return u"-.-";
    case kFieldWindDirectionDegrees:
      return u"";
    default:
      break;
  }
  const bool channelTemperature = field >= kFieldChannel1Temperature && field < kFieldWindChill &&
                                  (field - kFieldChannel1Temperature) % 2 == 0;
  return channelTemperature ? u"--.-" : u"--";
}

bool KeepsLastValue(std::size_t field) {
  return field == kFieldDate || field == kFieldTime || field >= kFieldWindChill;
}

}  // namespace

void SetNoDataPlaceholders(LiveReadings& readings) {
  for (std::size_t i = 0; i < kRecordFieldCount; ++i) {
    if (!KeepsLastValue(i)) {
      readings.fields[i] = ReadingText(NoDataPlaceholder(i));
    }
  }
}

}  // namespace nimbrel
