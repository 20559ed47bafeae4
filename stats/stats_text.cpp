// SPDX-License-Identifier: GPL-3.0-or-later
#include "stats/stats_text.h"

#include <charconv>
#include <optional>
#include <string_view>

#include "stats/stat_units.h"

namespace nimbrel {

namespace {

constexpr std::size_t kRainRateKey = 11;
static_assert(kStatKeys[kRainRateKey].name == "rain_rate");

std::string Quoted(std::string_view text) {
  return '"' + std::string(text) + '"';
}

std::string JsonValue(const std::optional<double>& value, const ShownUnit& shown) {
  return value ? ShownText(InShownUnit(*value, shown), shown) : "null";
}

std::string JsonExtreme(const std::optional<Extreme>& extreme, const ShownUnit& shown) {
  if (!extreme) {
    return "null";
  }
  return "{\"value\":" + JsonValue(extreme->value, shown) +
         ",\"time\":" + Quoted(IsoMinuteText(extreme->time)) + "}";
}

std::string JsonSummary(const ValueSummary& summary, const ShownUnit& shown) {
  return "{\"high\":" + JsonExtreme(summary.high, shown) +
         ",\"low\":" + JsonExtreme(summary.low, shown) +
         ",\"mean\":" + JsonValue(summary.Mean(), shown) +
         ",\"count\":" + WholeText(summary.count) + "}";
}

std::string JsonMissingDays(const PeriodStats& stats) {
  if (stats.missingDayCount > kMostMissingDaysListed) {
    return WholeText(stats.missingDayCount);
  }
  std::string list = "[";
  for (const std::chrono::local_days day : stats.missingDays) {
    list += (list.size() > 1 ? "," : "") + Quoted(DayText(day));
  }
  return list + "]";
}

std::string JsonRain(const PeriodStats& stats, const UnitSettings& units) {
  const ShownUnit rain = ShownRain(units);
  std::string wettest = "null";
  if (stats.wettestDay) {
    wettest = "{\"value\":" + JsonValue(stats.wettestDay->value, rain) +
              ",\"date\":" + Quoted(DayText(stats.wettestDay->day)) + "}";
  }
  return "{\"total\":" + JsonValue(stats.rainTotal, rain) + ",\"wettest_day\":" + wettest +
         ",\"rain_days\":" + WholeText(stats.rainDays) + ",\"rate_high\":" +
         JsonExtreme(stats.values[kRainRateKey].high, ShownUnitOfKey(kRainRateKey, units)) + "}";
}

// Characters, not bytes: a unit such as "°C" takes two bytes and one column.
std::size_t Width(std::string_view text) {
  std::size_t width = 0;
  for (const char c : text) {
    width += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
  }
  return width;
}

std::string Left(std::string_view text, std::size_t width) {
  return std::string(text) + std::string(width > Width(text) ? width - Width(text) : 0, ' ');
}

std::string Right(std::string_view text, std::size_t width) {
  return std::string(width > Width(text) ? width - Width(text) : 0, ' ') + std::string(text);
}

// "outdoor_temperature" as "Outdoor temperature", "ch3_humidity" as "Channel 3 humidity".
std::string Label(std::string_view key) {
  if (key.starts_with("pressure_")) {
    key.remove_prefix(9);
    return Label(key) + " pressure";
  }
  std::string label(key == "uv_index" ? "UV index" : key);
  if (label.starts_with("ch")) {
    label.replace(0, 2, "Channel ");
  }
  for (char& c : label) {
    c = c == '_' ? ' ' : c;
  }
  if (label[0] >= 'a' && label[0] <= 'z') {
    label[0] = static_cast<char>(label[0] - 'a' + 'A');
  }
  return label;
}

std::string TableExtreme(const std::optional<Extreme>& extreme, const ShownUnit& shown) {
  if (!extreme) {
    return Right("-", 9) + "  " + Left("-", 16);
  }
  std::string time = IsoMinuteText(extreme->time);
  time[10] = ' ';
  return Right(ShownText(InShownUnit(extreme->value, shown), shown), 9) + "  " + time;
}

std::string TableRow(std::size_t key, const ValueSummary& summary, const UnitSettings& units) {
  const ShownUnit shown = ShownUnitOfKey(key, units);
  const std::optional<double> mean = summary.Mean();
  return Left(Label(kStatKeys[key].name), 24) + Left(shown.unit, 6) +
         TableExtreme(summary.high, shown) + TableExtreme(summary.low, shown) +
         Right(mean ? ShownText(InShownUnit(*mean, shown), shown) : "-", 9) +
         Right(WholeText(summary.count), 9) + "\n";
}

std::string MissingLine(const PeriodStats& stats) {
  std::string line = "Days without records: " + WholeText(stats.missingDayCount);
  if (!stats.missingDays.empty()) {
    line += " (";
    for (std::size_t i = 0; i < stats.missingDays.size(); ++i) {
      line += (i > 0 ? ", " : "") + DayText(stats.missingDays[i]);
    }
    line += ")";
  }
  return line + "\n";
}

std::string RainLines(const PeriodStats& stats, const UnitSettings& units) {
  const ShownUnit rain = ShownRain(units);
  const auto amount = [&](double mm) {
    return ShownText(InShownUnit(mm, rain), rain) + " " + rain.unit;
  };
  std::string lines = "Rain: " + (stats.rainTotal ? amount(*stats.rainTotal) : "-") + " on " +
                      WholeText(stats.rainDays) + " days with rain";
  if (stats.wettestDay) {
    lines += "; wettest day " + DayText(stats.wettestDay->day) + " with " +
             amount(stats.wettestDay->value);
  }
  return lines + "\n";
}

}  // namespace

std::string StatsJson(const PeriodStats& stats, const UnitSettings& units) {
  std::string json =
      "{\"from\":" + Quoted(DayText(stats.first)) + ",\"to\":" + Quoted(DayText(stats.last)) +
      ",\"records\":" + WholeText(stats.records) + ",\"missing_days\":" + JsonMissingDays(stats) +
      ",\"missing_day_count\":" + WholeText(stats.missingDayCount) + ",\"values\":{";
  for (std::size_t key = 0; key < kStatKeys.size(); ++key) {
    json += (key > 0 ? "," : "") + Quoted(kStatKeys[key].name) + ":" +
            JsonSummary(stats.values[key], ShownUnitOfKey(key, units));
  }
  return json + "},\"rain\":" + JsonRain(stats, units) + "}\n";
}

std::string StatsTable(const PeriodStats& stats, const UnitSettings& units) {
  std::string table = "Period: " + DayText(stats.first) + " to " + DayText(stats.last) + "\n" +
                      "Records: " + WholeText(stats.records) + "\n" + MissingLine(stats) + "\n" +
                      Left("", 30) + Right("High", 9) + Left("  at", 18) + Right("Low", 9) +
                      Left("  at", 18) + Right("Mean", 9) + Right("Count", 9) + "\n";
  std::string without;
  for (std::size_t key = 0; key < kStatKeys.size(); ++key) {
    if (stats.values[key].count > 0) {
      table += TableRow(key, stats.values[key], units);
    } else {
      without += (without.empty() ? "" : ", ") + Label(kStatKeys[key].name);
    }
  }
  table += "\n" + RainLines(stats, units);
  if (!without.empty()) {
    table += "No readings: " + without + "\n";
  }
  return table;
}

}  // namespace nimbrel
