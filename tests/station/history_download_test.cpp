#include <gtest/gtest.h>

#include "station/link.h"
#include "tests/station/reader_fixture.h"

namespace nimbrel::testing {
namespace {

using Commands = std::vector<StationCommand>;
using Events = std::vector<std::string>;

class HistoryDownloadTest : public ReaderTest {
 protected:
  HistoryDownloadTest() { state.SetExportFileName("/tmp/export.csv"); }

  // Ten bad copies of the first frame of a record: the record is given up.
  void GiveUp(unsigned count, unsigned number) {
    StationFrame frame = HistoryFrames(count, number)[0];
    frame[kFrameCrcLow] ^= 0xFF;
    for (int i = 0; i < StationReader::kBadCopiesToGiveUp; ++i) {
      Feed(frame);
    }
  }
};

TEST_F(HistoryDownloadTest, ThreeRecordsLandInTheirSlotsWithProgressAndCompletion) {
  for (unsigned number = 1; number <= 3; ++number) {
    Feed(HistoryFrames(3, number));
  }
  EXPECT_EQ(messages.Events(),
            (Events{"start 3", "progress 1", "progress 2", "progress 3", "complete"}));
  for (int slot = 0; slot < 3; ++slot) {
    EXPECT_EQ(SlotText(slot), RecordLine(slot + 1));
  }
  EXPECT_TRUE(state.historyReady);
  EXPECT_EQ(state.historyTotal, 3);
  // Live data leaves a complete download to its export, which ends it.
  Feed(LiveFrames("live"));
  EXPECT_EQ(messages.Events().back(), "live live");
  EXPECT_TRUE(state.downloadActive);
}

TEST_F(HistoryDownloadTest, AGivenUpRecordIsCountedAtTheNextStoredOne) {
  Feed(HistoryFrames(4, 1));
  Feed(HistoryFrames(4, 2));
  GiveUp(4, 3);
  Feed(HistoryFrames(4, 4));
  EXPECT_EQ(messages.Events(),
            (Events{"start 4", "progress 1", "progress 2", "progress 4", "complete"}));
  EXPECT_EQ(SlotText(0), RecordLine(1));
  EXPECT_EQ(SlotText(1), RecordLine(2));
  EXPECT_EQ(SlotText(2), RecordLine(4));
  EXPECT_EQ(SlotText(3), "");
  EXPECT_TRUE(state.historyReady);
}

TEST_F(HistoryDownloadTest, GiveUpsCountOncePerRecordNumberIncludingNumberZero) {
  Feed(HistoryFrames(3, 0));
  GiveUp(3, 1);
  GiveUp(3, 1);  // the same record failing again counts once
  Feed(HistoryFrames(3, 2));
  EXPECT_EQ(messages.Events(), (Events{"start 3", "progress 1", "progress 3", "complete"}));

  // A first given-up record numbered 0 counts too.
  state.downloadActive = false;  // the export has been written
  PrepareHistoryDownload(state, store);
  messages.Clear();
  Feed(HistoryFrames(2, 1));
  GiveUp(2, 0);
  Feed(HistoryFrames(2, 2));
  EXPECT_EQ(messages.Events(), (Events{"start 2", "progress 1", "progress 2", "complete"}));
}

TEST_F(HistoryDownloadTest, ANewRequestForgetsWhatTheLastDownloadGaveUp) {
  for (int download = 0; download < 2; ++download) {
    PrepareHistoryDownload(state, store);
    messages.Clear();
    Feed(HistoryFrames(3, 1));
    GiveUp(3, 2);  // the same record fails in both downloads, with no live text between
    Feed(HistoryFrames(3, 3));
    EXPECT_EQ(messages.Events(), (Events{"start 3", "progress 1", "progress 3", "complete"}));
    state.downloadActive = false;  // the export has been written
  }
  // The record given up first still counts when the download has not begun yet.
  PrepareHistoryDownload(state, store);
  messages.Clear();
  GiveUp(2, 1);
  Feed(HistoryFrames(2, 2));
  EXPECT_EQ(messages.Events(), (Events{"start 2", "progress 2", "complete"}));
}

TEST_F(HistoryDownloadTest, HistoryIsRefusedWithoutAFileOrAfterACancel) {
  state.SetExportFileName("");
  Feed(HistoryFrames(2, 1));
  state.SetExportFileName("/tmp/export.csv");
  state.exportRunning = true;  // the store is being read
  Feed(HistoryFrames(2, 1));
  state.exportRunning = false;
  state.downloadCancelled = true;
  Feed(HistoryFrames(2, 1));
  EXPECT_TRUE(transport.Commands().empty());
  EXPECT_TRUE(messages.Events().empty());
  EXPECT_EQ(SlotText(0), "");
  EXPECT_FALSE(state.downloadActive);

  // The console's history-stop request refuses the rest of a running download.
  state.downloadCancelled = false;
  Feed(HistoryFrames(3, 1));
  Feed(MakeFrame({.type = MSG_REQUEST, .header = {0, 1, 0, 0}}));
  transport.ClearCommands();
  Feed(HistoryFrames(3, 2));
  EXPECT_TRUE(transport.Commands().empty());
  EXPECT_EQ(SlotText(1), "");
}

TEST_F(HistoryDownloadTest, LiveRecordEndsTheDownloadAndTheNextStartsAtSlotZero) {
  Feed(HistoryFrames(5, 1));
  Feed(HistoryFrames(5, 2));
  state.downloadCancelled = true;  // live data clears a cancel as well
  Feed(LiveFrames("live text"));
  EXPECT_FALSE(state.downloadActive);
  EXPECT_FALSE(state.downloadCancelled);
  EXPECT_EQ(messages.Events(),
            (Events{"start 5", "progress 1", "progress 2", "ended 2 of 5", "live live text"}));

  messages.Clear();
  Feed(HistoryFrames(2, 7));
  EXPECT_EQ(messages.Events(), (Events{"start 2", "progress 1"}));
  EXPECT_EQ(SlotText(0), RecordLine(7));
}

TEST_F(HistoryDownloadTest, MoreGiveUpsThanRemainCompleteTheDownloadWithoutStalling) {
  Feed(HistoryFrames(3, 1));
  GiveUp(3, 2);
  GiveUp(3, 3);
  GiveUp(3, 4);  // one more than remained
  Feed(HistoryFrames(3, 5));
  EXPECT_EQ(messages.Events(), (Events{"start 3", "progress 1", "progress 3", "complete"}));
  EXPECT_TRUE(state.historyReady);

  // A surplus record after completion is neither stored nor reported again.
  messages.Clear();
  Feed(HistoryFrames(3, 6));
  EXPECT_TRUE(messages.Events().empty());
  EXPECT_EQ(SlotText(2), "");
}

}  // namespace
}  // namespace nimbrel::testing
