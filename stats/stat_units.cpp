// SPDX-License-Identifier: GPL-3.0-or-later
#include "stats/stat_units.h"

#include <charconv>
#include <string_view>

#include "i18n/utf8.h"
#include "readings/number_text.h"
#include "readings/units.h"
#include "stats/period_stats.h"

namespace nimbrel {

namespace {

bool EndsWith(std::string_view text, std::string_view end) {
  return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

// The console's own unit keeps the decimals it sends: one for everything but humidity and UV.
ShownUnit Shown(const UnitConversion& conversion, std::u16string_view unit) {
  return {conversion, conversion.convert != nullptr ? conversion.decimals : 1, ToUtf8(unit)};
}

}  // namespace

ShownUnit ShownTemperature(const UnitSettings& units) {
  return Shown(TemperatureConversion(units.temperatureUnit),
               TemperatureUnitText(units.temperatureUnit));
}

ShownUnit ShownRain(const UnitSettings& units) {
  return Shown(RainConversion(units.rainUnit), RainfallUnitText(units.rainUnit));
}

ShownUnit ShownWindSpeed(const UnitSettings& units) {
  return Shown(WindSpeedConversion(units.windSpeedUnit), WindSpeedUnitText(units.windSpeedUnit));
}

ShownUnit ShownUnitOfKey(std::size_t key, const UnitSettings& units) {
  const std::string_view name = kStatKeys[key].name;
  if (EndsWith(name, "temperature") || name == "dew_point" || name == "heat_index" ||
      name == "wind_chill") {
    return ShownTemperature(units);
  }
  if (EndsWith(name, "humidity")) {
    return {{}, 0, "%"};
  }
  if (name.starts_with("pressure")) {
    return Shown(PressureConversion(units.pressureUnit), PressureUnitText(units.pressureUnit));
  }
  if (name.starts_with("wind")) {
    return ShownWindSpeed(units);
  }
  if (name == "rain_rate") {
    return Shown(RainConversion(units.rainUnit), RainRateUnitText(units.rainUnit));
  }
  return {{}, 0, ""};  // the UV index
}

double InShownUnit(double value, const ShownUnit& shown) {
  const auto convert = shown.conversion.convert;
  return convert == nullptr ? value : convert(static_cast<float>(value));
}

double Rounded(double value, const ShownUnit& shown) {
  // Read back from its text, so that a figure computed from it agrees with what is printed.
  const std::string text = ShownText(value, shown);
  double rounded = value;
  std::from_chars(text.data(), text.data() + text.size(), rounded);
  return rounded;
}

std::string ShownText(double value, const ShownUnit& shown) {
  FixedText buffer;
  std::string text(PrintFixed(value, shown.decimals, buffer));
  // A value just below zero rounds to zero, which has no sign.
  if (text.starts_with('-') && text.find_first_not_of("-0.") == std::string::npos) {
    text.erase(0, 1);
  }
  return text;
}

std::string WholeText(std::int64_t value) {
  char digits[24];
  const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
  return {digits, end};
}

std::string DayText(std::chrono::local_days day) {
  return IsoMinuteText(day).substr(0, 10);
}

}  // namespace nimbrel
