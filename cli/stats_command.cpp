// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/stats_command.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string_view>

#include "cli/archive_command.h"
#include "cli/download.h"
#include "cli/environment.h"
#include "cli/period_args.h"
#include "stats/stat_units.h"
#include "stats/stats_text.h"

namespace nimbrel::cli {

namespace {

using std::chrono::local_days;

int Usage(std::string_view text) {
  std::fprintf(stderr, "nimbrel-cli stats: %.*s\n", static_cast<int>(text.size()), text.data());
  return 2;
}

struct StatsArgs {
  std::optional<DayRange> period;  // nothing: the whole archive
  bool json = false;
};

constexpr std::string_view kOnePeriod =
    "give one of --day Y-M-D, --month Y-M, --year Y, --season Y or --all";

// The period one option names, or an error text.
std::optional<std::string> ReadPeriod(std::string_view option, std::string_view value,
                                      unsigned seasonStart, std::optional<DayRange>& period) {
  if (option == "--day") {
    const auto day = ReadDay(value);
    period = day ? std::optional(DayRange{*day, *day}) : std::nullopt;
    return day ? std::nullopt : std::optional<std::string>("--day takes a date such as 2025-1-2");
  }
  if (option == "--month") {
    const auto month = ReadMonth(value);
    period = month ? std::optional(MonthDays(*month)) : std::nullopt;
    return month ? std::nullopt
                 : std::optional<std::string>("--month takes a year and month such as 2025-1");
  }
  const auto year = ReadYear(value);
  if (!year) {
    return std::string(option) + " takes a year such as 2025";
  }
  period = option == "--year" ? YearDays(*year) : SeasonDays(*year, seasonStart);
  return std::nullopt;
}

std::optional<std::string> ParseStatsArgs(const GlobalOptions& options, StatsArgs& parsed) {
  const auto& args = options.commandArgs;
  int periods = 0;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    if (arg == "--json") {
      parsed.json = true;
    } else if (arg == "--all") {
      ++periods;
    } else if (arg == "--day" || arg == "--month" || arg == "--year" || arg == "--season") {
      if (i + 1 == args.size()) {
        return std::string(arg) + " needs a value";
      }
      ++periods;
      const unsigned start = arg == "--season" ? EffectiveRainSeasonStart(options) : 1;
      if (auto error = ReadPeriod(arg, args[++i], start, parsed.period)) {
        return error;
      }
    } else {
      return "unknown option: " + std::string(arg);
    }
  }
  return periods == 1 ? std::nullopt : std::optional<std::string>(kOnePeriod);
}

std::unique_ptr<Archive> OpenArchiveToRead(const GlobalOptions& options) {
  return OpenCliArchive(options, ArchiveUse::kExisting);
}

std::string PeriodText(local_days first, local_days last) {
  return first == last ? "on " + DayText(first) : "from " + DayText(first) + " to " + DayText(last);
}

// From the first dated record to the last, or to the last live sample after it.
std::optional<std::vector<DaySummary>> ReadWholeArchive(const GlobalOptions& options,
                                                        DayRange& period) {
  const std::unique_ptr<Archive> archive = OpenArchiveToRead(options);
  if (!archive) {
    return std::nullopt;
  }
  ArchiveInfo info;
  if (const ArchiveStatus status = archive->ReadInfo(info)) {
    Fail(status->message);
    return std::nullopt;
  }
  if (!info.firstRecord || !info.lastRecord) {
    Fail("The archive \"" + Utf8FromPath(info.path) +
         "\" holds no dated records; run 'nimbrel-cli archive sync' first.");
    return std::nullopt;
  }
  const auto day = [](RecordTimePoint time) { return std::chrono::floor<std::chrono::days>(time); };
  period = {day(*info.firstRecord), day(*info.lastRecord)};
  std::vector<DaySummary> days;
  const local_days today = day(ClockNow());
  if (const ArchiveStatus status =
          archive->ReadDays(period.first, std::max(period.last, today), days)) {
    Fail(status->message);
    return std::nullopt;
  }
  if (!days.empty()) {
    period.last = std::max(period.last, days.back().day);
  }
  return days;
}

}  // namespace

std::optional<std::vector<DaySummary>> ReadPeriodDays(const GlobalOptions& options,
                                                      local_days first, local_days last) {
  const std::unique_ptr<Archive> archive = OpenArchiveToRead(options);
  if (!archive) {
    return std::nullopt;
  }
  std::vector<DaySummary> days;
  if (const ArchiveStatus status = archive->ReadDays(first, last, days)) {
    Fail(status->message);
    return std::nullopt;
  }
  if (std::none_of(days.begin(), days.end(),
                   [](const DaySummary& day) { return day.records > 0; })) {
    Fail("The archive holds no records " + PeriodText(first, last) + ".");
    return std::nullopt;
  }
  return days;
}

int RunStatsCommand(const GlobalOptions& options) {
  StatsArgs args;
  if (const auto error = ParseStatsArgs(options, args)) {
    return Usage(*error);
  }
  DayRange period{};
  std::optional<std::vector<DaySummary>> days;
  if (args.period) {
    period = *args.period;
    days = ReadPeriodDays(options, period.first, period.last);
  } else {
    days = ReadWholeArchive(options, period);
  }
  if (!days) {
    return 1;
  }
  const PeriodStats stats = Summarize(*days, period.first, period.last);
  const UnitSettings units = EffectiveUnits(options.units);
  const std::string text = args.json ? StatsJson(stats, units) : StatsTable(stats, units);
  std::fwrite(text.data(), 1, text.size(), stdout);
  return 0;
}

}  // namespace nimbrel::cli
