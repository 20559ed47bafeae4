// SPDX-License-Identifier: GPL-3.0-or-later
// Merging a full download into the archive, all new and then all already archived, and a sync's
// download into a large archive; reading a year of values for a chart; writing today's export
// file and the CSV file from it, and the memory those take for a large archive.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "archive/archive.h"
#include "bench/bench_support.h"
#include "cli/archive_command.h"
#include "export/export_file.h"
#include "simulator/weather_model.h"

namespace nimbrel {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kDownload = 60000;
// A year of records five minutes apart.
constexpr std::size_t kYear = 365 * 24 * 12;

fs::path BenchPath(std::string_view name) {
  return fs::temp_directory_path() / ("nimbrel-bench-" + std::string(name) + ".sqlite");
}

const std::vector<std::string>& Lines(std::size_t count) {
  static const std::vector<std::string> lines = WeatherModel(3).History(kYear, 100);
  static const std::vector<std::string> download(lines.begin(), lines.begin() + kDownload);
  return count == kDownload ? download : lines;
}

std::vector<std::string_view> Views(std::size_t count) {
  return {Lines(count).begin(), Lines(count).end()};
}

std::unique_ptr<Archive> OpenFresh(const fs::path& path) {
  RemoveArchiveFile(path);
  ArchiveError error{};
  return OpenArchive({path}, error);
}

bool Merged(Archive& archive, const std::vector<std::string_view>& records, std::size_t added) {
  MergeCounts counts;
  return !archive.Merge(records, counts) && counts.added == added;
}

void BM_MergeAllNew(benchmark::State& state) {
  const fs::path path = BenchPath("new");
  const std::vector<std::string_view> records = Views(kDownload);
  for (auto _ : state) {
    state.PauseTiming();
    const auto archive = OpenFresh(path);
    state.ResumeTiming();
    if (!archive || !Merged(*archive, records, kDownload)) {
      state.SkipWithError("the merge failed");
      break;
    }
  }
  RemoveArchiveFile(path);
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(kDownload));
}
BENCHMARK(BM_MergeAllNew)->Unit(benchmark::kMillisecond);

void BM_MergeAllArchived(benchmark::State& state) {
  const fs::path path = BenchPath("archived");
  const std::vector<std::string_view> records = Views(kDownload);
  const auto archive = OpenFresh(path);
  if (!archive || !Merged(*archive, records, kDownload)) {
    state.SkipWithError("the first merge failed");
  }
  for (auto _ : state) {
    if (!Merged(*archive, records, 0)) {
      state.SkipWithError("the merge failed");
      break;
    }
  }
  RemoveArchiveFile(path);
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(kDownload));
}
BENCHMARK(BM_MergeAllArchived)->Unit(benchmark::kMillisecond);

// What a chart of a year reads: the time and three values of every record.
void BM_ReadYearOfThreeValues(benchmark::State& state) {
  const fs::path path = BenchPath("year");
  const auto archive = OpenFresh(path);
  if (!archive || !Merged(*archive, Views(kYear), kYear)) {
    state.SkipWithError("the merge failed");
  }
  const RecordField fields[] = {kFieldOutdoorTemperature, kFieldRelativePressure, kFieldWindSpeed};
  for (auto _ : state) {
    double sum = 0;
    std::size_t rows = 0;
    archive->ReadSeries({}, fields, [&](RecordTimePoint, std::span<const double> values) {
      sum += std::isnan(values[0]) ? 0 : values[0];
      ++rows;
    });
    benchmark::DoNotOptimize(sum);
    if (rows != kYear) {
      state.SkipWithError("rows missing");
      break;
    }
  }
  RemoveArchiveFile(path);
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(kYear));
}
BENCHMARK(BM_ReadYearOfThreeValues)->Unit(benchmark::kMillisecond);

// Today's export file of a 60,000-record archive, as BM_ExportFullStore writes it from the store:
// every column, in the units that convert the most.
void BM_ExportFromArchive(benchmark::State& state) {
  const fs::path path = BenchPath("export");
  const fs::path out = fs::temp_directory_path() / "nimbrel-bench-archive-export.csv";
  const auto archive = OpenFresh(path);
  if (!archive || !Merged(*archive, Views(kDownload), kDownload)) {
    state.SkipWithError("the merge failed");
  }
  ExportRequest request;
  request.wholePeriod = true;
  request.dataSets.fill(true);
  UnitSettings units;
  units.temperatureUnit = TemperatureUnit::Fahrenheit;
  units.pressureUnit = PressureUnit::InHg;
  units.windSpeedUnit = WindSpeedUnit::Mph;
  units.rainUnit = RainUnit::Inch;
  for (auto _ : state) {
    DiskExportFile file;
    ArchiveStatus fault;
    if (cli::WriteArchiveExport(*archive, request, units, out.string(), file, fault) !=
        ExportOutcome::kWritten) {
      state.SkipWithError("the export failed");
      break;
    }
  }
  RemoveArchiveFile(path);
  fs::remove(out);
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(kDownload));
}
BENCHMARK(BM_ExportFromArchive)->Unit(benchmark::kMillisecond);

// Six and a half years of records five minutes apart, and one the console dated 2000-01-01 after
// its clock was reset, which it keeps in its log for months.
constexpr std::size_t kLarge = 600000;
// A sync every six hours.
constexpr std::size_t kSync = 72;

const std::string& OldRecord() {
  static const std::string record = [] {
    std::string text = WeatherModel(5).History(1, 100).front();
    const std::size_t date = text.find(' ') + 1;
    return text.replace(date, text.find(' ', date) - date, "2000-1-1");
  }();
  return record;
}

// The large archive, made once a run; the last kSync records of its log come back in each sync.
struct LargeArchive {
  fs::path path = BenchPath("large");
  std::unique_ptr<Archive> archive;
  std::vector<std::string> lastRecords;
  ~LargeArchive() {
    archive.reset();
    RemoveArchiveFile(path);
  }
};

LargeArchive& Large() {
  static LargeArchive large;
  if (large.lastRecords.empty()) {
    const std::vector<std::string> lines = WeatherModel(11).History(kLarge, 100);
    std::vector<std::string_view> records{OldRecord()};
    records.insert(records.end(), lines.begin(), lines.end());
    large.archive = OpenFresh(large.path);
    if (large.archive && !Merged(*large.archive, records, kLarge + 1)) {
      large.archive.reset();
    }
    large.lastRecords.assign(lines.end() - kSync, lines.end());
  }
  return large;
}

// A sync's download merged into the large archive: the console's last 72 records, all archived
// already; with 1, the log still holds the record dated 2000-01-01, in place of its oldest.
void BM_SyncIntoLargeArchive(benchmark::State& state) {
  LargeArchive& large = Large();
  std::vector<std::string_view> download(large.lastRecords.begin(), large.lastRecords.end());
  if (state.range(0) == 1) {
    download.front() = OldRecord();
  }
  for (auto _ : state) {
    if (!large.archive || !Merged(*large.archive, download, 0)) {
      state.SkipWithError("the merge failed");
      break;
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(kSync));
}
BENCHMARK(BM_SyncIntoLargeArchive)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The whole large archive written as today's export file (0) or as the CSV file (1); peak_MB is
// how far the process's memory grew while writing it, the archive's mapped pages included.
void BM_ExportLargeArchive(benchmark::State& state) {
  LargeArchive& large = Large();
  const fs::path out = fs::temp_directory_path() / "nimbrel-bench-large-export.csv";
  ExportRequest request;
  request.wholePeriod = true;
  request.dataSets.fill(true);
  const UnitSettings units;
  std::int64_t grown = 0;
  for (auto _ : state) {
    DiskExportFile file;
    ArchiveStatus fault;
    ResetPeakMemory();
    const std::int64_t before = MemoryLine("VmRSS:");
    const ExportOutcome outcome =
        !large.archive ? ExportOutcome::kFailed
        : state.range(0) == 0
            ? cli::WriteArchiveExport(*large.archive, request, units, out.string(), file, fault)
            : cli::WriteArchiveCsv(*large.archive, request, units, out.string(), file, fault);
    grown = std::max(grown, MemoryLine("VmHWM:") - before);
    if (outcome != ExportOutcome::kWritten) {
      state.SkipWithError("the export failed");
      break;
    }
  }
  fs::remove(out);
  state.counters["peak_MB"] = static_cast<double>(grown) / 1024;
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(kLarge));
}
BENCHMARK(BM_ExportLargeArchive)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace nimbrel
