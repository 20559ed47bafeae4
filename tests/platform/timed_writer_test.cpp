#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <mutex>

#include "platform/timed_writer.h"
#include "station/commands.h"

namespace nimbrel {
namespace {

using namespace std::chrono_literals;

// A device write that hangs until the test lets it go.
class HangingDevice {
 public:
  bool Write(const StationCommand& command) {
    ++calls;
    std::unique_lock lock(mutex_);
    released_.wait(lock, [this] { return !hang_; });
    last = command;
    return succeed;
  }
  void Hang() {
    std::lock_guard lock(mutex_);
    hang_ = true;
  }
  void Release() {
    {
      std::lock_guard lock(mutex_);
      hang_ = false;
    }
    released_.notify_all();
  }

  std::atomic<int> calls{0};
  std::atomic<bool> succeed{true};
  StationCommand last{};

 private:
  std::mutex mutex_;
  std::condition_variable released_;
  bool hang_ = false;
};

TEST(TimedWriter, PassesTheDevicesAnswerThrough) {
  HangingDevice device;
  TimedWriter writer([&](const StationCommand& c) { return device.Write(c); });
  EXPECT_TRUE(writer.Write(CMD_REFRESH, 2s));
  EXPECT_EQ(device.last, CMD_REFRESH);
  device.succeed = false;
  EXPECT_FALSE(writer.Write(CMD_CANCEL, 2s));
}

TEST(TimedWriter, AHangingWriteGivesUpInTimeAndLaterWritesRecover) {
  HangingDevice device;
  TimedWriter writer([&](const StationCommand& c) { return device.Write(c); });
  device.Hang();
  EXPECT_FALSE(writer.Write(CMD_REFRESH, 50ms));
  // While the device still hangs, another caller fails in its own time, without a second write.
  auto other = std::async(std::launch::async, [&] { return writer.Write(CMD_ACK, 50ms); });
  EXPECT_FALSE(other.get());
  EXPECT_EQ(device.calls, 1);

  device.Release();
  EXPECT_TRUE(writer.Write(CMD_HISTORY, 2s));
  EXPECT_EQ(device.last, CMD_HISTORY);
  EXPECT_EQ(device.calls, 2);
}

TEST(TimedWriter, ClosingWaitsForAWriteInProgress) {
  HangingDevice device;
  auto writer =
      std::make_unique<TimedWriter>([&](const StationCommand& c) { return device.Write(c); });
  device.Hang();
  EXPECT_FALSE(writer->Write(CMD_REFRESH, 20ms));
  auto closing = std::async(std::launch::async, [&] { writer.reset(); });
  EXPECT_EQ(closing.wait_for(50ms), std::future_status::timeout);
  device.Release();
  closing.get();
  EXPECT_EQ(device.last, CMD_REFRESH);
}

}  // namespace
}  // namespace nimbrel
