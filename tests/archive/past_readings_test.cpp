// SPDX-License-Identifier: GPL-3.0-or-later
// The readings an outage left unsent, read back from a real archive file: records and the live
// samples after them, in UTC by the PC's zone, strictly between the times asked for.
#include "archive/past_readings.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>
#include <tuple>
#include <vector>

#include "tests/support/temp_dir.h"

namespace nimbrel::testing {
namespace {

using namespace std::chrono;

// A record or live text at a console time with an outdoor temperature and a daily rain.
std::string Text(std::string_view time, std::string_view outdoor, std::string_view dailyRain) {
  std::string text = "10 2026-01-10 " + std::string(time) + " 21.5 40 " + std::string(outdoor) +
                     " 80 " + std::string(dailyRain) +
                     " - 5.0 7.2 180 S 1013.2 1004.7 1 -0.5 --.- 22.0 45";
  for (int channel = 2; channel <= 7; ++channel) {
    text += " --.- --";
  }
  return text + " -1.2 0.0 2.5 40.1";
}

TEST(ArchivePastReadings, RecordsAndLaterLiveSamplesInUtcOldestFirst) {
  // Five hours behind UTC in January, whatever zone the machine is in.
  setenv("TZ", "EST5EDT,M3.2.0,M11.1.0", 1);
  tzset();
  const TempDir dir;
  const ArchiveOptions options{dir.Path() / "archive.sqlite", 5s, 5min};
  {
    ArchiveError error{};
    const auto archive = OpenArchive(options, error);
    ASSERT_TRUE(archive) << error.message;
    const std::string records[] = {Text("07:00", "1.0", "1.0"), Text("07:05", "--.-", "1.5"),
                                   Text("07:10", "3.0", "2.0")};
    const std::vector<std::string_view> download(std::begin(records), std::end(records));
    MergeCounts counts;
    ASSERT_FALSE(archive->Merge(download, counts));
    const sys_seconds noon = sys_days{2026y / 1 / 10} + 12h;
    bool kept = false;
    // The first sample is older than the newest record: the records stand for it.
    for (const auto& [time, rain, received] :
         {std::tuple{"07:03", "9.9", noon + 3min}, std::tuple{"07:15", "2.5", noon + 15min},
          std::tuple{"07:20", "3.0", noon + 20min}}) {
      ASSERT_FALSE(archive->AddLiveSample(Text(time, "4.0", rain), received, kept));
    }
  }
  const sys_seconds noon = sys_days{2026y / 1 / 10} + 12h;
  ArchivePastReadings past(options);
  const struct {
    minutes after, before;
    std::vector<long> expected;  // minutes after noon UTC
  } rows[] = {
      {-60min, 60min, {0, 5, 10, 15, 20}},
      {0min, 15min, {5, 10}},  // strictly between
      {20min, 60min, {}},
      {10min, 5min, {}},
      {-25h, -23h, {}},
  };
  for (const auto& row : rows) {
    std::vector<long> found;
    for (const TimedReading& reading : past.Between(noon + row.after, noon + row.before)) {
      found.push_back(static_cast<long>(duration_cast<minutes>(reading.time - noon).count()));
    }
    EXPECT_EQ(found, row.expected) << row.after.count() << " " << row.before.count();
  }
  const std::vector<TimedReading> all = past.Between(noon - 1h, noon + 1h);
  ASSERT_EQ(all.size(), 5U);
  EXPECT_EQ(all[0].values.outdoorTemperature, 1.0);
  EXPECT_FALSE(all[1].values.outdoorTemperature);  // no reading stays none
  EXPECT_EQ(all[4].values.rainToday, 3.0);

  EXPECT_EQ(past.RainLast24Hours(noon + 20min), 2.0);
  EXPECT_EQ(past.RainLast24Hours(noon + 5min), 0.5);
  EXPECT_EQ(past.RainLast24Hours(noon - 1h), std::nullopt);
  // An archive that cannot be opened has nothing to give, and says nothing wrong.
  EXPECT_TRUE(ArchivePastReadings({dir.Path(), 5s, 5min}).Between(noon - 1h, noon + 1h).empty());
}

}  // namespace
}  // namespace nimbrel::testing
