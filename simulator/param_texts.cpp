// SPDX-License-Identifier: GPL-3.0-or-later
#include "simulator/param_texts.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <utility>

#include "record/record_fields.h"

namespace nimbrel {

namespace {

// A field that is a number as a whole; dashes and anything else are no reading.
std::optional<double> Number(const RecordFields& fields, std::size_t field) {
  const std::string_view text = fields[field].View();
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size() ||
      !std::isfinite(value)) {
    return std::nullopt;
  }
  return value;
}

// Fixed decimals through whole numbers, so that no locale and no "-0.00" creep in.
std::string Fixed(double value, int decimals) {
  const long scale = decimals == 0 ? 1 : decimals == 1 ? 10 : 100;
  const long scaled = std::lround(value * static_cast<double>(scale));
  if (decimals == 0) {
    return std::to_string(scaled);
  }
  const long magnitude = std::labs(scaled);
  std::string fraction = std::to_string(magnitude % scale);
  fraction.insert(0, static_cast<std::size_t>(decimals) - fraction.size(), '0');
  return (scaled < 0 ? "-" : "") + std::to_string(magnitude / scale) + "." + fraction;
}

double Fahrenheit(double celsius) {
  return celsius * 9.0 / 5.0 + 32.0;
}
double Mph(double kmh) {
  return kmh / 1.609344;
}
double Inches(double mm) {
  return mm / 25.4;
}
double InchesOfMercury(double hpa) {
  return hpa * 0.02952998751;
}

// Whole numbers joined by `separator`: at least `least` and at most N of them, nothing else.
template <std::size_t N>
bool ReadNumbers(std::string_view text, char separator, int (&out)[N], std::size_t least) {
  std::size_t read = 0;
  const char* p = text.data();
  const char* const end = text.data() + text.size();
  while (read < N && p < end) {
    const auto [next, error] = std::from_chars(p, end, out[read]);
    if (error != std::errc()) {
      return false;
    }
    ++read;
    p = next;
    if (p < end) {
      if (*p != separator) {
        return false;
      }
      ++p;
    }
  }
  return read >= least && p == end;
}

std::string TwoDigits(int value) {
  return (value < 10 ? "0" : "") + std::to_string(value);
}

// The console's own date and time, as WU wants it: "YYYY-MM-DD HH:MM:SS", escaped.
std::string DateUtc(const RecordFields& fields) {
  int date[3] = {0, 0, 0};
  int time[3] = {0, 0, 0};
  if (!ReadNumbers(fields[kFieldDate].View(), '-', date, 3) ||
      !ReadNumbers(fields[kFieldTime].View(), ':', time, 2)) {
    return "now";
  }
  return std::to_string(date[0]) + "-" + TwoDigits(date[1]) + "-" + TwoDigits(date[2]) + "%20" +
         TwoDigits(time[0]) + "%3A" + TwoDigits(time[1]) + "%3A" + TwoDigits(time[2]);
}

class ParamWriter {
 public:
  ParamWriter(const RecordFields& fields, std::string_view before, std::string_view between)
      : fields_(fields), before_(before), between_(between) {}

  // Adds "name=value" (or "/name/value") when the field holds a reading.
  template <typename Convert>
  void Add(std::string_view name, std::size_t field, Convert convert, int decimals) {
    if (const auto value = Number(fields_, field)) {
      AddText(name, Fixed(convert(*value), decimals));
    }
  }
  void AddText(std::string_view name, std::string_view value) {
    text_ += before_;
    text_ += name;
    text_ += between_;
    text_ += value;
  }
  std::string Take() { return std::move(text_); }

 private:
  const RecordFields& fields_;
  std::string_view before_;
  std::string_view between_;
  std::string text_;
};

double Same(double value) {
  return value;
}
double Tenths(double value) {
  return value * 10.0;
}
double MetresPerSecondTenths(double kmh) {
  return kmh / 3.6 * 10.0;
}

}  // namespace

std::string WuParamText(std::string_view liveText) {
  const RecordFields fields = SplitRecord(liveText);
  ParamWriter wu(fields, "&", "=");
  wu.Add("winddir", kFieldWindDirectionDegrees, Same, 0);
  wu.Add("windspeedmph", kFieldWindSpeed, Mph, 1);
  wu.Add("windgustmph", kFieldWindGust, Mph, 1);
  wu.Add("humidity", kFieldOutdoorHumidity, Same, 0);
  wu.Add("tempf", kFieldOutdoorTemperature, Fahrenheit, 1);
  wu.Add("rainin", kFieldHourlyRain, Inches, 2);
  wu.Add("dailyrainin", kFieldDailyRain, Inches, 2);
  wu.Add("weeklyrainin", kFieldWeeklyRain, Inches, 2);
  wu.Add("monthlyrainin", kFieldMonthlyRain, Inches, 2);
  wu.Add("baromin", kFieldRelativePressure, InchesOfMercury, 2);
  wu.Add("dewptf", kFieldDewPoint, Fahrenheit, 1);
  wu.Add("windchillf", kFieldWindChill, Fahrenheit, 1);
  wu.Add("indoortempf", kFieldIndoorTemperature, Fahrenheit, 1);
  wu.Add("indoorhumidity", kFieldIndoorHumidity, Same, 0);
  wu.Add("UV", kFieldUvIndex, Same, 0);
  // The service's ID and key come first in the query, so the text starts without "&".
  return "dateutc=" + DateUtc(fields) + wu.Take();
}

std::string WeathercloudParamText(std::string_view liveText) {
  const RecordFields fields = SplitRecord(liveText);
  ParamWriter wc(fields, "/", "/");
  wc.Add("temp", kFieldOutdoorTemperature, Tenths, 0);
  wc.Add("hum", kFieldOutdoorHumidity, Same, 0);
  wc.Add("dew", kFieldDewPoint, Tenths, 0);
  wc.Add("chill", kFieldWindChill, Tenths, 0);
  wc.Add("heat", kFieldHeatIndex, Tenths, 0);
  wc.Add("bar", kFieldRelativePressure, Tenths, 0);
  wc.Add("wspd", kFieldWindSpeed, MetresPerSecondTenths, 0);
  wc.Add("wspdhi", kFieldWindGust, MetresPerSecondTenths, 0);
  wc.Add("wdir", kFieldWindDirectionDegrees, Same, 0);
  wc.Add("rain", kFieldDailyRain, Tenths, 0);
  wc.Add("rainrate", kFieldRainRate, Tenths, 0);
  wc.Add("tempin", kFieldIndoorTemperature, Tenths, 0);
  wc.Add("humin", kFieldIndoorHumidity, Same, 0);
  wc.Add("uvi", kFieldUvIndex, Tenths, 0);
  return wc.Take();
}

}  // namespace nimbrel
