// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

namespace nimbrel {

// The user's units. Each value is the index of the item in the setup panel's list, and the six
// bytes are stored in this order.
enum class TemperatureUnit : std::uint8_t { Celsius = 0, Fahrenheit = 1 };
enum class RainUnit : std::uint8_t { Millimetre = 0, Inch = 1 };
enum class PressureUnit : std::uint8_t { Hpa = 0, MmHg = 1, InHg = 2 };
enum class WindSpeedUnit : std::uint8_t { Mph = 0, MetresPerSecond = 1, KmPerHour = 2, Knots = 3 };
enum class PressureType : std::uint8_t { Absolute = 0, Relative = 1 };
enum class WindDirectionFormat : std::uint8_t { Points16 = 0, Degrees360 = 1 };

struct UnitSettings {
  TemperatureUnit temperatureUnit = TemperatureUnit::Celsius;
  RainUnit rainUnit = RainUnit::Millimetre;
  PressureUnit pressureUnit = PressureUnit::Hpa;
  WindSpeedUnit windSpeedUnit = WindSpeedUnit::KmPerHour;
  PressureType pressureType = PressureType::Relative;
  WindDirectionFormat windDirectionFormat = WindDirectionFormat::Points16;

  friend bool operator==(const UnitSettings&, const UnitSettings&) = default;
};

}  // namespace nimbrel
