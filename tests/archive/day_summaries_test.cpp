// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <string>
#include <vector>

#include "archive/archive.h"
#include "simulator/weather_model.h"
#include "tests/archive/sqlite_query.h"
#include "tests/export/export_test_support.h"

namespace nimbrel::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono;

std::unique_ptr<Archive> Open(const ArchiveOptions& options) {
  ArchiveError error{};
  auto archive = OpenArchive(options, error);
  EXPECT_TRUE(archive) << error.message;
  return archive;
}

// The console's log, in its order: model weather stamped with the times the console's clock
// showed, through gaps and steps back.
class ConsoleLog {
 public:
  // Records every five minutes from `from` (included) to `to` (excluded) on `date`.
  ConsoleLog& Run(std::string_view date, minutes from, minutes to) {
    for (minutes at = from; at < to; at += minutes{5}) {
      const auto h = duration_cast<hours>(at).count();
      const auto m = (at - hours{h}).count();
      Add(date,
          (h < 10 ? "0" : "") + std::to_string(h) + (m < 10 ? ":0" : ":") + std::to_string(m));
    }
    return *this;
  }
  ConsoleLog& Day(std::string_view date) { return Run(date, 0h, 24h); }
  ConsoleLog& Add(std::string_view date, std::string_view time) {
    std::string text = weather_.at(texts_.size() % weather_.size());
    const std::size_t dateAt = text.find(' ') + 1;
    const std::size_t timeEnd = text.find(' ', text.find(' ', dateAt) + 1);
    text.replace(dateAt, timeEnd - dateAt, std::string(date) + " " + std::string(time));
    texts_.push_back(windless_ ? WithoutWind(text) : text);
    return *this;
  }
  // The records from here on have no wind reading at all (the sensor's cable cut).
  ConsoleLog& Windless(bool windless) {
    windless_ = windless;
    return *this;
  }
  std::size_t Size() const { return texts_.size(); }
  std::vector<std::string_view> Part(std::size_t first, std::size_t end) const {
    return {texts_.begin() + static_cast<std::ptrdiff_t>(first),
            texts_.begin() + static_cast<std::ptrdiff_t>(end)};
  }

 private:
  // Outdoor drop-outs and channels without a sensor give runs of no reading.
  std::vector<std::string> weather_ = WeatherModel(4).History(2000, 80);
  std::vector<std::string> texts_;
  bool windless_ = false;

  static std::string WithoutWind(const std::string& text) {
    RecordFieldViews fields = SplitRecordInPlace(text);
    fields[kFieldWindSpeed] = "--.-";
    fields[kFieldWindGust] = "--.-";
    std::string joined;
    for (const std::string_view field : fields) {
      joined += joined.empty() ? "" : " ";
      joined += field;
    }
    return joined;
  }
};

// Where two days' figures differ; empty when they agree exactly.
std::string Difference(const DaySummary& got, const DaySummary& want) {
  const std::string day = IsoMinuteText(local_seconds{got.day}).substr(0, 10) + ": ";
  if (got.day != want.day || got.records != want.records || got.rain != want.rain ||
      got.windPoints != want.windPoints) {
    return day + "day, records, rain or wind";
  }
  for (std::size_t key = 0; key < kStatKeys.size(); ++key) {
    const ValueSummary& a = got.values[key];
    const ValueSummary& b = want.values[key];
    if (a.high != b.high || a.low != b.low || a.sum != b.sum || a.count != b.count) {
      return day + std::string(kStatKeys[key].name);
    }
  }
  return "";
}

// Each day's figures straight from its records in log order and then its live samples after its
// newest record, one day at a time.
std::vector<DaySummary> FromRecords(Archive& archive, local_days first, local_days last) {
  std::vector<DaySummary> days;
  for (local_days day = first; day <= last; day += std::chrono::days{1}) {
    DaySummary summary;
    summary.day = day;
    const auto add = [&summary](RecordTimePoint time, std::span<const double> readings) {
      summary.Add(time, readings);
    };
    EXPECT_FALSE(archive.ReadSeries({false, day, day}, kDayFields, add));
    EXPECT_FALSE(archive.ReadLiveSeries(day, day + std::chrono::days{1}, kDayFields, add));
    if (summary.records > 0) {
      days.push_back(summary);
    }
  }
  return days;
}

void ExpectSameDays(const std::vector<DaySummary>& got, const std::vector<DaySummary>& want,
                    std::string_view stage) {
  ASSERT_EQ(got.size(), want.size()) << stage;
  for (std::size_t i = 0; i < got.size(); ++i) {
    EXPECT_EQ(Difference(got[i], want[i]), "") << stage;
  }
}

// The kept summaries give what the records give, after each download: a day brought in two
// halves, or its afternoon before its morning, the autumn's repeated hour, a clock set back
// over midnight or by hours, gaps, undated records and live samples on days with and without
// records. An archive of the version before gets the same from its migration.
TEST(DaySummaries, AgreeWithTheRecordsAfterEveryDownloadAndAMigration) {
  const TempDir dir;
  const fs::path path = dir.Path() / "archive.sqlite";
  ConsoleLog log;
  log.Day("2026-10-20").Run("2026-10-21", 0h, 18h);
  log.Run("2026-10-21", 9h, 10h).Run("2026-10-21", 18h, 24h);  // its clock reset to 09:00
  log.Windless(true).Day("2026-10-23").Windless(false);        // no record on the 22nd
  log.Run("2026-10-24", 0h, 12h);
  const std::size_t halfDay = log.Size();
  log.Run("2026-10-24", 12h, 24h).Run("2026-10-25", 0h, 3h).Run("2026-10-25", 2h, 24h);
  log.Add("2026-02-30", "10:00").Add("2026-10-25", "--:--");  // undated, and no time
  const std::size_t morning = log.Size();
  log.Run("2026-10-26", 0h, 12h);
  const std::size_t afternoon = log.Size();
  log.Run("2026-10-26", 12h, 24h).Day("2026-10-27").Run("2026-10-28", 0h, 30min);
  log.Run("2026-10-27", 23h + 30min, 24h).Run("2026-10-28", 0h, 6h).Add("2035-01-01", "00:00");

  struct Download {
    std::size_t first, end;
  };
  const Download downloads[] = {
      {0, halfDay},         {halfDay - 20, morning}, {afternoon, log.Size()},
      {morning, afternoon},  // the morning after the afternoon
      {0, log.Size()},       // all archived already
  };
  const local_days first{2026y / 10 / 19};
  const local_days last{2026y / 10 / 30};
  for (const Download& download : downloads) {
    const auto archive = Open({path});
    MergeCounts counts;
    ASSERT_FALSE(archive->Merge(log.Part(download.first, download.end), counts));
    std::vector<DaySummary> days;
    EXPECT_FALSE(archive->ReadDays(first, last, days));
    ExpectSameDays(days, FromRecords(*archive, first, last),
                   "download from " + std::to_string(download.first));
  }

  // Live samples on a day with records (only the one after its newest counts), after the last
  // record and on a day without any.
  const sys_seconds received{sys_days{2026y / 10 / 28}};
  const std::pair<std::string_view, std::string_view> samples[] = {{"2026-10-28", "05:00"},
                                                                   {"2026-10-28", "07:15"},
                                                                   {"2026-10-29", "09:00"},
                                                                   {"2026-10-22", "12:00"}};
  for (std::size_t i = 0; i < std::size(samples); ++i) {
    ConsoleLog sample;
    sample.Add(samples[i].first, samples[i].second);
    bool kept = false;
    EXPECT_FALSE(Open({path})->AddLiveSample(sample.Part(0, 1)[0],
                                             received + minutes{10 * static_cast<int>(i)}, kept));
  }
  std::vector<DaySummary> fresh;
  {
    const auto archive = Open({path});
    EXPECT_FALSE(archive->ReadDays(first, last, fresh));
    ExpectSameDays(fresh, FromRecords(*archive, first, last), "live samples");
    ASSERT_EQ(fresh.size(), 10U);
    EXPECT_EQ(fresh[2].day, (local_days{2026y / 10 / 22}));  // a live sample alone
  }

  const fs::path older = dir.Path() / "older.sqlite";
  fs::copy_file(path, older);
  QueryText(older, "DROP TABLE day_summaries; PRAGMA user_version = 2");
  std::vector<DaySummary> migrated;
  EXPECT_FALSE(Open({older})->ReadDays(first, last, migrated));
  ExpectSameDays(migrated, fresh, "migrated");
  EXPECT_EQ(QueryText(older, "PRAGMA user_version"), "3");
}

}  // namespace
}  // namespace nimbrel::testing
