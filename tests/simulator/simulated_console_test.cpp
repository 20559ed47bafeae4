#include <gtest/gtest.h>

#include "record/record_fields.h"
#include "simulator/param_texts.h"
#include "tests/simulator/simulator_fixture.h"

namespace nimbrel::testing {
namespace {

using namespace std::chrono_literals;

ConsoleOptions Serving(std::vector<std::string> lines, std::string_view faults = {}) {
  ConsoleOptions options = Quiet();
  options.historyLines = std::move(lines);
  if (!faults.empty()) {
    EXPECT_EQ(ParseConsoleFaults(faults, options.faults), "");
  }
  return options;
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

TEST_F(SimulatorTest, FramesPassTheRealChecksAndEveryMessageReachesTheReader) {
  ConsoleOptions options;
  options.liveLines = {std::string(kSampleLine)};
  options.periods = {1s, 2s, 3s, 0s};
  Start(options);
  StationFrame frame{};
  ASSERT_EQ(console->ReadFrame(frame, 0ms), ReadResult::kFrame);
  EXPECT_TRUE(FrameCrcGood(frame));
  EXPECT_EQ(frame[kFrameType], MSG_RECORD);
  EXPECT_EQ(frame[kFramePosition], 0x31);  // frame 1 of 3
  EXPECT_EQ(std::string_view(reinterpret_cast<const char*>(&frame[kFramePayload]), kMaxPayload),
            kSampleLine.substr(0, kMaxPayload));
  EXPECT_EQ(frame[kFramePayloadLength], kMaxPayload);
  reader->HandleFrame(frame);  // the reader answers; the rest goes through its own reads

  // The connection sends a live text and a time request; then live, wu and wc at their periods.
  const std::string live = "live " + std::string(kSampleLine);
  const std::string wc = "wc " + WeathercloudParamText(kSampleLine);
  ASSERT_TRUE(PumpUntil(Seen(wc), 100));
  EXPECT_EQ(messages.Events(),
            (Events{live, "time", live, live, "wu " + WuParamText(kSampleLine), live, wc}));
}

TEST_F(SimulatorTest, AWholeDownloadStoresExactlyTheServedRecordsInOrder) {
  const auto lines = RecordLines(300);
  Start(Serving(lines));
  Settle();
  // A download the program cancels, and asks for again, while the reader holds a frame it read
  // before the cancel: that last frame of record 1 must not complete a record of the new one.
  RequestHistory();
  ASSERT_TRUE(PumpUntil(Seen("start 300")));
  StationFrame held{};
  ASSERT_EQ(console->ReadFrame(held, 0ms), ReadResult::kFrame);
  state.downloadCancelled = true;
  Send(CMD_CANCEL);
  messages.Clear();
  RequestHistory();
  reader->HandleFrame(held);
  ASSERT_TRUE(PumpUntil(Seen("complete")));
  EXPECT_EQ(messages.Events(), DownloadEvents(300, 300, true));
  for (std::size_t i = 0; i < lines.size(); ++i) {
    ASSERT_EQ(Slot(i), lines[i]) << "slot " << i;
  }
  EXPECT_EQ(Slot(300), "");
}

TEST_F(SimulatorTest, TenBadCopiesGiveARecordUpWhileFewerAreResent) {
  const auto lines = RecordLines(8);
  Start(Serving(lines, "bad-crc=3:9,bad-crc=5:10"));
  Settle();
  RequestHistory();
  ASSERT_TRUE(PumpUntil(Seen("complete")));
  EXPECT_EQ(messages.Events(), DownloadEvents(8, 8, true, 5));
  // The next record takes the lost one's slot; the slot after it stays empty.
  const std::vector<std::string> stored = {lines[0], lines[1], lines[2], lines[3],
                                           lines[5], "",       lines[6], lines[7]};
  for (std::size_t i = 0; i < stored.size(); ++i) {
    EXPECT_EQ(Slot(i), stored[i]) << "slot " << i;
  }
  // The fault is the console's data: the next download (after a live text) loses it again.
  messages.Clear();
  Send(CMD_REFRESH);
  ASSERT_TRUE(PumpUntil([this] { return !messages.Events().empty(); }, 100));
  RequestHistory();
  ASSERT_TRUE(PumpUntil(Seen("complete")));
  EXPECT_EQ(Slot(4), lines[5]);
}

// A skipped frame loses its record and leaves the download open; the stop flag cancels it. Either
// happens once: the next download stores every record.
TEST_F(SimulatorTest, ASkippedFrameOrTheStopFlagSpoilOneDownload) {
  const auto lines = RecordLines(10);  // record 4 has three frames
  const struct {
    const char* faults;
    Events events;
    std::string slot3;
  } cases[] = {{"skip-frame=4:2", DownloadEvents(10, 9, false), lines[4]},
               {"stop-after=3", DownloadEvents(10, 3, false), ""}};
  for (const auto& c : cases) {
    Start(Serving(lines, c.faults));
    Settle();
    RequestHistory();
    ASSERT_TRUE(PumpUntil(Seen(c.events.back())));
    Pump(20);
    EXPECT_EQ(messages.Events(), c.events) << c.faults;
    EXPECT_EQ(Slot(3), c.slot3) << c.faults;
    EXPECT_FALSE(state.historyReady);

    messages.Clear();
    RequestHistory();
    ASSERT_TRUE(PumpUntil(Seen("complete")));
    for (std::size_t i = 0; i < lines.size(); ++i) {
      EXPECT_EQ(Slot(i), lines[i]) << c.faults << " slot " << i;
    }
  }
}

TEST_F(SimulatorTest, NoHistoryIsAnsweredWithTheNoHistoryFrame) {
  for (const auto& options : {Serving(RecordLines(3), "no-history"), Serving({})}) {
    Start(options);
    Settle();
    RequestHistory();
    ASSERT_TRUE(PumpUntil(Seen("no-history"), 10));
    Pump(5);
    EXPECT_EQ(messages.Events(), Events{"no-history"});
    EXPECT_FALSE(state.downloadActive);
  }
}

TEST_F(SimulatorTest, ANakResendsAtOnceAndAnUnansweredFrameAfterAPause) {
  ConsoleOptions options = Quiet();
  options.liveLines = {std::string(100, 'a')};
  options.pace = ConsolePace::kUsb;
  Start(options);
  StationFrame first{};
  StationFrame again{};
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

TEST_F(SimulatorTest, RefusedHistoryFramesComeAgainUntilTheProgramCancels) {
  Start(Serving(RecordLines(3)));
  Settle();
  state.SetExportFileName("");  // the reader refuses history without a file
  RequestHistory();
  StationFrame frame{};
  std::vector<ConsoleClock::TimePoint> sent;
  for (int i = 0; i < 3; ++i) {
    ASSERT_EQ(console->ReadFrame(frame, 1s), ReadResult::kFrame);
    reader->HandleFrame(frame);
    EXPECT_EQ(FrameRecordNumber(frame), 0u);  // the console numbers its records from 0
    sent.push_back(clock.Now());
  }
  EXPECT_EQ(sent[2] - sent[1], 500ms);
  Send(CMD_CANCEL);
  EXPECT_EQ(console->ReadFrame(frame, 5s), ReadResult::kTimeout);
}

TEST_F(SimulatorTest, TheDateAndTimeCommandsSetTheConsolesClock) {
  ConsoleOptions options = Quiet();
  options.clock = LocalDateTime{2025, 12, 31, 23, 59, 0};
  Start(options);
  SendDateTime(*console, state, {2026, 3, 5, 14, 30, 0}, [](std::chrono::milliseconds) {});
  clock.Advance(90s);
  const LocalDateTime now = console->ConsoleDateTime();
  EXPECT_EQ((std::array{now.year, now.month, now.day, now.hour, now.minute, now.second}),
            (std::array{2026, 3, 5, 14, 31, 30}));

  // A damaged command or an impossible date changes nothing.
  StationCommand damaged = MakeSetDateCommand(2027, 1, 1);
  damaged[6] ^= 1;
  console->WriteCommand(damaged);
  console->WriteCommand(MakeSetDateCommand(2027, 2, 30));
  EXPECT_EQ(console->ConsoleDateTime().year, 2026);

  Settle();
  Send(CMD_REFRESH);
  ASSERT_TRUE(PumpUntil([this] { return !messages.Events().empty(); }, 10));
  const RecordFields fields = SplitRecord(RecordText(messages.LastLiveBuffer()));
  EXPECT_EQ(fields[kFieldDate].View(), "2026-03-05");
  EXPECT_EQ(fields[kFieldTime].View(), "14:31");
}

TEST_F(SimulatorTest, TheSameSeedGivesTheSameConsole) {
  const auto frames = [this](std::uint64_t seed) {
    ConsoleOptions options;
    options.seed = seed;
    options.historyRecords = 30;
    Start(options);
    Send(CMD_HISTORY);
    std::vector<StationFrame> read;
    StationFrame frame{};
    while (console->ReadFrame(frame, 6s) == ReadResult::kFrame && read.size() < 120) {
      read.push_back(frame);
      Send(frame[kFrameType] == MSG_RECORD ? CMD_RECORD_ACK : CMD_ACK);
    }
    return read;
  };
  const auto first = frames(7);
  EXPECT_EQ(first.size(), 120u);  // connection, a download and periodic messages
  EXPECT_EQ(frames(7), first);
  EXPECT_NE(frames(8), first);
}

// The largest log a record count can announce: its last record must not read as "no history",
// and the records past the store are taken without being stored.
TEST_F(SimulatorTest, ALogOfTheLargestRecordCountDownloadsToTheEnd) {
  std::vector<std::string> lines;
  for (int i = 1; i <= 65535; ++i) {
    lines.push_back("1 2026-03-01 " + std::to_string(i));
  }
  Start(Serving(lines));
  Settle();
  RequestHistory();
  ASSERT_TRUE(PumpUntil([this] { return state.historyReady.load(); }));
  EXPECT_EQ(state.historyTotal, 65535);
  for (std::size_t slot = 0; slot < HistoryStore::kSlotCount; ++slot) {
    ASSERT_EQ(Slot(slot), lines[slot]) << "slot " << slot;
  }
}

// The download after the console is back is run by the threaded tests.
TEST_F(SimulatorTest, TheConsoleVanishesAfterUnplugAfterRecordsAndComesBack) {
  ConsoleOptions options = Serving(RecordLines(5), "unplug-after=2");
  options.replugDelay = 3s;
  Start(options);
  SimulatedHidBackend backend(*console);
  StationDevice device(backend);
  ASSERT_TRUE(device.FindStation());
  reader = std::make_unique<StationReader>(
      StationReader::Link{device, state, counters, store, messages});
  Settle();
  RequestHistory();
  ASSERT_TRUE(PumpUntil([&] { return !device.IsValid(); }));
  EXPECT_TRUE(Saw("progress 2"));
  StationFrame frame{};
  EXPECT_EQ(device.ReadFrame(frame, 0ms), ReadResult::kError);
  EXPECT_FALSE(device.WriteCommand(CMD_REFRESH));
  EXPECT_TRUE(backend.Enumerate().empty());
  EXPECT_EQ(console->PollDeviceChange()->event, DeviceEvent::kRemoval);
  EXPECT_FALSE(console->PollDeviceChange());

  clock.Advance(3s);
  const auto arrival = console->PollDeviceChange();
  ASSERT_TRUE(arrival);
  EXPECT_EQ(arrival->event, DeviceEvent::kArrival);
  EXPECT_TRUE(IsStationDevicePath(arrival->path));
  EXPECT_FALSE(device.IsValid());  // the old handle died with its connection
  EXPECT_TRUE(device.FindStation());
}

}  // namespace
}  // namespace nimbrel::testing
