// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <sstream>

#include "station/link.h"
#include "tests/support/station_fakes.h"

namespace nimbrel::testing {
namespace {

// A reader wired to a fake transport and a recorder, fed one frame at a time.
class ReaderTest : public ::testing::Test, public ReaderSide {
 protected:
  ReaderTest() {
    state.linkConnected = true;
    state.SetExportFileName("/tmp/export.csv");
  }
  void Feed(const StationFrame& frame) {
    if (!reader_) {
      reader_ = std::make_unique<StationReader>(LinkTo(transport));
    }
    reader_->HandleFrame(frame);
  }
  void Feed(const std::vector<StationFrame>& frames) {
    for (const auto& frame : frames) {
      Feed(frame);
    }
  }
  // A new reader with the same process-wide counters, as after a reconnection.
  void RestartReader() { reader_.reset(); }

  FakeTransport transport;
  std::unique_ptr<StationReader> reader_;
};

using Frames = std::vector<StationFrame>;
Frames operator+(Frames first, const Frames& then) {
  first.insert(first.end(), then.begin(), then.end());
  return first;
}

TEST_F(ReaderTest, FramesAreCheckedAnsweredAndReassembled) {
  const std::string text(128, 'x');  // three frames: 54, 54 and 20 bytes
  const Frames wc = MessageFrames(MSG_WC_PARAMS, std::string(100, 'c'));
  const StationFrame badRecord = MakeFrame({.type = MSG_RECORD, .badCrc = true});
  const StationFrame badOther = MakeFrame({.type = MSG_WU_PARAMS, .badCrc = true});
  const StationFrame noHistory = MakeFrame({.header = {0xFF, 0xFF, 0xFF, 0xFF}});
  StationFrame timeRequest{};  // the console's own, CRC as it sends it
  timeRequest[1] = 0xFA;
  timeRequest[2] = 0x03;
  timeRequest[6] = 0x11;
  timeRequest[62] = 0xF1;
  timeRequest[63] = 0xB6;
  const struct {
    const char* name;
    Frames frames;
    Events events;
    std::string answers;
  } cases[] = {
      {"each channel; nothing of a longer text is left; an unknown type is only acknowledged",
       MessageFrames(MSG_WU_PARAMS, text) + MessageFrames(MSG_RECORD, text) +
           Frames{MakeFrame({.payload = "live"}),
                  MakeFrame({.type = MSG_WC_PARAMS, .payload = "/t/2"}),
                  MakeFrame({.type = 0x42, .payload = "whatever"})},
       {"wu " + text, "live " + text, "live live", "wc /t/2"},
       "AAAaaaaAA"},
      {"a frame out of sequence, or a frame 1 inside a message, abandons it after its answer",
       Frames{wc[1]} + wc + Frames{wc[0]} + wc,
       {"wc " + std::string(100, 'c')},
       "AAAAAA"},
      {"the tenth bad copy is given up, each class counts alone, an accepted frame starts again",
       Frames(9, badRecord) + Frames{badOther, badRecord, badRecord} + Frames(8, badOther) +
           Frames{MakeFrame({.type = 0x42})} + Frames(10, badOther),
       {},
       std::string(9, 'n') + "Nan" + std::string(8, 'N') + "A" + std::string(9, 'N') + "A"},
      {"the no-history frame is recognised even with a bad CRC and never answered",
       {noHistory, MakeFrame({.header = {0xFF, 0xFF, 0xFF, 0xFF}, .badCrc = true})},
       {"no-history", "no-history"},
       ""},
      {"nothing is copied past the frame (length byte 255) or the record buffer (540 bytes)",
       Frames{
           MakeFrame({.type = MSG_WU_PARAMS, .payload = std::string(54, 'p'), .lengthByte = 255})} +
           MessageFrames(MSG_RECORD, std::string(540, 'r')),
       {"wu " + std::string(54, 'p'), "live " + std::string(449, 'r')},
       "A" + std::string(10, 'a')},
      {"the console asks for the time; its history-stop request refuses the rest of a download",
       Frames{timeRequest} + MessageFrames(MSG_RECORD, "h", 2, 1) +
           Frames{MakeFrame({.type = MSG_REQUEST, .header = {3, 1, 0, 0}})} +
           MessageFrames(MSG_RECORD, "h", 2, 2),
       {"time", "start 2", "progress 1", "time"},
       "AaA"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    RestartReader();
    counters = {};
    messages.Clear();
    const std::size_t answered = transport.Answers().size();
    Feed(c.frames);
    EXPECT_EQ(messages.Get(), c.events);
    EXPECT_EQ(transport.Answers().substr(answered), c.answers);
  }
}

TEST_F(ReaderTest, AnInterruptedMessageCostsTheFirstMessageAfterAReconnection) {
  const auto frames = MessageFrames(MSG_WU_PARAMS, std::string(60, 'a'));
  Feed(frames[0]);
  RestartReader();
  Feed(frames);  // its frame 1 fails the sequence test, frame 2 resets the counter
  EXPECT_TRUE(messages.Get().empty());
  Feed(frames);
  EXPECT_EQ(messages.Get(), Events{"wu " + std::string(60, 'a')});
}

std::vector<std::string> Split(const std::string& text, char by) {
  std::vector<std::string> parts;
  std::istringstream stream(text);
  for (std::string part; std::getline(stream, part, by);) {
    parts.push_back(part);
  }
  return parts;
}

std::string RecordLine(unsigned number) {
  return "50 2026-3-" + std::to_string(1 + number % 28) + " 12:" + std::to_string(10 + number) +
         " 21.5 40 -3.2 85 0.0 0.0 5.4 7.2 270 W 1013.2 1009.8 2 -5.1 -3.2";
}

// One step a word: "h3/1" record 1 of 3 arrives; "x3/1" its first frame comes ten times with a
// bad CRC; "L" a live text; "C" the download is cancelled; "P" the export is written and the
// program asks for the history again. Slots hold the record numbers from slot 0 on, "-": empty.
TEST_F(ReaderTest, HistoryRecordsArePlacedCountedAndEnded) {
  const struct {
    const char *name, *steps, *events, *slots;
  } cases[] = {
      {"three records; live data leaves a complete download to its export", "h3/1 h3/2 h3/3 L h3/4",
       "start 3,progress 1,progress 2,progress 3,complete,live live", "1 2 3 -"},
      {"a given-up record is counted at the next stored one, which takes its slot",
       "h4/1 h4/2 x4/3 h4/4", "start 4,progress 1,progress 2,progress 4,complete", "1 2 4 -"},
      {"give-ups count once per record number, 0 included",
       "h4/0 x4/1 x4/1 h4/2 h4/3 P h3/1 x3/0 h3/2 h3/3",
       "start 4,progress 1,progress 3,progress 4,complete,start 3,progress 1,progress 3,complete",
       "1 2 -"},
      {"a new request forgets what the last download gave up, even before its first record",
       "h3/1 x3/2 h3/3 P h3/1 x3/2 h3/3 P x2/1 h2/2",
       "start 3,progress 1,progress 3,complete,start 3,progress 1,progress 3,complete,start 2,"
       "progress 2,complete",
       "2 -"},
      {"more give-ups than remain complete the download; a surplus record is not stored",
       "h3/1 x3/2 x3/3 x3/4 h3/5 h3/6", "start 3,progress 1,progress 3,complete", "1 5 -"},
      {"live data ends an unfinished download, clears a cancel, the next starts at slot 0",
       "h5/1 h5/2 C L h2/7",
       "start 5,progress 1,progress 2,ended 2 of 5,live live,start 2,progress 1", "7"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    counters = {};
    RestartReader();
    for (const std::string& step : Split(std::string("P ") + c.steps, ' ')) {
      const unsigned count = std::atoi(&step[1]), number = std::atoi(&step[step.find('/') + 1]);
      auto frames = MessageFrames(MSG_RECORD, RecordLine(number), count, number);
      if (step[0] == 'h') {
        Feed(frames);
      } else if (step[0] == 'x') {
        frames[0][kFrameCrcLow] ^= 0xFF;
        Feed(std::vector(StationReader::kBadCopiesToGiveUp, frames[0]));
      } else if (step[0] == 'L') {
        Feed(MessageFrames(MSG_RECORD, "live"));
      } else if (step[0] == 'C') {
        state.downloadCancelled = true;
      } else {
        state.downloadActive = false;
        PrepareHistoryDownload(state, store);
      }
    }
    EXPECT_EQ(messages.Get(), Split(c.events, ','));
    messages.Clear();
    const auto slots = Split(c.slots, ' ');
    for (std::size_t slot = 0; slot < slots.size(); ++slot) {
      EXPECT_EQ(Slot(slot), slots[slot] == "-" ? "" : RecordLine(std::atoi(slots[slot].c_str())))
          << slot;
    }
  }
}

TEST_F(ReaderTest, HistoryIsRefusedWithoutAFileWhileAnExportRunsOrAfterACancel) {
  const auto frames = MessageFrames(MSG_RECORD, RecordLine(1), 2, 1);
  state.SetExportFileName("");
  Feed(frames);
  state.SetExportFileName("/tmp/export.csv");
  state.exportRunning = true;  // the store is being read
  Feed(frames);
  state.exportRunning = false;
  state.downloadCancelled = true;
  Feed(frames);
  EXPECT_TRUE(transport.Written().empty());  // refused: not acknowledged
  EXPECT_TRUE(messages.Get().empty());
  EXPECT_EQ(Slot(0), "");
  EXPECT_FALSE(state.downloadActive);
}

}  // namespace
}  // namespace nimbrel::testing
