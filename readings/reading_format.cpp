// SPDX-License-Identifier: GPL-3.0-or-later
#include "readings/reading_format.h"

#include <optional>
#include <utility>

#include "readings/compass.h"
#include "readings/number_text.h"
#include "readings/units.h"

namespace nimbrel {

bool IsMissingTemperature(std::u16string_view text) {
  return text.find(u"--") != std::u16string_view::npos;
}

bool IsMissingReading(std::u16string_view text) {
  return text.find(u'-') != std::u16string_view::npos;
}

// Plain loops: the export runs these on millions of short fields, where a library search costs
// more in calling than in searching.
bool IsMissingTemperature(std::string_view text) {
  for (std::size_t i = 1; i < text.size(); ++i) {
    if (text[i] == '-' && text[i - 1] == '-') {
      return true;
    }
  }
  return false;
}

bool IsMissingReading(std::string_view text) {
  for (const char c : text) {
    if (c == '-') {
      return true;
    }
  }
  return false;
}

UnitConversion TemperatureConversion(TemperatureUnit unit) {
  if (unit != TemperatureUnit::Fahrenheit) {
    return {};
  }
  return {CelsiusToFahrenheit, 1, true};
}

UnitConversion PressureConversion(PressureUnit unit) {
  switch (unit) {
    case PressureUnit::MmHg:
      return {HpaToMmHg, 1};
    case PressureUnit::InHg:
      return {HpaToInHg, 2};
    default:
      return {};
  }
}

UnitConversion WindSpeedConversion(WindSpeedUnit unit) {
  switch (unit) {
    case WindSpeedUnit::Mph:
      return {KmhToMph, 1};
    case WindSpeedUnit::MetresPerSecond:
      return {KmhToMetresPerSecond, 1};
    case WindSpeedUnit::Knots:
      return {KmhToKnots, 1};
    default:
      return {};
  }
}

UnitConversion RainConversion(RainUnit unit) {
  if (unit != RainUnit::Inch) {
    return {};
  }
  return {MmToInches, 2};
}

std::string_view InUnit(std::string_view text, const UnitConversion& conversion,
                        FixedText& buffer) {
  if (conversion.convert == nullptr ||
      (conversion.temperature ? IsMissingTemperature(text) : IsMissingReading(text))) {
    return text;
  }
  if (const std::optional<float> value = ReadLeadingNumber(text)) {
    return PrintFixed(conversion.convert(*value), conversion.decimals, buffer);
  }
  return text;
}

namespace {

// The converted and printed value, or the text as sent when it is missing or holds no number.
std::u16string Converted(std::u16string_view text, const UnitConversion& conversion) {
  const bool missing = conversion.temperature ? IsMissingTemperature(text) : IsMissingReading(text);
  if (conversion.convert != nullptr && !missing) {
    if (const std::optional<float> value = ReadLeadingNumber(text)) {
      return PrintFixed(conversion.convert(*value), conversion.decimals);
    }
  }
  return std::u16string(text);
}

FormattedReading Shown(std::u16string value, std::u16string_view suffix) {
  return {std::move(value), suffix, true, 0};
}

FormattedReading NothingDrawn() {
  return {{}, {}, false, 0};
}

// The dial shows the sector of the leading whole number, even for a text such as "--" (which reads
// as 0, north); only an empty field leaves the dial without a marker.
FormattedReading FormatWindDirection(std::u16string_view text, WindDirectionFormat format) {
  if (text.empty()) {
    return {u"--", {}, true, 0};
  }
  if (format == WindDirectionFormat::Degrees360) {
    const std::u16string_view suffix = IsMissingReading(text) ? u"" : DegreeSign;
    return {std::u16string(text), suffix, true, CompassSectorFromDegrees(ReadLeadingInteger(text))};
  }
  const int point = CompassPointIndex(text);
  return {std::u16string(text), {}, true, point < 0 ? 0 : point};
}

}  // namespace

std::u16string TemperatureInUnit(std::u16string_view text, TemperatureUnit unit) {
  return Converted(text, TemperatureConversion(unit));
}

std::u16string PressureInUnit(std::u16string_view text, PressureUnit unit) {
  return Converted(text, PressureConversion(unit));
}

std::u16string WindSpeedInUnit(std::u16string_view text, WindSpeedUnit unit) {
  return Converted(text, WindSpeedConversion(unit));
}

std::u16string RainInUnit(std::u16string_view text, RainUnit unit) {
  return Converted(text, RainConversion(unit));
}

RecordField PressureField(const UnitSettings& units) {
  return units.pressureType == PressureType::Absolute ? kFieldAbsolutePressure
                                                      : kFieldRelativePressure;
}

RecordField WindDirectionField(const UnitSettings& units) {
  return units.windDirectionFormat == WindDirectionFormat::Degrees360 ? kFieldWindDirectionDegrees
                                                                      : kFieldWindDirectionPoint;
}

FormattedReading FormatReading(ReadingKind kind, std::u16string_view text,
                               const UnitSettings& units) {
  switch (kind) {
    case ReadingKind::Temperature:
      return Shown(text.empty() ? u"--.-" : TemperatureInUnit(text, units.temperatureUnit),
                   TemperatureUnitText(units.temperatureUnit));
    case ReadingKind::Humidity:
      return Shown(std::u16string(text.empty() ? u"--" : text), HumidityUnitText());
    case ReadingKind::Pressure:
      return text.empty() ? NothingDrawn()
                          : Shown(PressureInUnit(text, units.pressureUnit),
                                  PressureUnitText(units.pressureUnit));
    case ReadingKind::WindSpeed:
      return text.empty() ? NothingDrawn()
                          : Shown(WindSpeedInUnit(text, units.windSpeedUnit),
                                  WindSpeedUnitText(units.windSpeedUnit));
    case ReadingKind::Rainfall:
      return Shown(text.empty() ? u"-.-" : RainInUnit(text, units.rainUnit),
                   RainfallUnitText(units.rainUnit));
    case ReadingKind::RainRate:
      return Shown(text.empty() ? u"-.-" : RainInUnit(text, units.rainUnit),
                   RainRateUnitText(units.rainUnit));
    case ReadingKind::UvIndex:
      return text.empty() ? NothingDrawn() : Shown(std::u16string(text), {});
    case ReadingKind::WindDirection:
      return FormatWindDirection(text, units.windDirectionFormat);
  }
  return NothingDrawn();
}

}  // namespace nimbrel
