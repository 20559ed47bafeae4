// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <thread>

#include "tests/support/station_fakes.h"

namespace nimbrel::testing {
namespace {

using namespace std::chrono_literals;

class ReaderThreadTest : public ::testing::Test, public ReaderSide {
 protected:
  ReaderThreadTest() { state.linkConnected = true; }
  FakeTransport transport;
  ReaderThread reader;
};

TEST_F(ReaderThreadTest, ReadsAcknowledgesAndHandsOnOnceTheHandleIsValidAndAStopIsStillSeen) {
  transport.valid = false;
  transport.Queue(MakeFrame({.type = MSG_RECORD, .payload = "one"}));
  transport.Queue({}, true);  // a failed read ends only its pass
  transport.Queue(MakeFrame({.type = MSG_WU_PARAMS, .payload = "two"}));
  reader.Start(LinkTo(transport));
  std::this_thread::sleep_for(150ms);
  EXPECT_TRUE(messages.Get().empty());
  transport.valid = true;
  ASSERT_TRUE(transport.WaitUntilDrained());
  EXPECT_EQ(messages.Get(), (Events{"live one", "wu two"}));
  EXPECT_EQ(transport.Written(), (Commands{CMD_RECORD_ACK, CMD_ACK}));

  transport.valid = false;
  const auto asked = std::chrono::steady_clock::now();
  reader.RequestStop();
  reader.Join();
  EXPECT_LT(std::chrono::steady_clock::now() - asked, 2s);
  EXPECT_FALSE(reader.Running());
}

// A new reader starts only after the previous one ended, and a stop right after a start is not
// lost.
TEST_F(ReaderThreadTest, ReadersNeverOverlapAndNoStopIsLost) {
  for (int round = 0; round < 20; ++round) {
    reader.Start(LinkTo(transport));
    transport.Queue(MakeFrame({.type = 0x42}));
  }
  ASSERT_TRUE(transport.WaitUntilDrained());
  EXPECT_FALSE(transport.overlapped);
  for (int round = 0; round < 20; ++round) {
    reader.Start(LinkTo(transport));
    reader.RequestStop();
    reader.Join();
    EXPECT_FALSE(reader.Running());
  }
}

}  // namespace
}  // namespace nimbrel::testing
