#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "station/commands.h"
#include "station/link.h"
#include "tests/support/fake_transport.h"

namespace nimbrel {
namespace {

TEST(StationCrc16, KnownCheckValues) {
  const std::uint8_t cancel[] = {0x00, 0xFC, 0x07, 0x00, 0x00, 0x00};
  EXPECT_EQ(StationCrc16(cancel, 1, 6), 0xE550);
  const std::uint8_t recordNak[] = {0x00, 0xFC, 0xD5, 0x02, 0x00, 0x00};
  EXPECT_EQ(StationCrc16(recordNak, 1, 6), 0xCE5B);
  EXPECT_EQ(StationCrc16(cancel, 3, 3), 0);
  EXPECT_EQ(StationCrc16(cancel, 5, 2), 0);
}

// An oracle written by others: Python's binascii.crc_hqx is CRC-16/XMODEM with initial value 0.
TEST(StationCrc16, AgreesWithPythonOnRandomBuffers) {
  std::mt19937 random(1941);
  std::vector<std::vector<std::uint8_t>> buffers;
  std::string script = "import binascii\nfor h in [";
  for (int i = 0; i < 40; ++i) {
    std::vector<std::uint8_t> buffer(1 + random() % 80);
    for (auto& byte : buffer) {
      byte = static_cast<std::uint8_t>(random());
    }
    script += "'";
    for (const auto byte : buffer) {
      char hex[3];
      std::snprintf(hex, sizeof hex, "%02x", byte);
      script += hex;
    }
    script += "',";
    buffers.push_back(std::move(buffer));
  }
  script += "]: print(binascii.crc_hqx(bytes.fromhex(h), 0))\n";
  const std::string command = "python3 -c \"" + script + "\" 2>/dev/null";
  FILE* python = popen(command.c_str(), "r");
  ASSERT_NE(python, nullptr);
  std::vector<unsigned> expected;
  unsigned value = 0;
  while (std::fscanf(python, "%u", &value) == 1) {
    expected.push_back(value);
  }
  if (pclose(python) != 0 && expected.empty()) {
    GTEST_SKIP() << "python3 is not available";
  }
  ASSERT_EQ(expected.size(), buffers.size());
  for (std::size_t i = 0; i < buffers.size(); ++i) {
    EXPECT_EQ(StationCrc16(buffers[i].data(), 0, buffers[i].size()), expected[i]) << "buffer " << i;
  }
}

TEST(StationCommands, FixedCommandsCarryTheirOwnCrc) {
  struct Case {
    const StationCommand& command;
    std::uint8_t opcode, parameter;
  };
  const Case cases[] = {{CMD_CANCEL, 0x07, 0},    {CMD_REFRESH, 0x03, 0}, {CMD_HISTORY, 0x05, 0},
                        {CMD_ACK, 0xD4, 1},       {CMD_NAK, 0xD4, 2},     {CMD_RECORD_ACK, 0xD5, 1},
                        {CMD_RECORD_NAK, 0xD5, 2}};
  for (const Case& c : cases) {
    EXPECT_EQ(MakeCommand(c.opcode, c.parameter, 0, 0), c.command) << int(c.opcode);
  }
  EXPECT_EQ(CMD_CANCEL, (StationCommand{0x00, 0xFC, 0x07, 0x00, 0x00, 0x00, 0xE5, 0x50, 0xFD}));
}

TEST(StationCommands, DateAndTimePutTheCrcLowByteFirst) {
  EXPECT_EQ(MakeSetDateCommand(2026, 3, 5),
            (StationCommand{0x00, 0xFC, 0x08, 0x1A, 0x03, 0x05, 0xEA, 0xB0, 0xFD}));
  EXPECT_EQ(MakeSetTimeCommand(14, 30, 0),
            (StationCommand{0x00, 0xFC, 0x09, 0x0E, 0x1E, 0x00, 0x77, 0x7C, 0xFD}));
  EXPECT_EQ(MakeSetDateCommand(2100, 12, 31)[3], 0);  // year modulo 100
}

TEST(SendCommand, WritesOnlyWhileConnected) {
  testing::FakeTransport transport;
  SharedState state;
  EXPECT_FALSE(SendCommand(transport, state, CMD_REFRESH));
  EXPECT_TRUE(transport.Commands().empty());

  state.linkConnected = true;
  EXPECT_TRUE(SendCommand(transport, state, CMD_REFRESH));
  transport.SetWritesFail(true);
  EXPECT_FALSE(SendCommand(transport, state, CMD_REFRESH));
  EXPECT_EQ(transport.Commands().size(), 2u);
}

TEST(SendDateTime, SendsDateThenTimeOneTenthSecondApart) {
  testing::FakeTransport transport;
  SharedState state;
  state.linkConnected = true;
  std::vector<std::string> steps;
  SendDateTime(transport, state, {2026, 3, 5, 14, 30, 0}, [&](std::chrono::milliseconds pause) {
    steps.push_back("sleep " + std::to_string(pause.count()) + " after " +
                    std::to_string(transport.Commands().size()));
  });
  ASSERT_EQ(transport.Commands().size(), 2u);
  EXPECT_EQ(transport.Commands()[0], MakeSetDateCommand(2026, 3, 5));
  EXPECT_EQ(transport.Commands()[1], MakeSetTimeCommand(14, 30, 0));
  EXPECT_EQ(steps, std::vector<std::string>{"sleep 100 after 1"});
}

}  // namespace
}  // namespace nimbrel
