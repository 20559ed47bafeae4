// SPDX-License-Identifier: GPL-3.0-or-later
// Merging a full download into the archive, all new and then all already archived, and reading
// a year of values for a chart, and writing today's export file from it.
#include <benchmark/benchmark.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "archive/archive.h"
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

void Remove(const fs::path& path) {
  for (const char* suffix : {"", "-wal", "-shm"}) {
    fs::remove(path.string() + suffix);
  }
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
  Remove(path);
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
  Remove(path);
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
  Remove(path);
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
  Remove(path);
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
  Remove(path);
  fs::remove(out);
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(kDownload));
}
BENCHMARK(BM_ExportFromArchive)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace nimbrel
