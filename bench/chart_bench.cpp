// SPDX-License-Identifier: GPL-3.0-or-later
// A chart of a year of 5-minute records, three series of 105,120 samples: read from an archive
// file, and painted at 900 x 500 with and without the per-column decimation.
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <filesystem>
#include <string>
#include <vector>

#include "archive/archive.h"
#include "chart/chart_load.h"
#include "simulator/weather_model.h"
#include "ui/chart/chart_painter.h"

namespace nimbrel {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kYear = 365 * 24 * 12;

fs::path BenchPath() {
  return fs::temp_directory_path() / "nimbrel-bench-chart.sqlite";
}

void Remove(const fs::path& path) {
  for (const char* suffix : {"", "-wal", "-shm"}) {
    fs::remove(path.string() + suffix);
  }
}

// The archive of a year, made once; the time just after its last record.
struct YearArchive {
  std::unique_ptr<Archive> archive;
  RecordTimePoint now{};
};

YearArchive& Year() {
  static YearArchive year = [] {
    const std::vector<std::string> lines = WeatherModel(3).History(kYear, 100);
    const std::vector<std::string_view> views(lines.begin(), lines.end());
    Remove(BenchPath());
    ArchiveError error{};
    YearArchive made{OpenArchive({BenchPath()}, error), {}};
    MergeCounts counts;
    if (made.archive && !made.archive->Merge(views, counts)) {
      made.now = RecordTimeOfText(lines.back()).value_or(RecordTimePoint{});
    }
    return made;
  }();
  return year;
}

// Wind: speed, gust and direction, each a sample every 5 minutes.
ChartRequest YearOfWind() {
  ChartRequest request;
  request.kind = ChartKind::kWind;
  request.period.span = ChartSpan::kYear;
  return request;
}

bool Loaded(ChartData& data) {
  YearArchive& year = Year();
  return year.archive && !LoadChart(*year.archive, YearOfWind(), year.now, data) &&
         data.series.size() == 3 && data.series[0].samples.size() + 1 >= kYear;
}

void BM_LoadYearChart(benchmark::State& state) {
  ChartData data;
  for (auto _ : state) {
    if (!Loaded(data)) {
      state.SkipWithError("the chart did not load");
      break;
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(kYear));
}
BENCHMARK(BM_LoadYearChart)->Unit(benchmark::kMillisecond);

void BM_PaintYearChart(benchmark::State& state) {
  ChartData data;
  if (!Loaded(data)) {
    state.SkipWithError("the chart did not load");
  }
  const ChartTexts texts = OwnChartTexts(LanguageIndex::kEnglish, UnitSettings{});
  QImage image(900, 500, QImage::Format_ARGB32_Premultiplied);
  for (auto _ : state) {
    QPainter painter(&image);
    PaintChart(painter, QRectF(0, 0, 900, 500), data, texts);
  }
}
BENCHMARK(BM_PaintYearChart)->Unit(benchmark::kMillisecond);

// The same series drawn through every sample, as a drawing without decimation would.
void BM_PaintYearEverySample(benchmark::State& state) {
  ChartData data;
  if (!Loaded(data)) {
    state.SkipWithError("the chart did not load");
  }
  QImage image(900, 500, QImage::Format_ARGB32_Premultiplied);
  const ChartFrame frame = FrameOf(QRectF(0, 0, 900, 500), data);
  for (auto _ : state) {
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, true);
    for (const ChartSeries& series : data.series) {
      QPolygonF line;
      line.reserve(static_cast<qsizetype>(series.samples.size()));
      for (const ChartSample& sample : series.samples) {
        line.append(QPointF(XOfTime(frame, sample.time),
                            frame.plot.bottom() - sample.value / 400.0 * frame.plot.height()));
      }
      painter.drawPolyline(line);
    }
  }
}
BENCHMARK(BM_PaintYearEverySample)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace nimbrel

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  const QGuiApplication application(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  nimbrel::Remove(nimbrel::BenchPath());
  return 0;
}
