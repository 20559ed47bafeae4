// SPDX-License-Identifier: GPL-3.0-or-later
#include "chart/chart_csv.h"

#include <charconv>
#include <map>
#include <vector>

#include "readings/units.h"
#include "record/record_time.h"

namespace nimbrel {
namespace {

std::string ChannelName(const ChartSeries& series, std::string_view what) {
  return "ch" + std::to_string(series.channel) + "_" + std::string(what);
}

std::string ColumnName(const ChartSeries& series, const UnitSettings& units) {
  using enum ChartSeriesId;
  const std::string temperature(TemperatureSuffix(units.temperatureUnit));
  const std::string wind(WindSpeedSuffix(units.windSpeedUnit));
  const bool inches = units.rainUnit == RainUnit::Inch;
  switch (series.id) {
    case kIndoorTemperature:
      return "indoor_temperature" + temperature;
    case kOutdoorTemperature:
      return "outdoor_temperature" + temperature;
    case kDewPoint:
      return "dew_point" + temperature;
    case kHeatIndex:
      return "heat_index" + temperature;
    case kWindChill:
      return "wind_chill" + temperature;
    case kChannelTemperature:
      return ChannelName(series, "temperature") + temperature;
    case kIndoorHumidity:
      return "indoor_humidity_pct";
    case kOutdoorHumidity:
      return "outdoor_humidity_pct";
    case kChannelHumidity:
      return ChannelName(series, "humidity_pct");
    case kPressure:
      return std::string(units.pressureType == PressureType::Absolute ? "absolute" : "relative") +
             "_pressure" + std::string(PressureSuffix(units.pressureUnit));
    case kWindSpeed:
      return "wind_speed" + wind;
    case kWindGust:
      return "wind_gust" + wind;
    case kWindDirection:
      return "wind_direction_deg";
    case kRainRate:
      return inches ? "rain_rate_in_h" : "rain_rate_mm_h";
    case kDailyRain:
      return inches ? "daily_rain_in" : "daily_rain_mm";
    case kUvIndex:
      break;
  }
  return "uv_index";
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
