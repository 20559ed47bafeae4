// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "readings/reading_format.h"
#include "readings/unit_settings.h"
#include "record/record_time.h"

namespace nimbrel {

// How a figure in the console's unit reaches the user: converted as the dashboard converts that
// kind of reading, and printed with the decimals the dashboard shows for it.
struct ShownUnit {
  UnitConversion conversion;
  int decimals = 1;
  std::string unit;  // UTF-8, empty for none
};

// The unit of the value kStatKeys[key] names.
ShownUnit ShownUnitOfKey(std::size_t key, const UnitSettings& units);
ShownUnit ShownTemperature(const UnitSettings& units);
ShownUnit ShownRain(const UnitSettings& units);
ShownUnit ShownWindSpeed(const UnitSettings& units);

// A figure of the console's unit in the user's unit, not yet rounded.
double InShownUnit(double value, const ShownUnit& shown);
// A figure already in the user's unit, rounded to its decimals as printed.
double Rounded(double value, const ShownUnit& shown);
// A figure already in the user's unit, printed with its decimals; never "-0.0".
std::string ShownText(double value, const ShownUnit& shown);

// A whole number, as a count is printed.
std::string WholeText(std::int64_t value);

// "2025-01-07".
std::string DayText(std::chrono::local_days day);

}  // namespace nimbrel
