// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string_view>

#include "readings/unit_settings.h"

namespace nimbrel {

// Converters from the console's units. Each takes the value as the console's text reads (a 32-bit
// float) and computes in double precision with exactly these factors, so the dashboard and the
// export file show the same digits.

// Cut down to one decimal toward minus infinity: 1.7 °C gives 35.0 °F, not 35.1.
double CelsiusToFahrenheit(float celsius);
double HpaToInHg(float hpa);
double HpaToMmHg(float hpa);
double KmhToMph(float kmh);
double KmhToMetresPerSecond(float kmh);
double KmhToKnots(float kmh);
// Rain totals and rain rates alike.
double MmToInches(float mm);

// Unit texts, the same in the setup lists, on the dashboard and in the export file. A unit byte
// outside its enumeration (a damaged stored value) reads as the unit's default.

inline constexpr std::u16string_view DegreeSign = u"\u00B0";

// "°C" or "°F".
std::u16string_view TemperatureUnitText(TemperatureUnit unit);
// "mm" or "in".
std::u16string_view RainfallUnitText(RainUnit unit);
// "mm/h" or "in/h".
std::u16string_view RainRateUnitText(RainUnit unit);
// "hPa", "mmHg" or "inHg".
std::u16string_view PressureUnitText(PressureUnit unit);
// "mph", "m/s", "km/h" or "knots".
std::u16string_view WindSpeedUnitText(WindSpeedUnit unit);
// "%".
std::u16string_view HumidityUnitText();
// "Abs" or "Rel".
std::u16string_view PressureTypeText(PressureType type);
// "16" or "360°".
std::u16string_view WindDirectionFormatText(WindDirectionFormat format);

// The export file's labels: "hPa(Rel)" to "inHg(Abs)"; "16(direction)" or "360°(Degree)".
std::u16string_view PressureLabelText(PressureUnit unit, PressureType type);
std::u16string_view WindDirectionLabelText(WindDirectionFormat format);

// The units in data files' column names, ASCII: "_c" or "_f"; "_hpa", "_mmhg" or "_inhg";
// "_kmh", "_mph", "_m_s" or "_knots".
std::string_view TemperatureSuffix(TemperatureUnit unit);
std::string_view PressureSuffix(PressureUnit unit);
std::string_view WindSpeedSuffix(WindSpeedUnit unit);

}  // namespace nimbrel
