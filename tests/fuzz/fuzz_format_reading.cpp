// SPDX-License-Identifier: GPL-3.0-or-later
// FormatReading on any field text, for every kind, with any unit bytes (damaged settings too).
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "readings/reading_format.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace nimbrel;
  if (size < 7) {
    return 0;
  }
  UnitSettings units;
  units.temperatureUnit = static_cast<TemperatureUnit>(data[0] % 3);
  units.rainUnit = static_cast<RainUnit>(data[1] % 3);
  units.pressureUnit = static_cast<PressureUnit>(data[2] % 4);
  units.windSpeedUnit = static_cast<WindSpeedUnit>(data[3] % 5);
  units.pressureType = static_cast<PressureType>(data[4] % 3);
  units.windDirectionFormat = static_cast<WindDirectionFormat>(data[5] % 3);
  const auto kind = static_cast<ReadingKind>(data[6] % 8);
  std::u16string text((size - 7) / 2, u'\0');
  std::memcpy(text.data(), data + 7, text.size() * 2);
  const FormattedReading shown = FormatReading(kind, text, units);
  if (shown.dialNumber < 0 || shown.dialNumber > 16) {
    std::abort();
  }
  TemperatureInUnit(text, units.temperatureUnit);
  PressureInUnit(text, units.pressureUnit);
  WindSpeedInUnit(text, units.windSpeedUnit);
  RainInUnit(text, units.rainUnit);
  return 0;
}
