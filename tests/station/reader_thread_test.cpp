#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "station/commands.h"
#include "station/reader.h"
#include "tests/support/fake_transport.h"
#include "tests/support/frames.h"
#include "tests/support/recording_messages.h"

namespace nimbrel::testing {
namespace {

using namespace std::chrono_literals;
using Events = std::vector<std::string>;

// Counts how many readers are inside a read at once.
class ConcurrencyProbe : public FakeTransport {
 public:
  std::atomic<int> inside{0};
  std::atomic<int> most{0};
  ReadResult ReadFrame(StationFrame& frame, std::chrono::milliseconds timeout) override {
    const int now = ++inside;
    int seen = most;
    while (now > seen && !most.compare_exchange_weak(seen, now)) {
    }
    const ReadResult result = FakeTransport::ReadFrame(frame, timeout);
    --inside;
    return result;
  }
};

class ReaderThreadTest : public ::testing::Test {
 protected:
  ReaderThreadTest() { state.linkConnected = true; }
  StationReader::Link Link() { return {transport, state, counters, nullptr, messages}; }

  ConcurrencyProbe transport;
  SharedState state;
  LinkCounters counters;
  RecordingMessages messages;
  ReaderThread reader;
};

TEST_F(ReaderThreadTest, ReadsAcknowledgesAndHandsOnUntilStopped) {
  reader.Start(Link());
  transport.QueueFrame(MakeFrame({.type = MSG_RECORD, .payload = "one"}));
  transport.QueueReadError();  // a failed read ends only its pass
  transport.QueueFrame(MakeFrame({.type = MSG_WU_PARAMS, .payload = "two"}));
  ASSERT_TRUE(transport.WaitUntilDrained(5s));
  EXPECT_EQ(messages.Events(), (Events{"live one", "wu two"}));
  EXPECT_EQ(transport.Commands(), (std::vector<StationCommand>{CMD_RECORD_ACK, CMD_ACK}));

  reader.RequestStop();
  reader.Join();
  EXPECT_FALSE(reader.Running());
}

TEST_F(ReaderThreadTest, AnInvalidHandleIsWaitedOutAndAStopIsStillSeen) {
  transport.SetValid(false);
  transport.QueueFrame(MakeFrame({.type = MSG_RECORD, .payload = "later"}));
  reader.Start(Link());
  std::this_thread::sleep_for(150ms);
  EXPECT_TRUE(messages.Events().empty());

  transport.SetValid(true);
  ASSERT_TRUE(transport.WaitUntilDrained(5s));
  EXPECT_EQ(messages.Events(), Events{"live later"});

  transport.SetValid(false);
  const auto asked = std::chrono::steady_clock::now();
  reader.RequestStop();
  reader.Join();
  EXPECT_LT(std::chrono::steady_clock::now() - asked, 2s);
}

TEST_F(ReaderThreadTest, ANewReaderStartsOnlyAfterThePreviousOneEnded) {
  for (int round = 0; round < 20; ++round) {
    reader.Start(Link());
    transport.QueueFrame(MakeFrame({.type = 0x42}));
  }
  ASSERT_TRUE(transport.WaitUntilDrained(5s));
  reader.RequestStop();
  reader.Join();
  EXPECT_EQ(transport.most, 1);
  EXPECT_FALSE(state.readerStop == false);
}

TEST_F(ReaderThreadTest, AStopRequestedRightAfterStartIsNotLost) {
  for (int round = 0; round < 20; ++round) {
    reader.Start(Link());
    reader.RequestStop();
    reader.Join();
    EXPECT_FALSE(reader.Running());
  }
}

}  // namespace
}  // namespace nimbrel::testing
