// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/export_args.h"

#include <array>
#include <utility>

#include "cli/options.h"
#include "i18n/utf8.h"

namespace nimbrel::cli {

namespace {

constexpr std::array<std::pair<std::string_view, DataSet>, 15> kSetNames = {{
    {"pressure", DataSet::BarometricPressure},
    {"indoor", DataSet::IndoorTemperatureHumidity},
    {"outdoor", DataSet::OutdoorTemperatureHumidity},
    {"dewpoint", DataSet::OutdoorDewPoint},
    {"heatindex", DataSet::OutdoorHeatIndex},
    {"wind", DataSet::WindData},
    {"rain", DataSet::RainData},
    {"uv", DataSet::UvIndex},
    {"ch1", DataSet::Ch1},
    {"ch2", DataSet::Ch2},
    {"ch3", DataSet::Ch3},
    {"ch4", DataSet::Ch4},
    {"ch5", DataSet::Ch5},
    {"ch6", DataSet::Ch6},
    {"ch7", DataSet::Ch7},
}};

bool SetDataSet(std::string_view name, std::array<bool, kDataSetCount>& sets) {
  if (name == "all") {
    sets.fill(true);
    return true;
  }
  for (const auto& [setName, set] : kSetNames) {
    if (name == setName) {
      sets[static_cast<std::size_t>(set)] = true;
      return true;
    }
  }
  return false;
}

// "2024-5-17" into the year, month and day boxes; missing parts stay empty.
void SplitDate(std::string_view date, std::u16string& year, std::u16string& month,
               std::u16string& day) {
  std::u16string* boxes[] = {&year, &month, &day};
  for (std::u16string* box : boxes) {
    const std::size_t dash = date.find('-');
    *box = FromUtf8(date.substr(0, dash));
    date = dash == std::string_view::npos ? std::string_view() : date.substr(dash + 1);
  }
}

}  // namespace

bool ParseDataSets(std::string_view list, std::array<bool, kDataSetCount>& sets) {
  sets.fill(false);
  while (true) {
    const std::size_t comma = list.find(',');
    if (!SetDataSet(list.substr(0, comma), sets)) {
      return false;
    }
    if (comma == std::string_view::npos) {
      return true;
    }
    list.remove_prefix(comma + 1);
  }
}

std::optional<std::string> ParseExportArgs(const std::vector<std::string_view>& args,
                                           ExportArgs& parsed) {
  bool from = false, to = false;
  parsed.choices.dataSets.fill(true);
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    if (arg == "--whole") {
      parsed.choices.wholePeriod = true;
      continue;
    }
    if (i + 1 == args.size()) {
      return "unexpected argument '" + std::string(arg) + "'";
    }
    const std::string_view value = args[++i];
    ExportDateBoxes& d = parsed.choices.dates;
    if (arg == "--out") {
      parsed.out = value;
    } else if (arg == "--from") {
      SplitDate(value, d.startYear, d.startMonth, d.startDay);
      from = true;
    } else if (arg == "--to") {
      SplitDate(value, d.endYear, d.endMonth, d.endDay);
      to = true;
    } else if (arg == "--set") {
      if (!ParseDataSets(value, parsed.choices.dataSets)) {
        return "unknown data set in '" + std::string(value) + "'";
      }
    } else if (arg == "--stall-timeout") {
      if (!ParsePositive(value, parsed.stallSeconds)) {
        return "--stall-timeout takes a number of seconds";
      }
    } else {
      return "unexpected argument '" + std::string(arg) + "'";
    }
  }
  if (parsed.out.empty()) {
    return "--out FILE is required";
  }
  if (parsed.choices.wholePeriod == (from || to)) {
    return "give either --whole or --from and --to";
  }
  if (!parsed.choices.wholePeriod && !(from && to)) {
    return "give both --from and --to";
  }
  return std::nullopt;
}

}  // namespace nimbrel::cli
