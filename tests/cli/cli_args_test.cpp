// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "cli/countdown.h"
#include "cli/export_args.h"
#include "cli/live_view.h"
#include "cli/options.h"

namespace nimbrel::cli {
namespace {

using Args = std::vector<std::string_view>;

TEST(GlobalOptions, UnitsOverrideOnlyWhatIsGivenAndTheCommandTakesTheRest) {
  GlobalOptions options;
  ASSERT_EQ(ParseGlobalOptions(Args{"--simulate", "--temperature", "F", "--wind", "m/s",
                                    "--console-faults", "no-history", "live", "--count", "3"},
                               options),
            std::nullopt);
  EXPECT_TRUE(options.simulate);
  ASSERT_EQ(options.console.size(), 1u);
  EXPECT_EQ(options.console[0].value, "no-history");
  EXPECT_EQ(options.command, "live");
  EXPECT_EQ(options.commandArgs, (Args{"--count", "3"}));

  EXPECT_EQ(options.units.AppliedTo({.rainUnit = RainUnit::Inch}),
            (UnitSettings{TemperatureUnit::Fahrenheit, RainUnit::Inch, PressureUnit::Hpa,
                          WindSpeedUnit::MetresPerSecond}));

  GlobalOptions bad;
  EXPECT_NE(ParseGlobalOptions(Args{"--pressure", "bar", "live"}, bad), std::nullopt);
  EXPECT_NE(ParseGlobalOptions(Args{"--direction"}, bad), std::nullopt);
  EXPECT_NE(ParseGlobalOptions(Args{"--colour", "live"}, bad), std::nullopt);
}

TEST(ExportArgs, DatesGoToTheBoxesAsTypedAndSetsAreNamed) {
  ExportArgs args;
  ASSERT_EQ(ParseExportArgs(Args{"--out", "/tmp/x.csv", "--from", "2024-05-1", "--to", "2024-6",
                                 "--set", "rain,ch7"},
                            args),
            std::nullopt);
  const ExportDateBoxes& d = args.choices.dates;  // no end day: then "Day input error !"
  EXPECT_EQ(d.startMonth + u'|' + d.startDay + u'|' + d.endMonth + u'|' + d.endDay, u"05|1|6|");
  const auto& sets = args.choices.dataSets;
  EXPECT_EQ(std::count(sets.begin(), sets.end(), true), 2);
  EXPECT_TRUE(sets[static_cast<std::size_t>(DataSet::RainData)] &&
              sets[static_cast<std::size_t>(DataSet::Ch7)]);

  ExportArgs whole;
  ASSERT_EQ(ParseExportArgs(Args{"--whole", "--out", "x.xls"}, whole), std::nullopt);
  EXPECT_TRUE(whole.choices.wholePeriod);
  EXPECT_EQ(std::count(whole.choices.dataSets.begin(), whole.choices.dataSets.end(), false), 0);

  for (const Args& bad : {Args{"--whole"}, Args{"--out", "x.csv"},
                          Args{"--out", "x.csv", "--whole", "--from", "2024-1-1"},
                          Args{"--out", "x.csv", "--from", "2024-1-1"},
                          Args{"--out", "x.csv", "--whole", "--set", "sun"},
                          Args{"--out", "x.csv", "--whole", "--stall-timeout", "0"}}) {
    ExportArgs parsed;
    EXPECT_NE(ParseExportArgs(bad, parsed), std::nullopt) << bad.size();
  }
}

TEST(LiveJson, HoldsTheLoggerTheRawFieldsAndWhatTheDashboardShows) {
  LiveReadings readings;
  DecodeLiveText(
      "75 2026-12-6 14:05 21.5 40 -- 85 1.2 0.0 5.4 7.2 270 W 1013.2 1009.8 2 \"q\\\x01\" -3.2",
      readings);
  UnitSettings units;
  units.temperatureUnit = TemperatureUnit::Fahrenheit;
  const std::string json = LiveJsonLine(readings, units);
  EXPECT_EQ(json.rfind("{\"logger\":\"75%\",\"raw\":[\"75\",\"2026-12-6\",\"14:05\",", 0), 0u);
  EXPECT_NE(json.find(R"("\"q\\\u0001\"")"), std::string::npos);  // escaped as JSON wants
  EXPECT_NE(json.find(R"("indoorTemperature":{"value":"70.7","unit":"°F","drawn":true})"),
            std::string::npos);
  EXPECT_NE(json.find(R"("windDirection":{"value":"W","unit":"","drawn":true,"dial":13})"),
            std::string::npos);
  EXPECT_NE(json.find(R"("channelHumidity7":)"), std::string::npos);
  EXPECT_EQ(json.back(), '}');
  EXPECT_EQ(std::count(json.begin(), json.end(), '{'), std::count(json.begin(), json.end(), '}'));
  // The plain lines: name, value and unit of what the dashboard draws.
  const std::string lines = LiveTextLines(readings, units);
  EXPECT_TRUE(lines.starts_with("indoorTemperature   70.7 °F\nindoorHumidity      40 %\n"))
      << lines;
}

// A count is a count: readings that arrive on other threads while the waiting thread wakes up
// are not taken once the wanted number is.
TEST(Countdown, TakesExactlyTheWantedEventsFromThreadsRacingForThem) {
  for (const long wanted : {1L, 3L}) {
    Countdown countdown(wanted);
    std::atomic<long> done = 0;
    {
      std::vector<std::jthread> threads;
      for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
          for (int i = 0; i < 50; ++i) {
            if (countdown.Claim()) {
              ++done;
              countdown.Count();
            }
          }
        });
      }
    }
    EXPECT_EQ(done, wanted);
  }
  Countdown forever(0);  // 0 waits for the interrupt alone, so every event is taken
  EXPECT_TRUE(forever.Claim() && forever.Claim());
}

}  // namespace
}  // namespace nimbrel::cli
