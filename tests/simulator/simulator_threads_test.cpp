#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <thread>

#include "simulator/simulated_console.h"
#include "station/commands.h"
#include "station/link.h"
#include "station/reader.h"
#include "tests/support/recording_messages.h"

namespace nimbrel::testing {
namespace {

using namespace std::chrono_literals;

// The console in real time behind its HID backend, read by the real reader thread while this
// thread plays the user-interface thread.
class SimulatorThreadTest : public ::testing::Test {
 protected:
  explicit SimulatorThreadTest(ConsoleOptions options = Options())
      : console(std::move(options)), backend(console), device(backend) {
    state.SetExportFileName("/tmp/export.csv");
  }
  static ConsoleOptions Options() {
    ConsoleOptions options;
    options.historyRecords = 500;
    options.faults.unplugAfter = 200;
    options.replugDelay = 200ms;
    options.periods.live = 1s;
    return options;
  }

  // Connects as the shell does: reader first, then CMD_CANCEL and, 100 ms later, CMD_REFRESH.
  void Connect() {
    ASSERT_TRUE(device.FindStation());
    state.linkConnected = true;
    reader.Start({device, state, counters, &store, messages});
    SendCommand(device, state, CMD_CANCEL);
    std::this_thread::sleep_for(100ms);
    ASSERT_TRUE(SendCommand(device, state, CMD_REFRESH));
  }
  void Disconnect() {
    state.linkConnected = false;
    state.downloadCancelled = true;
    reader.RequestStop();
    reader.Join();
    state.downloadActive = false;
  }
  void RequestHistory() {
    store.Clear();
    messages.Clear();
    state.downloadCancelled = false;
    ASSERT_TRUE(SendCommand(device, state, CMD_HISTORY));
  }
  // Waits for what the threads must bring about; the limit only keeps a broken run from hanging.
  template <typename Condition>
  static bool WaitFor(Condition condition) {
    for (auto waited = 0ms; waited < 60s; waited += 1ms) {
      if (condition()) {
        return true;
      }
      std::this_thread::sleep_for(1ms);
    }
    return condition();
  }
  bool Saw(const std::string& event) const {
    const auto events = messages.Events();
    return std::find(events.begin(), events.end(), event) != events.end();
  }

  SimulatedConsole console;
  SimulatedHidBackend backend;
  StationDevice device;
  SharedState state;
  LinkCounters counters;
  HistoryStore store;
  RecordingMessages messages;
  ReaderThread reader;
};

TEST_F(SimulatorThreadTest, ADownloadCutByUnpluggingWorksAfterTheConsoleIsBack) {
  Connect();
  ASSERT_TRUE(WaitFor([this] { return !messages.Events().empty(); }));
  RequestHistory();
  // The user keeps pressing refresh meanwhile; the live texts wait for the end of the download.
  std::optional<DeviceChange> change;
  ASSERT_TRUE(WaitFor([&] {
    SendCommand(device, state, CMD_REFRESH);
    return (change = console.PollDeviceChange()).has_value();
  }));
  EXPECT_EQ(change->event, DeviceEvent::kRemoval);
  Disconnect();
  EXPECT_TRUE(Saw("progress 200"));
  EXPECT_FALSE(Saw("progress 201"));

  ASSERT_TRUE(WaitFor([&] { return (change = console.PollDeviceChange()).has_value(); }));
  EXPECT_EQ(change->event, DeviceEvent::kArrival);
  Connect();
  ASSERT_TRUE(WaitFor([this] { return Saw("time"); }));  // the connection's messages are through
  RequestHistory();
  ASSERT_TRUE(WaitFor([this] { return Saw("complete"); }));
  for (std::size_t slot = 0; slot < 500; ++slot) {
    ASSERT_EQ(RecordText(store.Slot(slot)), console.History()[slot]);
  }
  Disconnect();
}

class UsbPaceThreadTest : public SimulatorThreadTest {
 protected:
  UsbPaceThreadTest() : SimulatorThreadTest(UsbPace()) {}
  static ConsoleOptions UsbPace() {
    ConsoleOptions options;
    options.historyRecords = 100;
    options.pace = ConsolePace::kUsb;
    return options;
  }
};

TEST_F(UsbPaceThreadTest, AtARealConsolesPaceTheDownloadCompletesToo) {
  Connect();
  ASSERT_TRUE(WaitFor([this] { return Saw("time"); }));
  RequestHistory();
  ASSERT_TRUE(WaitFor([this] { return Saw("complete"); }));
  EXPECT_EQ(RecordText(store.Slot(99)), console.History()[99]);
  Disconnect();
}

}  // namespace
}  // namespace nimbrel::testing
