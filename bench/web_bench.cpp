// SPDX-License-Identifier: GPL-3.0-or-later
// The dashboard's series request for a year of 5-minute records (wind: three series of 105,120
// samples reduced to 1,000 columns), answered whole as the HTTP server would send it: the
// archive opened, read, reduced and written as JSON.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>
#include <vector>

#include "archive/archive.h"
#include "bench/bench_support.h"
#include "simulator/weather_model.h"
#include "web/routes.h"

namespace nimbrel {
namespace {

constexpr std::size_t kYear = 365 * 24 * 12;

std::filesystem::path BenchPath() {
  return std::filesystem::temp_directory_path() / "nimbrel-bench-web.sqlite";
}

// The archive of a year, made once; the time of its last record.
RecordTimePoint MakeYear() {
  static const RecordTimePoint last = [] {
    const std::vector<std::string> lines = WeatherModel(3).History(kYear, 100);
    const std::vector<std::string_view> views(lines.begin(), lines.end());
    RemoveArchiveFile(BenchPath());
    ArchiveError error{};
    const auto archive = OpenArchive({BenchPath()}, error);
    MergeCounts counts;
    if (!archive || archive->Merge(views, counts)) {
      return RecordTimePoint{};
    }
    return RecordTimeOfText(lines.back()).value_or(RecordTimePoint{});
  }();
  return last;
}

web::Handler YearApi() {
  web::ApiContext context;
  const RecordTimePoint now = MakeYear();
  context.now = [now] { return now; };
  context.openArchive = [](ArchiveError& error) { return OpenArchive({BenchPath()}, error); };
  return web::MakeApi(std::move(context));
}

void BM_SeriesYearOfWind(benchmark::State& state) {
  const web::Handler api = YearApi();
  const web::Request request{"GET", "/api/v1/series", "what=wind&last=12m&points=1000", true};
  std::size_t bytes = 0;
  for (auto _ : state) {
    const web::Response response = api(request);
    if (response.status != 200) {
      state.SkipWithError(response.body.c_str());
      break;
    }
    bytes = response.body.size();
  }
  state.counters["answer_bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_SeriesYearOfWind)->Unit(benchmark::kMillisecond);

// A year's statistics, from the day summaries.
void BM_StatsYear(benchmark::State& state) {
  const web::Handler api = YearApi();
  const std::string year = std::to_string(static_cast<int>(
      std::chrono::year_month_day{std::chrono::floor<std::chrono::days>(MakeYear())}.year()));
  const web::Request request{"GET", "/api/v1/stats", "year=" + year, true};
  for (auto _ : state) {
    if (api(request).status != 200) {
      state.SkipWithError("the statistics were not answered");
      break;
    }
  }
}
BENCHMARK(BM_StatsYear)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace nimbrel

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  nimbrel::RemoveArchiveFile(nimbrel::BenchPath());
  return 0;
}
