// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/live_view.h"

#include <array>
#include <charconv>

#include "i18n/utf8.h"

namespace nimbrel::cli {

namespace {

struct ShownField {
  std::string_view name;
  std::size_t field;
  ReadingKind kind;
};

constexpr std::array<ShownField, 11> kFixedFields = {{
    {"indoorTemperature", kFieldIndoorTemperature, ReadingKind::Temperature},
    {"indoorHumidity", kFieldIndoorHumidity, ReadingKind::Humidity},
    {"outdoorTemperature", kFieldOutdoorTemperature, ReadingKind::Temperature},
    {"outdoorHumidity", kFieldOutdoorHumidity, ReadingKind::Humidity},
    {"windSpeed", kFieldWindSpeed, ReadingKind::WindSpeed},
    {"windGust", kFieldWindGust, ReadingKind::WindSpeed},
    {"dailyRain", kFieldDailyRain, ReadingKind::Rainfall},
    {"rainRate", kFieldRainRate, ReadingKind::RainRate},
    {"dewPoint", kFieldDewPoint, ReadingKind::Temperature},
    {"heatIndex", kFieldHeatIndex, ReadingKind::Temperature},
    {"uvIndex", kFieldUvIndex, ReadingKind::UvIndex},
}};

constexpr std::array<std::string_view, 7> kChannelTemperatureNames = {
    "channelTemperature1", "channelTemperature2", "channelTemperature3", "channelTemperature4",
    "channelTemperature5", "channelTemperature6", "channelTemperature7"};
constexpr std::array<std::string_view, 7> kChannelHumidityNames = {
    "channelHumidity1", "channelHumidity2", "channelHumidity3", "channelHumidity4",
    "channelHumidity5", "channelHumidity6", "channelHumidity7"};

ShownReading Show(std::string_view name, const LiveReadings& readings, std::size_t field,
                  ReadingKind kind, const UnitSettings& units) {
  return {name, FormatReading(kind, readings[field].View(), units)};
}

void AppendEscaped(std::string& out, unsigned char c) {
  switch (c) {
    case '"':
      out += "\\\"";
      return;
    case '\\':
      out += "\\\\";
      return;
    case '\n':
      out += "\\n";
      return;
    case '\r':
      out += "\\r";
      return;
    case '\t':
      out += "\\t";
      return;
    default:
      break;
  }
  if (c < 0x20) {
    constexpr char kHex[] = "0123456789abcdef";
    out += "\\u00";
    out.push_back(kHex[c >> 4]);
    out.push_back(kHex[c & 0xF]);
    return;
  }
  out.push_back(static_cast<char>(c));
}

void AppendJsonName(std::string& out, std::string_view name) {
  out.push_back('"');
  out += name;
  out += "\":";
}

}  // namespace

std::vector<ShownReading> ShownReadings(const LiveReadings& readings, const UnitSettings& units) {
  std::vector<ShownReading> shown;
  for (const ShownField& f : kFixedFields) {
    shown.push_back(Show(f.name, readings, f.field, f.kind, units));
  }
  shown.push_back(Show("windDirection", readings, WindDirectionField(units),
                       ReadingKind::WindDirection, units));
  shown.push_back(Show("pressure", readings, PressureField(units), ReadingKind::Pressure, units));
  for (std::size_t channel = 0; channel < kChannelTemperatureNames.size(); ++channel) {
    const std::size_t temperature = kFieldChannel1Temperature + 2 * channel;
    shown.push_back(Show(kChannelTemperatureNames[channel], readings, temperature,
                         ReadingKind::Temperature, units));
    shown.push_back(Show(kChannelHumidityNames[channel], readings, temperature + 1,
                         ReadingKind::Humidity, units));
  }
  return shown;
}

void AppendJsonString(std::string& out, std::u16string_view text) {
  out.push_back('"');
  for (const char c : ToUtf8(text)) {
    AppendEscaped(out, static_cast<unsigned char>(c));
  }
  out.push_back('"');
}

std::string LiveJsonLine(const LiveReadings& readings, const UnitSettings& units) {
  std::string out = "{";
  AppendJsonName(out, "logger");
  AppendJsonString(out, std::u16string(readings[kFieldLoggerPercent].View()) + u"%");
  out += ",";
  AppendJsonName(out, "raw");
  out += "[";
  for (std::size_t i = 0; i < kRecordFieldCount; ++i) {
    out += i == 0 ? "" : ",";
    AppendJsonString(out, readings[i].View());
  }
  out += "],";
  AppendJsonName(out, "shown");
  out += "{";
  bool first = true;
  for (const ShownReading& reading : ShownReadings(readings, units)) {
    out += first ? "" : ",";
    first = false;
    AppendJsonName(out, reading.name);
    out += "{";
    AppendJsonName(out, "value");
    AppendJsonString(out, reading.formatted.value);
    out += ",";
    AppendJsonName(out, "unit");
    AppendJsonString(out, reading.formatted.suffix);
    out += ",";
    AppendJsonName(out, "drawn");
    out += reading.formatted.drawn ? "true" : "false";
    if (reading.name == "windDirection") {
      out += ",";
      AppendJsonName(out, "dial");
      std::array<char, 8> digits{};
      const auto end =
          std::to_chars(digits.data(), digits.data() + digits.size(), reading.formatted.dialNumber)
              .ptr;
      out.append(digits.data(), end);
    }
    out += "}";
  }
  out += "}}";
  return out;
}

std::string LiveTextLines(const LiveReadings& readings, const UnitSettings& units) {
  std::string out;
  for (const ShownReading& reading : ShownReadings(readings, units)) {
    if (!reading.formatted.drawn) {
      continue;
    }
    out += reading.name;
    out.append(reading.name.size() < 20 ? 20 - reading.name.size() : 1, ' ');
    out += ToUtf8(reading.formatted.value);
    if (!reading.formatted.suffix.empty()) {
      out += " " + ToUtf8(reading.formatted.suffix);
    }
    out += "\n";
  }
  return out;
}

}  // namespace nimbrel::cli
