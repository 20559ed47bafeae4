// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <memory>

#include "record/record_fields.h"
#include "simulator/param_texts.h"
#include "simulator/simulated_console.h"
#include "station/link.h"
#include "tests/support/station_fakes.h"
#include "tests/support/temp_dir.h"

namespace nimbrel::testing {
namespace {

using namespace std::chrono_literals;

// A live text as the console sends it: outdoor below zero, channels 2 to 7 without a sensor.
constexpr std::string_view kSampleLine =
    "12 2026-03-05 14:30 21.5 40 -3.2 85 1.2 0.0 5.4 7.2 270 W 1013.2 1004.7 2 -5.1 -3.2 19.8 45 "
    "--.- -- --.- -- --.- -- --.- -- --.- -- --.- -- -6.9 0.3 4.2 12.8";

// A console that serves these history lines and sends nothing of its own after the connection's
// live text and time request.
ConsoleOptions Serving(std::vector<std::string> lines, std::string_view faults = {}) {
  ConsoleOptions options;
  options.periods = {0s, 0s, 0s, 0s};
  options.historyLines = std::move(lines);
  EXPECT_EQ(faults.empty() ? "" : ParseConsoleFaults(faults, options.faults), "");
  return options;
}

// Record lines of many lengths: one, two and three frames, and the longest a record can be.
std::vector<std::string> RecordLines(int count) {
  std::vector<std::string> lines;
  for (int i = 1; i <= count; ++i) {
    lines.push_back("1 2026-03-01 " + std::to_string(i) + " 21.0");
    lines.back().resize(i == 2 ? kMaxRecordText : static_cast<std::size_t>(20 + i * 37 % 150), 'x');
  }
  return lines;
}

// The reader's messages for a download of `total` records that got to record `upto`, minus `lost`.
Events DownloadEvents(int total, int upto, bool complete, int lost = 0) {
  Events events{"start " + std::to_string(total)};
  for (int record = 1; record <= upto; ++record) {
    if (record != lost) {
      events.push_back("progress " + std::to_string(record));
    }
  }
  if (complete) {
    events.push_back("complete");
  }
  return events;
}

// The real reader wired to a simulated console on virtual time, driven pass by pass.
class SimulatorTest : public ::testing::Test, public ReaderSide {
 protected:
  SimulatorTest() {
    state.linkConnected = true;
    state.SetExportFileName("/tmp/export.csv");
  }
  void Start(ConsoleOptions options) {
    reader.reset();
    console = std::make_unique<SimulatedConsole>(std::move(options), clock);
    reader = std::make_unique<StationReader>(LinkTo(*console));
  }
  // Runs reader passes until `done` holds; false when `passes` ran out first.
  bool PumpUntil(const std::function<bool()>& done, int passes = 1000000) {
    for (int i = 0; i < passes && !done(); ++i) {
      reader->RunPass();
    }
    return done();
  }
  std::function<bool()> Seen(std::string event) const {
    return [this, event] { return messages.Saw(event); };
  }
  void Send(const StationCommand& command) { SendCommand(*console, state, command); }
  // Lets the connection's own messages through, then forgets them.
  void Settle() {
    ASSERT_TRUE(PumpUntil(Seen("time")));
    messages.Clear();
  }
  // What the export chain does before it asks for the history.
  void RequestHistory() {
    state.downloadActive = false;
    PrepareHistoryDownload(state, store);
    messages.Clear();
    Send(CMD_HISTORY);
  }
  VirtualConsoleClock clock;
  std::unique_ptr<SimulatedConsole> console;
  std::unique_ptr<StationReader> reader;
};

// Ten bad copies give a record up while fewer are resent, and every download loses it again: the
// fault is the console's data. A skipped frame loses its record and leaves the download open; the
// stop flag cancels it; either happens once. "No history" answers every request.
TEST_F(SimulatorTest, FaultsSpoilDownloadsAsTheConsoleWould) {
  const auto lines = RecordLines(10);
  const struct {
    const char* faults;
    Events first, second;
    std::size_t slot;  // where the first download differs, and what it holds there
    std::string text;
  } cases[] = {
      {"bad-crc=3:9,bad-crc=5:10", DownloadEvents(10, 10, true, 5), DownloadEvents(10, 10, true, 5),
       4, lines[5]},
      {"skip-frame=4:2", DownloadEvents(10, 9, false), DownloadEvents(10, 10, true), 3, lines[4]},
      {"stop-after=3", DownloadEvents(10, 3, false), DownloadEvents(10, 10, true), 3, ""},
      {"no-history", {"no-history"}, {"no-history"}, 0, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.faults);
    Start(Serving(lines, c.faults));
    Settle();
    for (const Events* events : {&c.first, &c.second}) {
      RequestHistory();
      ASSERT_TRUE(PumpUntil(Seen(events->back())));
      PumpUntil([] { return false; }, 20);
      EXPECT_EQ(messages.Get(), *events);
      EXPECT_EQ(events == &c.first ? Slot(c.slot) : c.text, c.text);
    }
    // Every record in its slot; the one after a given-up record's stays empty.
    for (std::size_t i = 0; c.second.size() > 1 && i < lines.size(); ++i) {
      const bool lost = c.first == c.second;
      EXPECT_EQ(Slot(i), lost && i == 4 ? lines[5] : lost && i == 5 ? "" : lines[i]) << i;
    }
  }
}

// A frame the reader read before the program cancelled, handled only after the next request,
// must not complete a record of the new download (every later record would land a slot late).
TEST_F(SimulatorTest, AFrameLeftFromACancelledDownloadShiftsNothing) {
  const auto lines = RecordLines(10);
  Start(Serving(lines));
  Settle();
  RequestHistory();
  ASSERT_TRUE(PumpUntil(Seen("start 10")));
  StationFrame held{}, after{};
  ASSERT_EQ(console->ReadFrame(held, 0ms), ReadResult::kFrame);
  state.downloadCancelled = true;
  Send(CMD_CANCEL);
  EXPECT_EQ(console->ReadFrame(after, 5s), ReadResult::kTimeout);  // the console stops sending
  RequestHistory();
  reader->HandleFrame(held);
  ASSERT_TRUE(PumpUntil(Seen("complete")));
  for (std::size_t i = 0; i < lines.size(); ++i) {
    EXPECT_EQ(Slot(i), lines[i]) << i;
  }
}

TEST_F(SimulatorTest, ANakResendsAtOnceAndAnUnansweredFrameAfterAPause) {
  ConsoleOptions options = Serving({});
  options.liveLines = {std::string(100, 'a')};
  options.pace = ConsolePace::kUsb;
  Start(options);
  StationFrame first{}, again{};
  ASSERT_EQ(console->ReadFrame(first, 0ms), ReadResult::kFrame);
  const auto sent = clock.Now();
  console->WriteCommand(CMD_RECORD_NAK);
  ASSERT_EQ(console->ReadFrame(again, 10ms), ReadResult::kFrame);
  EXPECT_EQ(again, first);
  EXPECT_EQ(clock.Now() - sent, 1ms);  // a real console's pace

  // An answer of the other channel is no answer: the frame waits out the pause, then comes again.
  console->WriteCommand(CMD_ACK);
  EXPECT_EQ(console->ReadFrame(again, 100ms), ReadResult::kTimeout);
  ASSERT_EQ(console->ReadFrame(again, 1s), ReadResult::kFrame);
  EXPECT_EQ(again, first);
  EXPECT_EQ(clock.Now() - sent, 1ms + options.refusedPause);
  console->WriteCommand(CMD_RECORD_ACK);
  ASSERT_EQ(console->ReadFrame(again, 10ms), ReadResult::kFrame);
  EXPECT_EQ(again[kFramePosition], 0x22);
}

TEST_F(SimulatorTest, TheDateAndTimeCommandsSetTheConsolesClock) {
  ConsoleOptions options = Serving({});
  options.clock = LocalDateTime{2025, 12, 31, 23, 59, 0};
  Start(options);
  SendDateTime(*console, state, {2026, 3, 5, 14, 30, 0}, [](std::chrono::milliseconds) {});
  StationCommand damaged = MakeSetDateCommand(2027, 1, 1);  // a damaged command changes nothing,
  damaged[6] ^= 1;
  console->WriteCommand(damaged);
  console->WriteCommand(MakeSetDateCommand(2027, 2, 30));  // nor does an impossible date
  clock.Advance(90s);
  const LocalDateTime now = console->ConsoleDateTime();
  EXPECT_EQ((std::array{now.year, now.month, now.day, now.hour, now.minute, now.second}),
            (std::array{2026, 3, 5, 14, 31, 30}));
  Settle();
  Send(CMD_REFRESH);  // the live text carries the console's date and time
  ASSERT_TRUE(PumpUntil([this] { return !messages.Get().empty(); }, 10));
  EXPECT_NE(messages.Get()[0].find(" 2026-03-05 14:31 "), std::string::npos) << messages.Get()[0];
}

// The largest log a record count can announce: its last record must not read as "no history",
// and the records past the store are taken without being stored.
TEST_F(SimulatorTest, ALogOfTheLargestRecordCountDownloadsToTheEnd) {
  const std::vector<std::string> lines = RecordLines(65535);
  Start(Serving(lines));
  Settle();
  RequestHistory();
  ASSERT_TRUE(PumpUntil([this] { return state.historyReady.load(); }));
  EXPECT_EQ(state.historyTotal, 65535);
  for (std::size_t slot = 0; slot < HistoryStore::kSlotCount; ++slot) {
    ASSERT_EQ(Slot(slot), lines[slot]) << "slot " << slot;
  }
}

TEST(ConsoleOptionsTest, OptionsAreTakenOrRefusedWithTheCulpritNamedAndNothingChanged) {
  ConsoleOptions options;
  const auto taken = [&options] {
    const ConsoleFaults& f = options.faults;
    return std::tuple(f.badCrc.size(), f.badCrc[0].record, f.badCrc[0].copies, f.badCrc[1].record,
                      f.skipFrame[0].frame, *f.unplugAfter, *f.stopAfter, f.noHistory,
                      options.periods.live, options.periods.wu, options.periods.weathercloud,
                      options.pace, options.seed, options.historyRecords);
  };
  // Each text is an option, a space and its value.
  const auto apply = [&options](std::string_view option) {
    const std::size_t space = option.find(' ');
    return ApplyConsoleOption(option.substr(0, space), option.substr(space + 1), options);
  };
  for (const std::string_view good :
       {"--console-faults "
        "bad-crc=5:10,skip-frame=7:2,unplug-after=40,stop-after=90,no-history,bad-crc=6:1",
        "--console-period wu=0,live=2,wc=600", "--console-pace usb",
        "--console-seed 18446744073709551615", "--console-records 60000"}) {
    EXPECT_EQ(apply(good), "") << good;
  }
  const auto expected = std::tuple(2u, 5u, 10u, 6u, 2u, 40u, 90u, true, 2s, 0s, 600s,
                                   ConsolePace::kUsb, 18446744073709551615ULL, 60000u);
  EXPECT_EQ(taken(), expected);
  // Refused with the option named, and nothing it had set changed.
  for (const std::string_view bad :
       {"--console-faults bad-crc=5", "--console-faults bad-crc=0:3",
        "--console-faults skip-frame=3:16", "--console-faults no-history=1",
        "--console-faults bad-crc=1:1,,no-history", "--console-faults stop-after=2,stop-after=3",
        "--console-period live=1.5", "--console-period rain=3", "--console-period live=90000",
        "--console-pace fast", "--console-records 60001"}) {
    EXPECT_NE(apply(bad)->find(bad.substr(0, bad.find(' '))), std::string::npos) << bad;
  }
  EXPECT_EQ(taken(), expected);
  EXPECT_FALSE(ApplyConsoleOption("--temperature", "C", options));
}

TEST(ConsoleFilesTest, ConsoleFilesAreCheckedForWhatTheConsoleCanSend) {
  const TempDir dir("nimbrel-console-files-");
  const auto WriteFile = [&dir](const char* name, const std::string& text) {
    std::ofstream(dir.File(name), std::ios::binary) << text;
    return dir.File(name);
  };
  const std::string longest(kMaxRecordText, 'r');
  ConsoleOptions options;
  EXPECT_EQ(ApplyConsoleOption("--console-history",
                               WriteFile("h", "a b\r\n\r\n" + longest + "\r\n\n"), options),
            "");
  EXPECT_EQ(options.historyLines, (std::vector<std::string>{"a b", longest}));
  const std::string tooLong = WriteFile("long", "ok\n" + longest + "r\n");
  EXPECT_EQ(LoadHistoryLines(tooLong).error, tooLong + " line 2: longer than 449 characters");
  EXPECT_EQ(LoadParamLines(tooLong).error, "");  // parameter texts may be longer
  EXPECT_NE(LoadParamLines(WriteFile("p", std::string(811, 'p'))).error, "");
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
  const std::string lost = "12 2026-3-5 9:05:07 21.5 40 --.- -- -.- 0.0 5.4 7.2 270 W";
  EXPECT_EQ(WuParamText(lost),
            "dateutc=2026-03-05%2009%3A05%3A07&winddir=270&windspeedmph=3.4&windgustmph=4.5"
            "&indoortempf=70.7&indoorhumidity=40");
  EXPECT_EQ(WeathercloudParamText(lost),
            "/wspd/15/wspdhi/20/wdir/270/rainrate/0/tempin/215/humin/40");
}

// The same seed's same log is what the archive's second sync and the window's export against
// nimbrel-cli's rest on.
TEST(WeatherModelTest, TheGeneratedLogIsPlausible) {
  const auto log = WeatherModel(1).History(864, 2);
  int outdoorLost = 0;
  for (const std::string& line : log) {
    const RecordFields fields = SplitRecord(line);
    ASSERT_EQ(std::count(line.begin(), line.end(), ' '), 35) << line;
    outdoorLost += fields[kFieldOutdoorTemperature].View() == "--.-";
    const std::string_view hpa = fields[kFieldRelativePressure].View();  // 980.0 to 1044.9
    EXPECT_TRUE(hpa.size() == 6 ? hpa < "1045" : hpa.size() == 5 && hpa >= "980") << line;
  }
  EXPECT_EQ(FromConsoleTime(WeatherModel(1).HistoryStart()).hour, 0);
  EXPECT_TRUE(outdoorLost > 0 && outdoorLost < 20);
}

}  // namespace
}  // namespace nimbrel::testing
