// SPDX-License-Identifier: GPL-3.0-or-later
// The export of a full store against the floor: the same bytes written with one call.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "export/export_file.h"
#include "export/export_writer.h"
#include "simulator/weather_model.h"

namespace nimbrel {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kRecords = 60000;

const fs::path& OutputPath() {
  static const fs::path path = fs::temp_directory_path() / "nimbrel-bench-export.csv";
  return path;
}

// A full store of generated records, made once.
const HistoryStore& FullStore() {
  static const auto store = [] {
    auto filled = std::make_unique<HistoryStore>();
    const std::vector<std::string> lines = WeatherModel(3).History(kRecords, 100);
    for (std::size_t i = 0; i < lines.size(); ++i) {
      HistoryRecord record{};
      lines[i].copy(record.data(), record.size() - 1);
      filled->Put(i, record);
    }
    return filled;
  }();
  return *store;
}

// Every column, in the units that convert the most: °F, inHg, mph and inches.
int ExportOnce(SharedState& state) {
  ExportRequest request;
  request.wholePeriod = true;
  request.dataSets.fill(true);
  UnitSettings units;
  units.temperatureUnit = TemperatureUnit::Fahrenheit;
  units.pressureUnit = PressureUnit::InHg;
  units.windSpeedUnit = WindSpeedUnit::Mph;
  units.rainUnit = RainUnit::Inch;
  state.historyTotal = static_cast<int>(kRecords);
  state.historyReady = true;
  state.SetExportFileName(OutputPath().string());
  DiskExportFile file;
  return WriteExport(MakeExportJob(FullStore(), state, request, units), file);
}

void BM_ExportFullStore(benchmark::State& state) {
  SharedState shared;
  for (auto _ : state) {
    if (ExportOnce(shared) != kExportEnded) {
      state.SkipWithError("the export failed");
      break;
    }
  }
  const auto bytes = static_cast<std::int64_t>(fs::file_size(OutputPath()));
  state.SetBytesProcessed(state.iterations() * bytes);
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(kRecords));
}
BENCHMARK(BM_ExportFullStore)->Unit(benchmark::kMillisecond);

// The floor: the export's bytes, already made, written with one call.
void BM_WriteSameBytesOnce(benchmark::State& state) {
  SharedState shared;
  ExportOnce(shared);
  std::string bytes(fs::file_size(OutputPath()), '\0');
  std::ifstream(OutputPath(), std::ios::binary).read(bytes.data(), static_cast<long>(bytes.size()));
  for (auto _ : state) {
    std::FILE* file = std::fopen(OutputPath().c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes.size()));
}
BENCHMARK(BM_WriteSameBytesOnce)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace nimbrel
