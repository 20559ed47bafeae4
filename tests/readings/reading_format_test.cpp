// SPDX-License-Identifier: GPL-3.0-or-later
#include "readings/reading_format.h"

#include <gtest/gtest.h>

#include <string>

namespace nimbrel {
namespace {

using enum ReadingKind;
using enum PressureUnit;
using enum WindSpeedUnit;

constexpr UnitSettings kConsoleUnits{};  // °C, mm, hPa, km/h: the console's own
constexpr UnitSettings kOtherUnits{.temperatureUnit = TemperatureUnit::Fahrenheit,
                                   .rainUnit = RainUnit::Inch,
                                   .pressureUnit = PressureUnit::InHg,
                                   .windSpeedUnit = WindSpeedUnit::Mph,
                                   .windDirectionFormat = WindDirectionFormat::Degrees360};
// A damaged stored value: every byte outside its enumeration reads as its default.
const UnitSettings kDamaged{static_cast<TemperatureUnit>(7), static_cast<RainUnit>(7),
                            static_cast<PressureUnit>(7), static_cast<WindSpeedUnit>(7)};

FormattedReading Drawn(std::u16string value, std::u16string_view suffix, int dial = 0) {
  return {std::move(value), suffix, true, dial};
}
const FormattedReading kNothing{{}, {}, false, 0};

// The window's dashboard test shows the common conversions; here the edges.
TEST(FormatReading, FollowsTheTableOfKindsAndUnits) {
  const struct {
    ReadingKind kind;
    std::u16string_view text;
    UnitSettings units;
    FormattedReading expected;
  } cases[] = {
      {Temperature, u"21.456", kConsoleUnits, Drawn(u"21.456", u"\u00B0C")},
      {Temperature, u"1.7", kOtherUnits, Drawn(u"35.0", u"\u00B0F")},     // cut, not rounded
      {Temperature, u"-23.3", kOtherUnits, Drawn(u"-10.0", u"\u00B0F")},  // toward minus infinity
      {Temperature, u"--.-", kOtherUnits, Drawn(u"--.-", u"\u00B0F")},
      {Temperature, u"abc", kOtherUnits, Drawn(u"abc", u"\u00B0F")},
      {Humidity, u"", kConsoleUnits, Drawn(u"--", u"%")},
      {Pressure, u"1013.2", {.pressureUnit = MmHg}, Drawn(u"760.0", u"mmHg")},
      {Pressure, u"--", kOtherUnits, Drawn(u"--", u"inHg")},
      {Pressure, u"", kOtherUnits, kNothing},
      {WindSpeed, u"10.00", kConsoleUnits, Drawn(u"10.00", u"km/h")},
      {WindSpeed, u"10000", kOtherUnits, Drawn(u"6214.0", u"mph")},
      {WindSpeed, u"1000", {.windSpeedUnit = MetresPerSecond}, Drawn(u"277.7", u"m/s")},
      {WindSpeed, u"1000", {.windSpeedUnit = Knots}, Drawn(u"539.9", u"knots")},
      {WindSpeed, u"-1", kOtherUnits, Drawn(u"-1", u"mph")},
      {WindSpeed, u"", kOtherUnits, kNothing},
      {Rainfall, u"", kConsoleUnits, Drawn(u"-.-", u"mm")},
      {RainRate, u"-.-", kOtherUnits, Drawn(u"-.-", u"in/h")},
      {UvIndex, u"", kOtherUnits, kNothing},
      {WindDirection, u"NNW", kConsoleUnits, Drawn(u"NNW", u"", 16)},
      {WindDirection, u"--", kOtherUnits, Drawn(u"--", u"", 1)},
      {WindDirection, u"", kOtherUnits, Drawn(u"--", u"", 0)},
      {Temperature, u"20.0", kDamaged, Drawn(u"20.0", u"\u00B0C")},
      {WindSpeed, u"10", kDamaged, Drawn(u"10", u"km/h")},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FormatReading(c.kind, c.text, c.units), c.expected)
        << static_cast<int>(c.kind) << " " << std::string(c.text.begin(), c.text.end());
  }
}

}  // namespace
}  // namespace nimbrel
