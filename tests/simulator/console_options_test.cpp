#include <gtest/gtest.h>

#include <array>
#include <charconv>

#include "record/record_fields.h"
#include "simulator/param_texts.h"
#include "tests/simulator/simulator_fixture.h"

namespace nimbrel::testing {
namespace {

using namespace std::chrono_literals;

TEST(ConsoleOptionsTest, FaultListsAreParsedOrRefusedWithTheCulpritNamed) {
  ConsoleFaults faults;
  ASSERT_EQ(ParseConsoleFaults(
                "bad-crc=5:10,skip-frame=7:2,unplug-after=40,stop-after=90,no-history,bad-crc=6:1",
                faults),
            "");
  ASSERT_EQ(faults.badCrc.size(), 2u);
  EXPECT_EQ((std::array{faults.badCrc[0].record, faults.badCrc[0].copies, faults.badCrc[1].record}),
            (std::array{5u, 10u, 6u}));
  EXPECT_EQ(faults.skipFrame[0].frame, 2u);
  EXPECT_EQ(faults.unplugAfter, 40u);
  EXPECT_EQ(faults.stopAfter, 90u);
  EXPECT_TRUE(faults.noHistory);

  for (const std::string_view bad :
       {"bad-crc=5", "bad-crc=0:3", "bad-crc=5:x", "skip-frame=3:16",
        "unplug-after=", "stop-after=-1", "no-history=1", "unplug", "bad-crc=1:1,,no-history",
        "stop-after=2,stop-after=3", "bad-crc=70000:1"}) {
    ConsoleFaults untouched;
    const std::string error = ParseConsoleFaults(bad, untouched);
    EXPECT_NE(error.find("--console-faults"), std::string::npos) << bad;
    EXPECT_TRUE(untouched.badCrc.empty() && !untouched.stopAfter) << bad;
  }
}

TEST(ConsoleOptionsTest, PeriodsPaceAndTheOtherOptions) {
  ConsoleOptions options;
  EXPECT_EQ(ApplyConsoleOption("--console-period", "wu=0,live=2,wc=600", options), "");
  EXPECT_EQ((std::array{options.periods.live, options.periods.wu, options.periods.weathercloud}),
            (std::array<std::chrono::seconds, 3>{2s, 0s, 600s}));
  for (const std::string_view bad : {"live", "live=1.5", "rain=3", "live=2,", "live=90000"}) {
    EXPECT_NE(ApplyConsoleOption("--console-period", bad, options), "") << bad;
  }
  EXPECT_EQ(options.periods.live, 2s);

  EXPECT_EQ(ApplyConsoleOption("--console-pace", "usb", options), "");
  EXPECT_EQ(options.pace, ConsolePace::kUsb);
  EXPECT_NE(ApplyConsoleOption("--console-pace", "fast", options), "");
  EXPECT_EQ(ApplyConsoleOption("--console-seed", "18446744073709551615", options), "");
  EXPECT_EQ(options.seed, 18446744073709551615ULL);
  EXPECT_EQ(ApplyConsoleOption("--console-records", "60000", options), "");
  EXPECT_NE(ApplyConsoleOption("--console-records", "60001", options), "");
  EXPECT_FALSE(ApplyConsoleOption("--temperature", "C", options));
}

class ConsoleFilesTest : public SimulatorTest {};

TEST_F(ConsoleFilesTest, FilesAreCheckedForWhatTheConsoleCanSend) {
  const std::string longest(kMaxRecordText, 'r');
  ConsoleOptions options;
  const std::string crlf = WriteFile("h", "a b\r\n\r\n" + longest + "\r\n\n");
  EXPECT_EQ(ApplyConsoleOption("--console-history", crlf, options), "");
  EXPECT_EQ(options.historyLines, (std::vector<std::string>{"a b", longest}));

  const std::string tooLong = WriteFile("long", "ok\n" + longest + "r\n");
  EXPECT_EQ(LoadHistoryLines(tooLong).error, tooLong + " line 2: longer than 449 characters");
  EXPECT_EQ(LoadParamLines(tooLong).error, "");  // parameter texts may be longer
  EXPECT_EQ(LoadParamLines(WriteFile("p", std::string(811, 'p'))).error.empty(), false);
  EXPECT_EQ(LoadHistoryLines(WriteFile("empty", "\n")).error, "");  // an empty log
  const std::string empty = WriteFile("none", "");
  EXPECT_EQ(LoadLiveLines(empty).error, empty + ": no lines");
  EXPECT_EQ(ApplyConsoleOption("--console-wc", "/nonexistent/wc.txt", options),
            "/nonexistent/wc.txt: cannot be read");
  EXPECT_FALSE(options.weathercloudLines);
}

TEST(ParamTextsTest, TextsAreMadeFromTheReadingsInTheServicesUnits) {
  EXPECT_EQ(WuParamText(kSampleLine),
            "dateutc=2026-03-05%2014%3A30%3A00&winddir=270&windspeedmph=3.4&windgustmph=4.5"
            "&humidity=85&tempf=26.2&rainin=0.01&dailyrainin=0.05&weeklyrainin=0.17"
            "&monthlyrainin=0.50&baromin=29.92&dewptf=22.8&windchillf=19.6&indoortempf=70.7"
            "&indoorhumidity=40&UV=2");
  EXPECT_EQ(WeathercloudParamText(kSampleLine),
            "/temp/-32/hum/85/dew/-51/chill/-69/heat/-32/bar/10132/wspd/15/wspdhi/20/wdir/270"
            "/rain/12/rainrate/0/tempin/215/humin/40/uvi/20");

  // Readings the console has not got are left out.
  std::string lost = "12 2026-3-5 9:05:07 21.5 40 --.- -- -.- 0.0 5.4 7.2 270 W";
  EXPECT_EQ(WuParamText(lost),
            "dateutc=2026-03-05%2009%3A05%3A07&winddir=270&windspeedmph=3.4&windgustmph=4.5"
            "&indoortempf=70.7&indoorhumidity=40");
  EXPECT_EQ(WeathercloudParamText(lost),
            "/wspd/15/wspdhi/20/wdir/270/rainrate/0/tempin/215/humin/40");
}

TEST(WeatherModelTest, TheGeneratedLogIsPlausibleAndFixedByTheSeed) {
  const WeatherModel model(1);
  const auto log = model.History(kDefaultHistoryRecords, LoggerPercent(kDefaultHistoryRecords));
  ASSERT_EQ(log.size(), 864u);
  EXPECT_EQ(WeatherModel(1).History(864, 2), log);
  EXPECT_NE(WeatherModel(2).History(864, 2), log);

  int outdoorLost = 0;
  for (std::size_t i = 0; i < log.size(); ++i) {
    ASSERT_EQ(std::count(log[i].begin(), log[i].end(), ' '), 35) << log[i];
    const RecordFields fields = SplitRecord(log[i]);
    EXPECT_EQ(fields[30].View(), "--.-");  // channel 7 has no sensor
    outdoorLost += fields[kFieldOutdoorTemperature].View() == "--.-";
    const std::string_view pressureText = fields[kFieldRelativePressure].View();
    double pressure = 0;
    std::from_chars(pressureText.data(), pressureText.data() + pressureText.size(), pressure);
    EXPECT_TRUE(pressure > 980 && pressure < 1045) << log[i];
  }
  EXPECT_EQ(FromConsoleTime(model.HistoryStart()).hour, 0);
  EXPECT_GT(outdoorLost, 0);
  EXPECT_LT(outdoorLost, 20);
}

}  // namespace
}  // namespace nimbrel::testing
