// SPDX-License-Identifier: GPL-3.0-or-later
#include "readings/units.h"

#include <cmath>

namespace nimbrel {

double CelsiusToFahrenheit(float celsius) {
  return std::floor((celsius * 1.8 + 32.0) * 10.0) * 0.1;
}

double HpaToInHg(float hpa) {
  return hpa * 0.02952615992102665;
}

double HpaToMmHg(float hpa) {
  return hpa * 0.7500493583415596;
}

double KmhToMph(float kmh) {
  return kmh * 0.6214;
}

double KmhToMetresPerSecond(float kmh) {
  return kmh * 0.2777;
}

double KmhToKnots(float kmh) {
  return kmh * 0.5399;
}

double MmToInches(float mm) {
  return mm * 0.03937007874015748;
}

// Each switch ends in its default unit, so an unknown byte reads as that default.

std::u16string_view TemperatureUnitText(TemperatureUnit unit) {
  return unit == TemperatureUnit::Fahrenheit ? u"\u00B0F" : u"\u00B0C";
}

std::u16string_view RainfallUnitText(RainUnit unit) {
  return unit == RainUnit::Inch ? u"in" : u"mm";
}

std::u16string_view RainRateUnitText(RainUnit unit) {
  return unit == RainUnit::Inch ? u"in/h" : u"mm/h";
}

std::u16string_view PressureUnitText(PressureUnit unit) {
  switch (unit) {
    case PressureUnit::MmHg:
      return u"mmHg";
    case PressureUnit::InHg:
      return u"inHg";
    default:
      return u"hPa";
  }
}

std::u16string_view WindSpeedUnitText(WindSpeedUnit unit) {
  switch (unit) {
    case WindSpeedUnit::Mph:
      return u"mph";
    case WindSpeedUnit::MetresPerSecond:
      return u"m/s";
    case WindSpeedUnit::Knots:
      return u"knots";
    default:
      return u"km/h";
  }
}

std::u16string_view HumidityUnitText() {
  return u"%";
}

std::u16string_view PressureTypeText(PressureType type) {
  return type == PressureType::Absolute ? u"Abs" : u"Rel";
}

std::u16string_view WindDirectionFormatText(WindDirectionFormat format) {
  return format == WindDirectionFormat::Degrees360 ? u"360\u00B0" : u"16";
}

std::u16string_view PressureLabelText(PressureUnit unit, PressureType type) {
  const bool absolute = type == PressureType::Absolute;
  switch (unit) {
    case PressureUnit::MmHg:
      return absolute ? u"mmHg(Abs)" : u"mmHg(Rel)";
    case PressureUnit::InHg:
      return absolute ? u"inHg(Abs)" : u"inHg(Rel)";
    default:
      return absolute ? u"hPa(Abs)" : u"hPa(Rel)";
  }
}

std::u16string_view WindDirectionLabelText(WindDirectionFormat format) {
  return format == WindDirectionFormat::Degrees360 ? u"360\u00B0(Degree)" : u"16(direction)";
}

std::string_view TemperatureSuffix(TemperatureUnit unit) {
  return unit == TemperatureUnit::Fahrenheit ? "_f" : "_c";
}

std::string_view PressureSuffix(PressureUnit unit) {
  switch (unit) {
    case PressureUnit::MmHg:
      return "_mmhg";
    case PressureUnit::InHg:
      return "_inhg";
    default:
      return "_hpa";
  }
}

std::string_view WindSpeedSuffix(WindSpeedUnit unit) {
  switch (unit) {
    case WindSpeedUnit::Mph:
      return "_mph";
    case WindSpeedUnit::MetresPerSecond:
      return "_m_s";
    case WindSpeedUnit::Knots:
      return "_knots";
    default:
      return "_kmh";
  }
}

}  // namespace nimbrel
