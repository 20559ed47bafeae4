// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

#include "readings/number_text.h"
#include "readings/unit_settings.h"
#include "record/record_fields.h"

namespace nimbrel {

// The console writes a missing reading as dashes. A temperature may be negative, so only a double
// dash marks it missing; rain, wind speed and pressure are never negative, so any dash does.
bool IsMissingTemperature(std::u16string_view text);
bool IsMissingReading(std::u16string_view text);
bool IsMissingTemperature(std::string_view text);
bool IsMissingReading(std::string_view text);

// How a reading reaches the user's unit: through a converter, printed with its decimals, or, with
// no converter, as sent (the unit is the console's own). Only a double dash marks a temperature
// missing; any dash marks the others.
struct UnitConversion {
  double (*convert)(float) = nullptr;
  int decimals = 0;
  bool temperature = false;
};
UnitConversion TemperatureConversion(TemperatureUnit unit);
UnitConversion PressureConversion(PressureUnit unit);
UnitConversion WindSpeedConversion(WindSpeedUnit unit);
UnitConversion RainConversion(RainUnit unit);

// A reading of the console's bytes in the user's unit, by the rules below: a view of the text
// itself, or of the value printed into `buffer`.
std::string_view InUnit(std::string_view text, const UnitConversion& conversion, FixedText& buffer);

// A reading in the user's unit. The text stays exactly as the console sent it when the unit is the
// console's own, when the reading is missing, and when the text does not begin with a number (an
// empty text stays empty); otherwise it is the converted value, printed with one decimal (°F,
// mmHg, every wind speed) or two (inHg, inches).
std::u16string TemperatureInUnit(std::u16string_view text, TemperatureUnit unit);
std::u16string PressureInUnit(std::u16string_view text, PressureUnit unit);
std::u16string WindSpeedInUnit(std::u16string_view text, WindSpeedUnit unit);
// Rain totals and rain rates alike.
std::u16string RainInUnit(std::u16string_view text, RainUnit unit);

// The field that holds the pressure of the chosen type (relative or absolute), and the one that
// holds the wind direction in the chosen form (compass point or degrees).
RecordField PressureField(const UnitSettings& units);
RecordField WindDirectionField(const UnitSettings& units);

enum class ReadingKind {
  Temperature,
  Humidity,
  Pressure,
  WindSpeed,
  Rainfall,
  RainRate,
  UvIndex,
  WindDirection,
};

// What the dashboard draws for one reading.
struct FormattedReading {
  std::u16string value;
  // The unit drawn after the value; empty for none.
  std::u16string_view suffix;
  // False when nothing at all is drawn (an empty pressure, wind speed or UV field).
  bool drawn = true;
  // Wind direction only: the marker on the compass dial, 1 to 16, or 0 for none.
  int dialNumber = 0;

  friend bool operator==(const FormattedReading&, const FormattedReading&) = default;
};

// Formats one field of the live readings as a reading of the given kind in the user's units.
// Empty fields show their placeholder ("--.-" for a temperature, "--" for a humidity or wind
// direction, "-.-" for rain) or nothing at all.
FormattedReading FormatReading(ReadingKind kind, std::u16string_view text,
                               const UnitSettings& units);

}  // namespace nimbrel
