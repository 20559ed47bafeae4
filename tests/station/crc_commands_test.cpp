// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "station/link.h"
#include "tests/support/station_fakes.h"

namespace nimbrel::testing {
namespace {

// Every command byte for byte: the fixed ones put the CRC high byte first, date and time low first.
TEST(StationCommands, EveryCommandByteForByte) {
  const std::pair<StationCommand, StationCommand> cases[] = {
      {CMD_CANCEL, {0x00, 0xFC, 0x07, 0x00, 0x00, 0x00, 0xE5, 0x50, 0xFD}},
      {CMD_REFRESH, {0x00, 0xFC, 0x03, 0x00, 0x00, 0x00, 0x2F, 0xA1, 0xFD}},
      {CMD_HISTORY, {0x00, 0xFC, 0x05, 0x00, 0x00, 0x00, 0x08, 0x38, 0xFD}},
      {CMD_ACK, {0x00, 0xFC, 0xD4, 0x01, 0x00, 0x00, 0xE1, 0xBF, 0xFD}},
      {CMD_NAK, {0x00, 0xFC, 0xD4, 0x02, 0x00, 0x00, 0xB8, 0xEF, 0xFD}},
      {CMD_RECORD_ACK, {0x00, 0xFC, 0xD5, 0x01, 0x00, 0x00, 0x97, 0x0B, 0xFD}},
      {CMD_RECORD_NAK, {0x00, 0xFC, 0xD5, 0x02, 0x00, 0x00, 0xCE, 0x5B, 0xFD}},
      {MakeSetDateCommand(2026, 3, 5), {0x00, 0xFC, 0x08, 0x1A, 0x03, 0x05, 0xEA, 0xB0, 0xFD}},
      {MakeSetTimeCommand(14, 30, 0), {0x00, 0xFC, 0x09, 0x0E, 0x1E, 0x00, 0x77, 0x7C, 0xFD}}};
  for (const auto& [made, bytes] : cases) {
    EXPECT_EQ(made, bytes) << int(bytes[2]);
  }
  EXPECT_EQ(MakeSetDateCommand(2100, 12, 31)[3], 0);  // year modulo 100
}

TEST(SendCommand, WritesOnlyWhileConnectedAndDateGoesBeforeTime) {
  FakeTransport transport;
  SharedState state;
  std::vector<std::size_t> writtenAtSleep;
  const auto sleep = [&](std::chrono::milliseconds pause) {
    EXPECT_EQ(pause.count(), 100);
    writtenAtSleep.push_back(transport.Written().size());
  };
  EXPECT_FALSE(SendCommand(transport, state, CMD_REFRESH));
  SendDateTime(transport, state, {2026, 3, 5, 14, 30, 0}, sleep);
  EXPECT_TRUE(transport.Written().empty());

  state.linkConnected = true;
  SendDateTime(transport, state, {2026, 3, 5, 14, 30, 0}, sleep);
  EXPECT_EQ(transport.Written(),
            (Commands{MakeSetDateCommand(2026, 3, 5), MakeSetTimeCommand(14, 30, 0)}));
  EXPECT_EQ(writtenAtSleep, (std::vector<std::size_t>{0, 1}));
  EXPECT_TRUE(SendCommand(transport, state, CMD_REFRESH));
  transport.writesFail = true;
  EXPECT_FALSE(SendCommand(transport, state, CMD_REFRESH));
  EXPECT_EQ(transport.Written().size(), 4u);
}

}  // namespace
}  // namespace nimbrel::testing
