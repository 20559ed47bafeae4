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

namespace {

// The converted and printed value, or the text as sent when it is missing or holds no number.
std::u16string Converted(std::u16string_view text, bool missing, double (*convert)(float),
                         int decimals) {
  if (!missing) {
    if (const std::optional<float> value = ReadLeadingNumber(text)) {
      return PrintFixed(convert(*value), decimals);
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
  if (unit != TemperatureUnit::Fahrenheit) {
    return std::u16string(text);
  }
  return Converted(text, IsMissingTemperature(text), CelsiusToFahrenheit, 1);
}

std::u16string PressureInUnit(std::u16string_view text, PressureUnit unit) {
  switch (unit) {
    case PressureUnit::MmHg:
      return Converted(text, IsMissingReading(text), HpaToMmHg, 1);
    case PressureUnit::InHg:
      return Converted(text, IsMissingReading(text), HpaToInHg, 2);
    default:
      return std::u16string(text);
  }
}

std::u16string WindSpeedInUnit(std::u16string_view text, WindSpeedUnit unit) {
  switch (unit) {
    case WindSpeedUnit::Mph:
      return Converted(text, IsMissingReading(text), KmhToMph, 1);
    case WindSpeedUnit::MetresPerSecond:
      return Converted(text, IsMissingReading(text), KmhToMetresPerSecond, 1);
    case WindSpeedUnit::Knots:
      return Converted(text, IsMissingReading(text), KmhToKnots, 1);
    default:
      return std::u16string(text);
  }
}

std::u16string RainInUnit(std::u16string_view text, RainUnit unit) {
  if (unit != RainUnit::Inch) {
    return std::u16string(text);
  }
  return Converted(text, IsMissingReading(text), MmToInches, 2);
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
