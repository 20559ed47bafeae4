// SPDX-License-Identifier: GPL-3.0-or-later
// Statistics over ten years of five-minute records: the whole archive and one month, read from
// the day summaries; and the migration that makes those summaries for an archive of the version
// before.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "archive/archive.h"
#include "bench/bench_support.h"
#include "simulator/weather_model.h"
#include "tests/archive/sqlite_query.h"

namespace nimbrel {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono;

// Ten years of records five minutes apart, some 1.05 million.
constexpr std::size_t kTenYears = (10 * 365 + 2) * 24 * 12;
// Downloads of a full console log each, as the archive grows in use.
constexpr std::size_t kDownload = 60000;
// A sync every six hours brings 72 new records; enough of them are kept back for the runs of
// BM_SyncIntoTenYears.
constexpr std::size_t kSync = 72;
constexpr std::size_t kSyncs = 400;

// The ten-year archive, made once a run, with the live samples of the hour after its last
// record; its days and months.
struct TenYears {
  fs::path path = fs::temp_directory_path() / "nimbrel-bench-ten-years.sqlite";
  std::unique_ptr<Archive> archive;
  local_days first{};
  local_days last{};
  std::vector<year_month> months;
  std::vector<std::string> later;  // the records after the ten years, for syncs
  std::size_t synced = 0;
  ~TenYears() {
    archive.reset();
    RemoveArchiveFile(path);
  }
};

bool Fill(TenYears& ten, const WeatherModel& model) {
  std::vector<std::string> lines = model.History(kTenYears + kSync * kSyncs, 100);
  ten.later.assign(lines.begin() + kTenYears, lines.end());
  lines.resize(kTenYears);
  Archive& archive = *ten.archive;
  MergeCounts counts;
  for (std::size_t first = 0; first < lines.size(); first += kDownload) {
    const auto end =
        lines.begin() + static_cast<std::ptrdiff_t>(std::min(first + kDownload, lines.size()));
    const std::vector<std::string_view> download(lines.begin() + static_cast<std::ptrdiff_t>(first),
                                                 end);
    if (archive.Merge(download, counts)) {
      return false;
    }
  }
  const ConsoleTime after = model.HistoryStart() + kTenYears * kHistoryInterval;
  for (int i = 0; i < 12; ++i) {
    const ConsoleTime when = after + i * kHistoryInterval;
    bool kept = false;
    if (archive.AddLiveSample(model.RecordAt(when, 100), when, kept)) {
      return false;
    }
  }
  return true;
}

TenYears& Archived() {
  static TenYears ten;
  if (!ten.archive) {
    RemoveArchiveFile(ten.path);
    ArchiveError error{};
    ten.archive = OpenArchive({ten.path}, error);
    const WeatherModel model(21);
    if (ten.archive && !Fill(ten, model)) {
      ten.archive.reset();
    }
    const sys_days start = floor<days>(model.HistoryStart());
    ten.first = local_days{start.time_since_epoch()};
    ten.last = ten.first + days{kTenYears / (24 * 12)};
    for (year_month month = year_month_day{ten.first}.year() / year_month_day{ten.first}.month();
         local_days{month / 1} <= ten.last; month += months{1}) {
      ten.months.push_back(month);
    }
  }
  return ten;
}

// Every figure of the whole archive: its days read and summed up.
void BM_StatsOfTenYears(benchmark::State& state) {
  TenYears& ten = Archived();
  for (auto _ : state) {
    std::vector<DaySummary> days;
    if (!ten.archive || ten.archive->ReadDays(ten.first, ten.last, days)) {
      state.SkipWithError("the archive cannot be read");
      break;
    }
    const PeriodStats stats = Summarize(days, ten.first, ten.last);
    if (stats.records != static_cast<std::int64_t>(kTenYears) + 12) {
      state.SkipWithError("records missing");
      break;
    }
    benchmark::DoNotOptimize(stats);
  }
}
BENCHMARK(BM_StatsOfTenYears)->Unit(benchmark::kMillisecond);

// One month's figures, another month each time.
void BM_StatsOfAMonth(benchmark::State& state) {
  TenYears& ten = Archived();
  std::size_t next = 0;
  for (auto _ : state) {
    const year_month month = ten.months[next++ % ten.months.size()];
    const local_days first{month / 1};
    const local_days last{month / std::chrono::last};
    std::vector<DaySummary> days;
    if (!ten.archive || ten.archive->ReadDays(first, last, days)) {
      state.SkipWithError("the archive cannot be read");
      break;
    }
    benchmark::DoNotOptimize(Summarize(days, first, last));
  }
}
BENCHMARK(BM_StatsOfAMonth)->Unit(benchmark::kMillisecond);

// The ten-year archive as the version before left it, opened by this one: the day summaries
// made from all its records. The downgrade is plain SQL, as that version's file is the same
// without the summaries' table. peak_MB: how far the process's memory grew meanwhile, the
// file's mapped pages included.
void BM_MigrateTenYears(benchmark::State& state) {
  TenYears& ten = Archived();
  std::int64_t grown = 0;
  for (auto _ : state) {
    state.PauseTiming();
    ten.archive.reset();
    testing::QueryText(ten.path, "DROP TABLE day_summaries; PRAGMA user_version = 2");
    ResetPeakMemory();
    const std::int64_t before = MemoryLine("VmRSS:");
    state.ResumeTiming();
    ArchiveError error{};
    ten.archive = OpenArchive({ten.path}, error);
    grown = std::max(grown, MemoryLine("VmHWM:") - before);
    if (!ten.archive || testing::QueryText(ten.path, "PRAGMA user_version") != "3") {
      state.SkipWithError("the migration failed");
      break;
    }
  }
  state.counters["peak_MB"] = static_cast<double>(grown) / 1024;
}
BENCHMARK(BM_MigrateTenYears)->Unit(benchmark::kSecond)->Iterations(1)->Repetitions(3);

// A sync's 72 new records merged into the ten-year archive, their day's summary made anew from
// its records. Last, as it adds to the archive.
void BM_SyncIntoTenYears(benchmark::State& state) {
  TenYears& ten = Archived();
  for (auto _ : state) {
    if (ten.synced + kSync > ten.later.size()) {
      state.SkipWithError("no new records left");
      break;
    }
    const auto first = ten.later.begin() + static_cast<std::ptrdiff_t>(ten.synced);
    const std::vector<std::string_view> download(first, first + kSync);
    ten.synced += kSync;
    MergeCounts counts;
    if (!ten.archive || ten.archive->Merge(download, counts) || counts.added != kSync) {
      state.SkipWithError("the merge failed");
      break;
    }
  }
}
BENCHMARK(BM_SyncIntoTenYears)->Unit(benchmark::kMillisecond)->Iterations(50);

}  // namespace
}  // namespace nimbrel
