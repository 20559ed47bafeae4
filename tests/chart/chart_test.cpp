// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "chart/chart_columns.h"
#include "chart/chart_load.h"
#include "readings/number_text.h"
#include "readings/reading_format.h"

namespace nimbrel::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono;

RecordTimePoint At(int y, unsigned m, unsigned d, int h = 0, int min = 0, int s = 0) {
  return local_days{year{y} / m / d} + hours{h} + minutes{min} + seconds{s};
}

TEST(ChartWindow, PeriodsEndWithTheMinuteAfterNow) {
  const RecordTimePoint now = At(2025, 3, 1, 14, 32, 10);
  const struct {
    ChartPeriod period;
    RecordTimePoint now;
    ChartWindow expected;
  } cases[] = {
      {{ChartSpan::kDay}, now, {At(2025, 2, 28, 14, 33), At(2025, 3, 1, 14, 33)}},
      {{ChartSpan::kWeek}, now, {At(2025, 2, 22, 14, 33), At(2025, 3, 1, 14, 33)}},
      {{ChartSpan::kMonth}, now, {At(2025, 1, 30, 14, 33), At(2025, 3, 1, 14, 33)}},
      {{ChartSpan::kYear}, now, {At(2024, 3, 1, 14, 33), At(2025, 3, 1, 14, 33)}},
      {{ChartSpan::kYear}, At(2024, 2, 29, 10), {At(2023, 2, 28, 10, 1), At(2024, 2, 29, 10, 1)}},
      {{ChartSpan::kChosen, local_days{year{2025} / 1 / 2}, local_days{year{2025} / 1 / 4}},
       now,
       {At(2025, 1, 2), At(2025, 1, 5)}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(WindowOf(c.period, c.now), c.expected) << ChartSpanName(c.period.span);
  }
}

// A record with these outdoor temperature, daily rain and relative pressure texts.
std::string Line(std::string date, std::string time, std::string outdoor, std::string rain,
                 std::string pressure = "1013.2") {
  std::string text = "10 " + date + " " + time + " 21.5 40 " + outdoor + " 80 " + rain +
                     " 0.0 5.0 7.2 180 S " + pressure + " 1004.7 1 -0.5 --.-";
  for (int channel = 1; channel <= 7; ++channel) {
    text += " --.- --";
  }
  return text + " -1.2 0.0 2.5 40.1";
}

class ChartLoad : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::remove_all(dir_);
    ArchiveError error{};
    archive_ = OpenArchive({dir_ / "archive.sqlite"}, error);
    ASSERT_TRUE(archive_) << error.message;
    // 2025-01-04 is missing altogether; the 23:55 record has no outdoor reading.
    const std::vector<std::string> lines = {
        Line("2025-01-02", "23:50", "1.7", "1.4", "1012.9"),
        Line("2025-01-02", "23:55", "--.-", "1.5"),
        Line("2025-01-03", "00:00", "-0.3", "0.0"),
        Line("2025-01-03", "00:05", "-12.8", "0.2"),
        Line("2025-01-05", "12:00", "2.1", "-"),
    };
    const std::vector<std::string_view> views(lines.begin(), lines.end());
    MergeCounts counts;
    ASSERT_FALSE(archive_->Merge(views, counts));
    // Live samples: one older than the newest record (left out), one newer.
    bool kept = false;
    ASSERT_FALSE(archive_->AddLiveSample(Line("2025-01-03", "00:10", "9.9", "9.9"),
                                         sys_seconds{hours{1}}, kept));
    ASSERT_FALSE(archive_->AddLiveSample(Line("2025-01-05", "12:05", "2.4", "0.4"),
                                         sys_seconds{hours{2}}, kept));
  }
  void TearDown() override { fs::remove_all(dir_); }

  ChartData Load(ChartKind kind, const UnitSettings& units = {}) {
    ChartRequest request{
        kind,
        {ChartSpan::kChosen, local_days{year{2025} / 1 / 2}, local_days{year{2025} / 1 / 5}},
        {},
        units};
    ChartData data;
    EXPECT_FALSE(LoadChart(*archive_, request, At(2025, 1, 5, 12, 7), data));
    return data;
  }

  fs::path dir_ = fs::temp_directory_path() / ("nimbrel-chart-" + std::to_string(::getpid()));
  std::unique_ptr<Archive> archive_;
};

std::string Printed(double value, int decimals) {
  FixedText buffer{};
  return std::string(PrintFixed(value, decimals, buffer));
}

std::string Narrow(const std::u16string& text) {
  return {text.begin(), text.end()};
}

// The samples as the dashboard would show each text, live sample included; gaps and daily totals.
TEST_F(ChartLoad, SeriesMatchTheDashboardAndEndWithTheLiveSample) {
  UnitSettings units;
  units.temperatureUnit = TemperatureUnit::Fahrenheit;
  units.pressureUnit = PressureUnit::InHg;
  units.rainUnit = RainUnit::Inch;
  const ChartData temperature = Load(ChartKind::kTemperature, units);
  const ChartSeries& outdoor = temperature.series.at(1);
  ASSERT_EQ(outdoor.id, ChartSeriesId::kOutdoorTemperature);
  const struct {
    ChartKind kind;
    std::size_t series;
    std::vector<std::u16string> shown;  // the dashboard's texts, in time order
  } cases[] = {
      {ChartKind::kTemperature,
       1,
       {TemperatureInUnit(u"1.7", units.temperatureUnit),
        TemperatureInUnit(u"-0.3", units.temperatureUnit),
        TemperatureInUnit(u"-12.8", units.temperatureUnit),
        TemperatureInUnit(u"2.1", units.temperatureUnit),
        TemperatureInUnit(u"2.4", units.temperatureUnit)}},
      {ChartKind::kPressure, 0,
       std::vector<std::u16string>(6, PressureInUnit(u"1013.2", units.pressureUnit))},
      // The day's largest running total; 2025-01-05 has only the live sample's.
      {ChartKind::kRain,
       0,
       {RainInUnit(u"1.5", units.rainUnit), RainInUnit(u"0.2", units.rainUnit),
        RainInUnit(u"0.4", units.rainUnit)}},
  };
  for (const auto& c : cases) {
    const ChartData data = c.kind == ChartKind::kTemperature ? temperature : Load(c.kind, units);
    const ChartSeries& series = data.series.at(c.series);
    std::vector<std::string> printed;
    for (const ChartSample& sample : series.samples) {
      printed.push_back(Printed(sample.value, series.decimals));
    }
    std::vector<std::string> expected;
    for (const auto& text : c.shown) {
      expected.push_back(Narrow(text));
    }
    if (c.kind == ChartKind::kPressure) {
      expected.front() = Narrow(PressureInUnit(u"1012.9", units.pressureUnit));
    }
    EXPECT_EQ(printed, expected) << ChartKindName(c.kind);
  }
  EXPECT_EQ(outdoor.samples.back().time, At(2025, 1, 5, 12, 5));

  // Hour columns: the missing day opens a gap, ten minutes apart do not.
  const auto columns = ColumnsOf(outdoor, temperature.window, 96);
  EXPECT_FALSE(columns[24].gapBefore);  // 2025-01-03 00:00, after 23:50
  EXPECT_TRUE(columns[3 * 24 + 12].gapBefore);
  EXPECT_EQ(columns[3 * 24 + 12].last, outdoor.samples.back().value);
  EXPECT_EQ(SampleNear(outdoor, At(2025, 1, 3, 0, 4), minutes{5})->time, At(2025, 1, 3, 0, 5));
  EXPECT_FALSE(SampleNear(outdoor, At(2025, 1, 4), hours{1}));

  // Under the pointer, a daily bar stands for its whole day, whatever the reach.
  const ChartData rain = Load(ChartKind::kRain);
  const ChartSeries& daily = rain.series.at(0);
  const struct {
    RecordTimePoint pointer;
    std::optional<RecordTimePoint> bar;
  } bars[] = {
      {At(2025, 1, 2, 6, 30), At(2025, 1, 2)},  {At(2025, 1, 2, 18, 30), At(2025, 1, 2)},
      {At(2025, 1, 2, 23, 59), At(2025, 1, 2)}, {At(2025, 1, 3), At(2025, 1, 3)},
      {At(2025, 1, 4, 0, 1), std::nullopt},     {At(2025, 1, 1, 23, 59), std::nullopt},
      {At(2025, 1, 5, 23, 59), At(2025, 1, 5)}, {At(2025, 1, 6), std::nullopt},
  };
  for (const auto& c : bars) {
    const std::optional<ChartSample> shown = SampleNear(daily, c.pointer, minutes{63});
    EXPECT_EQ(shown ? std::optional(shown->time) : std::nullopt, c.bar)
        << c.pointer.time_since_epoch().count();
  }
}

// A gap is a spacing of more than three typical ones, kept between ten minutes and six hours; a
// spacing of exactly the limit is none. The pointer reaches a sample exactly its reach away.
TEST(ChartGaps, ThreeTypicalSpacingsWithinTenMinutesAndSixHours) {
  const struct {
    std::vector<int> minutesApart;
    minutes limit;
  } cases[] = {
      {{5, 5, 30, 5}, minutes{15}},
      {{1, 1, 1}, minutes{10}},
      {{180, 180, 180}, hours{6}},
      {{}, hours{6}},
  };
  for (const auto& c : cases) {
    std::vector<ChartSample> samples{{At(2025, 1, 1), 0}};
    for (const int apart : c.minutesApart) {
      samples.push_back({samples.back().time + minutes{apart}, 0});
    }
    EXPECT_EQ(GapLimitOf(samples), c.limit) << c.minutesApart.size();
  }
  ChartSeries series;
  series.gapLimit = minutes{15};
  for (const int at : {0, 15, 31}) {
    series.samples.push_back({At(2025, 1, 1) + minutes{at}, 1});
  }
  const auto columns = ColumnsOf(series, {At(2025, 1, 1), At(2025, 1, 1, 1)}, 60);
  EXPECT_TRUE(columns[0].gapBefore);
  EXPECT_FALSE(columns[15].gapBefore);
  EXPECT_TRUE(columns[31].gapBefore);
  EXPECT_EQ(SampleNear(series, At(2025, 1, 1, 0, 20), minutes{5})->time, At(2025, 1, 1, 0, 15));
}

// Whatever the number of columns, they hold the series' true extremes and its first and last.
TEST(ChartColumns, DecimationKeepsMinimumAndMaximum) {
  ChartSeries series;
  series.gapLimit = minutes{15};
  for (int i = 0; i < 10000; ++i) {
    series.samples.push_back({At(2025, 1, 1) + minutes{5 * i}, (i * 7919) % 1000 / 10.0});
  }
  series.samples[4321].value = 250;
  series.samples[1234].value = -40;
  series.stats = StatsOf(series.samples);
  const ChartWindow window{At(2025, 1, 1), series.samples.back().time + minutes{1}};
  for (const int count : {1, 7, 900, 20000}) {
    const auto columns = ColumnsOf(series, window, count);
    double low = 1e9, high = -1e9;
    int starts = 0;
    for (const ChartColumn& column : columns) {
      if (column.present) {
        low = std::min(low, column.min);
        high = std::max(high, column.max);
        starts += column.gapBefore ? 1 : 0;
      }
    }
    EXPECT_EQ(low, -40) << count;
    EXPECT_EQ(high, 250) << count;
    EXPECT_EQ(starts, 1) << count;
    EXPECT_EQ(columns.front().first, series.samples.front().value);
    EXPECT_EQ(columns.back().last, series.samples.back().value);
  }
}

}  // namespace
}  // namespace nimbrel::testing
