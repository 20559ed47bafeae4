// SPDX-License-Identifier: GPL-3.0-or-later
#include "chart/chart_csv.h"

#include <charconv>
#include <map>
#include <vector>

#include "readings/units.h"
#include "record/record_time.h"

namespace nimbrel {
namespace {

// The series' key in the state object with its unit: "outdoor_temperature_f".
std::string ColumnName(const ChartSeries& series, const UnitSettings& units) {
  using enum ChartSeriesId;
  const bool inches = units.rainUnit == RainUnit::Inch;
  std::string_view unit;
  switch (series.id) {
    case kIndoorHumidity:
    case kOutdoorHumidity:
    case kChannelHumidity:
      unit = "_pct";
      break;
    case kPressure:
      unit = PressureSuffix(units.pressureUnit);
      break;
    case kWindSpeed:
    case kWindGust:
      unit = WindSpeedSuffix(units.windSpeedUnit);
      break;
    case kWindDirection:
      unit = "_deg";
      break;
    case kRainRate:
      unit = inches ? "_in_h" : "_mm_h";
      break;
    case kDailyRain:
      unit = inches ? "_in" : "_mm";
      break;
    case kIndoorTemperature:
    case kOutdoorTemperature:
    case kDewPoint:
    case kHeatIndex:
    case kWindChill:
    case kChannelTemperature:
      unit = TemperatureSuffix(units.temperatureUnit);
      break;
    case kUvIndex:
      break;
  }
  return ChartSeriesKey(series, units) + std::string(unit);
}

void AppendTime(RecordTimePoint time, std::string& out) {
  out += IsoMinuteText(time);
  const auto seconds = (time - std::chrono::floor<std::chrono::minutes>(time)).count();
  out += ':';
  out += static_cast<char>('0' + seconds / 10);
  out += static_cast<char>('0' + seconds % 10);
}

void AppendValue(double value, int decimals, std::string& out) {
  char text[64];
  const auto written =
      std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
  out.append(text, written.ec == std::errc() ? written.ptr : text);
}

}  // namespace

std::string ChartCsv(const ChartData& data) {
  std::string out = "time";
  // Each time's row: every series' sample at that time, if it has one.
  std::map<RecordTimePoint, std::vector<const ChartSample*>> rows;
  for (std::size_t i = 0; i < data.series.size(); ++i) {
    out += ',' + ColumnName(data.series[i], data.units);
    for (const ChartSample& sample : data.series[i].samples) {
      std::vector<const ChartSample*>& row = rows[sample.time];
      row.resize(data.series.size(), nullptr);
      row[i] = &sample;
    }
  }
  out += "\r\n";
  for (const auto& [time, row] : rows) {
    AppendTime(time, out);
    for (std::size_t i = 0; i < row.size(); ++i) {
      out += ',';
      if (row[i] != nullptr) {
        AppendValue(row[i]->value, data.series[i].decimals, out);
      }
    }
    out += "\r\n";
  }
  return out;
}

}  // namespace nimbrel
