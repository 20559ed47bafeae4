// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/report_command.h"

#include <charconv>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "cli/download.h"
#include "cli/environment.h"
#include "cli/period_args.h"
#include "cli/stats_command.h"
#include "i18n/utf8.h"
#include "stats/climate_report.h"

namespace nimbrel::cli {

namespace {

namespace fs = std::filesystem;

int Usage(std::string_view text) {
  std::fprintf(stderr, "nimbrel-cli report: %.*s\n", static_cast<int>(text.size()), text.data());
  return 2;
}

struct ReportArgs {
  std::optional<std::chrono::year_month> month;
  std::optional<std::chrono::year> year;
  bool csv = false;
  std::string out;
  std::optional<double> degreeBase;
};

// A temperature such as 18.3 or -5, in the chosen unit; colder or hotter than any weather is a
// mistyped number.
std::optional<double> ReadTemperature(std::string_view text) {
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < -100 || value > 200) {
    return std::nullopt;
  }
  return value;
}

std::optional<std::string> ReadOption(std::string_view option, std::string_view value,
                                      ReportArgs& parsed) {
  if (option == "--month") {
    parsed.month = ReadMonth(value);
    return parsed.month
               ? std::nullopt
               : std::optional<std::string>("--month takes a year and month such as 2025-1");
  }
  if (option == "--year") {
    parsed.year = ReadYear(value);
    return parsed.year ? std::nullopt
                       : std::optional<std::string>("--year takes a year such as 2025");
  }
  if (option == "--format") {
    parsed.csv = value == "csv";
    return value == "csv" || value == "text"
               ? std::nullopt
               : std::optional<std::string>("--format takes text or csv");
  }
  if (option == "--out") {
    parsed.out = value;
    return value.empty() ? std::optional<std::string>("--out needs a file name") : std::nullopt;
  }
  if (option == "--degree-base") {
    parsed.degreeBase = ReadTemperature(value);
    return parsed.degreeBase
               ? std::nullopt
               : std::optional<std::string>("--degree-base takes a temperature such as 18.3");
  }
  return "unknown option: " + std::string(option);
}

std::optional<std::string> ParseReportArgs(const std::vector<std::string_view>& args,
                                           ReportArgs& parsed) {
  for (std::size_t i = 0; i < args.size(); i += 2) {
    if (i + 1 == args.size()) {
      return "unknown option or missing value: " + std::string(args[i]);
    }
    if (auto error = ReadOption(args[i], args[i + 1], parsed)) {
      return error;
    }
  }
  if (parsed.month.has_value() == parsed.year.has_value()) {
    return std::string("give either --month Y-M or --year Y");
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::string> WriteWholeFile(const std::string& path, std::string_view text) {
  const fs::path target = PathFromUtf8(path);
  fs::path temporary = target;
  temporary += ".part";  // beside the file, so that the rename cannot cross file systems
  std::error_code error;
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.close();
    if (!out) {
      fs::remove(temporary, error);
      return "\"" + path + "\" cannot be written";
    }
  }
  fs::rename(temporary, target, error);
  if (error) {
    std::error_code ignored;
    fs::remove(temporary, ignored);
    return "\"" + path + "\" cannot be written: " + error.message();
  }
  return std::nullopt;
}

int RunReportCommand(const GlobalOptions& options) {
  ReportArgs args;
  if (const auto error = ParseReportArgs(options.commandArgs, args)) {
    return Usage(*error);
  }
  const DayRange period = args.month ? MonthDays(*args.month) : YearDays(*args.year);
  const auto days = ReadPeriodDays(options, period.first, period.last);
  if (!days) {
    return 1;
  }
  const UnitSettings units = EffectiveUnits(options.units);
  const double base = args.degreeBase.value_or(DefaultDegreeBase(units.temperatureUnit));
  const ClimateReport report = args.month ? MonthReport(*days, *args.month, units, base)
                                          : YearReport(*days, *args.year, units, base);
  const std::string text = args.csv ? ReportCsv(report) : ReportText(report);
  if (args.out.empty()) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    return 0;
  }
  if (const auto error = WriteWholeFile(args.out, text)) {
    return Fail(*error + ". Nothing was written.");
  }
  return 0;
}

}  // namespace nimbrel::cli
