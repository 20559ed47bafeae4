// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <atomic>
#include <future>

#include "platform/timed_writer.h"
#include "station/commands.h"

namespace nimbrel {
namespace {

using namespace std::chrono_literals;

// A device whose writes hang until the test releases it.
struct HangingDevice {
  bool Write(const StationCommand& command) {
    ++calls;
    gate.wait();
    last = command;
    return succeed;
  }
  TimedWriter::WriteFunction Writer() {
    return [this](const StationCommand& c) { return Write(c); };
  }

  std::promise<void> release;
  std::shared_future<void> gate = release.get_future().share();
  std::atomic<int> calls{0};
  std::atomic<bool> succeed{true};
  StationCommand last{};
};

TEST(TimedWriter, AHangingWriteGivesUpInTimeAndLaterWritesPassTheAnswerThrough) {
  HangingDevice device;
  TimedWriter writer(device.Writer());
  EXPECT_FALSE(writer.Write(CMD_REFRESH, 50ms));
  // While the device still hangs, another caller fails in its own time, without a second write.
  EXPECT_FALSE(std::async(std::launch::async, [&] { return writer.Write(CMD_ACK, 50ms); }).get());
  EXPECT_EQ(device.calls, 1);

  device.release.set_value();
  EXPECT_TRUE(writer.Write(CMD_HISTORY, 2s));
  EXPECT_EQ(device.last, CMD_HISTORY);
  device.succeed = false;
  EXPECT_FALSE(writer.Write(CMD_CANCEL, 2s));
  EXPECT_EQ(device.calls, 3);
}

TEST(TimedWriter, ClosingWaitsForAWriteInProgress) {
  HangingDevice device;
  auto writer = std::make_unique<TimedWriter>(device.Writer());
  EXPECT_FALSE(writer->Write(CMD_REFRESH, 20ms));
  auto closing = std::async(std::launch::async, [&] { writer.reset(); });
  EXPECT_EQ(closing.wait_for(50ms), std::future_status::timeout);
  device.release.set_value();
  closing.get();
  EXPECT_EQ(device.last, CMD_REFRESH);
}

}  // namespace
}  // namespace nimbrel
