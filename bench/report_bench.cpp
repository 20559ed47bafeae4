// SPDX-License-Identifier: GPL-3.0-or-later
// A month's climatological summary, a year's, and a month's statistics as JSON, each read from a
// one-year archive of five-minute records and printed, as nimbrel-cli report and stats do.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>
#include <vector>

#include "archive/archive.h"
#include "simulator/weather_model.h"
#include "stats/climate_report.h"
#include "stats/stats_text.h"

namespace nimbrel {
namespace {

namespace fs = std::filesystem;
using std::chrono::local_days;

constexpr std::size_t kYear = 365 * 24 * 12;

void Remove(const fs::path& path) {
  for (const char* suffix : {"", "-wal", "-shm"}) {
    fs::remove(path.string() + suffix);
  }
}

// The archive, made once a run, and the month in the middle of its year.
struct YearArchive {
  fs::path path = fs::temp_directory_path() / "nimbrel-bench-report.sqlite";
  std::unique_ptr<Archive> archive;
  std::chrono::year_month month{};
  ~YearArchive() {
    archive.reset();
    Remove(path);
  }
};

YearArchive& Year() {
  static YearArchive year;
  if (!year.archive) {
    const std::vector<std::string> lines = WeatherModel(3).History(kYear, 100);
    const std::vector<std::string_view> records(lines.begin(), lines.end());
    Remove(year.path);
    ArchiveError error{};
    year.archive = OpenArchive({year.path}, error);
    MergeCounts counts;
    if (year.archive && (year.archive->Merge(records, counts) || counts.added != kYear)) {
      year.archive.reset();
    }
    const auto middle = RecordTimeOfText(lines[kYear / 2]);
    const std::chrono::year_month_day day{
        std::chrono::floor<std::chrono::days>(middle.value_or(RecordTimePoint{}))};
    year.month = day.year() / day.month();
  }
  return year;
}

template <typename Print>
void Run(benchmark::State& state, const DayRange& range, Print print) {
  YearArchive& year = Year();
  if (!year.archive) {
    state.SkipWithError("the archive could not be made");
    return;
  }
  for (auto _ : state) {
    std::vector<DaySummary> days;
    if (year.archive->ReadDays(range.first, range.last, days)) {
      state.SkipWithError("the archive could not be read");
      break;
    }
    const std::string text = print(days);
    benchmark::DoNotOptimize(text.data());
  }
}

void BM_MonthReport(benchmark::State& state) {
  const std::chrono::year_month month = Year().month;
  Run(state, MonthDays(month), [&](const std::vector<DaySummary>& days) {
    return ReportText(MonthReport(days, month, UnitSettings{}, 18.3));
  });
}
BENCHMARK(BM_MonthReport)->Unit(benchmark::kMillisecond);

// The report alone, from days read once: what the report adds to the archive's reading.
void BM_MonthReportFromDays(benchmark::State& state) {
  YearArchive& year = Year();
  const DayRange range = MonthDays(year.month);
  std::vector<DaySummary> days;
  if (!year.archive || year.archive->ReadDays(range.first, range.last, days)) {
    state.SkipWithError("the archive could not be read");
    return;
  }
  for (auto _ : state) {
    const std::string text = ReportText(MonthReport(days, year.month, UnitSettings{}, 18.3));
    benchmark::DoNotOptimize(text.data());
  }
}
BENCHMARK(BM_MonthReportFromDays)->Unit(benchmark::kMicrosecond);

void BM_YearReport(benchmark::State& state) {
  const std::chrono::year year = Year().month.year();
  Run(state, YearDays(year), [&](const std::vector<DaySummary>& days) {
    return ReportText(YearReport(days, year, UnitSettings{}, 18.3));
  });
}
BENCHMARK(BM_YearReport)->Unit(benchmark::kMillisecond);

void BM_MonthStatsJson(benchmark::State& state) {
  const DayRange range = MonthDays(Year().month);
  Run(state, range, [&](const std::vector<DaySummary>& days) {
    return StatsJson(Summarize(days, range.first, range.last), UnitSettings{});
  });
}
BENCHMARK(BM_MonthStatsJson)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace nimbrel
