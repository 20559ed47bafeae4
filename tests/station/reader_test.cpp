#include <gtest/gtest.h>

#include "tests/station/reader_fixture.h"

namespace nimbrel::testing {
namespace {

using Commands = std::vector<StationCommand>;
using Events = std::vector<std::string>;

TEST_F(ReaderTest, ThreeFramesOf54And54And20BytesMakeOneTextOf128) {
  const std::string text(128, 'x');
  const std::uint8_t header[4] = {};
  Feed(MessageFrames(MSG_WU_PARAMS, header, text));
  EXPECT_EQ(messages.Events(), Events{"wu " + text});
  EXPECT_EQ(transport.Commands(), (Commands{CMD_ACK, CMD_ACK, CMD_ACK}));

  Feed(LiveFrames(text));
  const HistoryRecord buffer = messages.LastLiveBuffer();
  EXPECT_EQ(std::string(buffer.data(), 128), text);
  EXPECT_TRUE(std::all_of(buffer.begin() + 128, buffer.end(), [](char c) { return c == 0; }));
}

TEST_F(ReaderTest, SingleFrameMessagesAreHandedOverOnEachChannel) {
  Feed(MakeFrame({.type = MSG_RECORD, .payload = "live"}));
  Feed(MakeFrame({.type = MSG_WU_PARAMS, .payload = "&tempf=70"}));
  Feed(MakeFrame({.type = MSG_WC_PARAMS, .payload = "/temp/235"}));
  EXPECT_EQ(messages.Events(), (Events{"live live", "wu &tempf=70", "wc /temp/235"}));
  EXPECT_EQ(transport.Commands(), (Commands{CMD_RECORD_ACK, CMD_ACK, CMD_ACK}));
}

TEST_F(ReaderTest, AFrameOutOfSequenceAbandonsTheMessageAfterItsAcknowledgement) {
  const std::uint8_t header[4] = {};
  const auto frames = MessageFrames(MSG_WC_PARAMS, header, std::string(100, 'a'));
  Feed(frames[1]);  // frame 2 without frame 1
  EXPECT_TRUE(messages.Events().empty());
  EXPECT_EQ(transport.Commands(), Commands{CMD_ACK});

  Feed(frames);  // the next frame 1 starts a new message
  EXPECT_EQ(messages.Events(), Events{"wc " + std::string(100, 'a')});

  // A frame 1 arriving in the middle of a message is out of sequence as well.
  messages.Clear();
  Feed(frames[0]);
  Feed(frames[0]);
  Feed(frames[1]);
  EXPECT_TRUE(messages.Events().empty());
}

TEST_F(ReaderTest, TheTenthBadCopyIsGivenUpAndEachClassCountsAlone) {
  const StationFrame badRecord = MakeFrame({.type = MSG_RECORD, .payload = "x", .badCrc = true});
  const StationFrame badOther = MakeFrame({.type = MSG_WU_PARAMS, .payload = "x", .badCrc = true});

  for (int i = 0; i < 9; ++i) {
    Feed(badRecord);
  }
  EXPECT_EQ(transport.Commands(), Commands(9, CMD_RECORD_NAK));
  Feed(badOther);  // the other class neither counts nor resets the record channel's count
  transport.ClearCommands();
  Feed(badRecord);
  Feed(badRecord);
  EXPECT_EQ(transport.Commands(), (Commands{CMD_RECORD_ACK, CMD_RECORD_NAK}));

  // An accepted frame of the same class starts the count again.
  transport.ClearCommands();
  for (int i = 0; i < 8; ++i) {
    Feed(badOther);
  }
  Feed(MakeFrame({.type = 0x42}));
  for (int i = 0; i < 9; ++i) {
    Feed(badOther);
  }
  Commands expected(8, CMD_NAK);
  expected.push_back(CMD_ACK);
  expected.insert(expected.end(), 9, CMD_NAK);
  EXPECT_EQ(transport.Commands(), expected);
  Feed(badOther);
  EXPECT_EQ(transport.Commands().back(), CMD_ACK);
  EXPECT_TRUE(messages.Events().empty());
}

TEST_F(ReaderTest, AGoodFrameOfAnUnknownTypeIsOnlyAcknowledged) {
  Feed(MakeFrame({.type = 0x42, .payload = "whatever"}));
  EXPECT_EQ(transport.Commands(), Commands{CMD_ACK});
  EXPECT_TRUE(messages.Events().empty());
}

TEST_F(ReaderTest, RequestFramesAskForTheTimeAndStopHistory) {
  // The console's own time request, CRC as it sends it.
  StationFrame request{};
  request[1] = 0xFA;
  request[2] = 0x03;
  request[6] = 0x11;
  request[62] = 0xF1;
  request[63] = 0xB6;
  Feed(request);
  EXPECT_EQ(messages.Events(), Events{"time"});
  EXPECT_EQ(transport.Commands(), Commands{CMD_ACK});
  EXPECT_FALSE(state.downloadCancelled);

  messages.Clear();
  Feed(MakeFrame({.type = MSG_REQUEST, .header = {3, 1, 0, 0}}));
  EXPECT_EQ(messages.Events(), Events{"time"});
  EXPECT_TRUE(state.downloadCancelled);
}

TEST_F(ReaderTest, NoHistoryFrameIsRecognisedEvenWithABadCrcAndNotAcknowledged) {
  Feed(MakeFrame({.type = MSG_RECORD, .header = {0xFF, 0xFF, 0xFF, 0xFF}, .badCrc = true}));
  Feed(MakeFrame({.type = MSG_RECORD, .header = {0xFF, 0xFF, 0xFF, 0xFF}}));
  EXPECT_EQ(messages.Events(), (Events{"no-history", "no-history"}));
  EXPECT_TRUE(transport.Commands().empty());
  EXPECT_FALSE(state.downloadActive);
}

TEST_F(ReaderTest, NothingIsCopiedPastTheFrameOrTheBuffer) {
  // A length byte above 54 takes only the 54 payload bytes of the frame.
  Feed(MakeFrame({.type = MSG_WU_PARAMS, .payload = std::string(54, 'p'), .lengthByte = 255}));
  EXPECT_EQ(messages.Events(), Events{"wu " + std::string(54, 'p')});

  // Ten frames of 54 bytes exceed the record buffer: the text keeps 449 bytes and its zero.
  messages.Clear();
  Feed(LiveFrames(std::string(540, 'r')));
  EXPECT_EQ(messages.Events(), Events{"live " + std::string(449, 'r')});
  EXPECT_EQ(messages.LastLiveBuffer()[449], 0);
}

TEST_F(ReaderTest, AnInterruptedMessageCostsTheFirstMessageAfterAReconnection) {
  const std::uint8_t header[4] = {};
  const auto frames = MessageFrames(MSG_WU_PARAMS, header, std::string(60, 'a'));
  Feed(frames[0]);
  RestartReader();
  Feed(frames);  // its frame 1 fails the sequence test, frame 2 resets the counter
  EXPECT_TRUE(messages.Events().empty());
  Feed(frames);
  EXPECT_EQ(messages.Events(), Events{"wu " + std::string(60, 'a')});
}

}  // namespace
}  // namespace nimbrel::testing
