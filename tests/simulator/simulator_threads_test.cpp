// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <optional>
#include <thread>

#include "simulator/simulated_console.h"
#include "station/link.h"
#include "tests/support/station_fakes.h"

namespace nimbrel::testing {
namespace {

using namespace std::chrono_literals;

// Waits for what the threads must bring about; the limit only keeps a broken run from hanging.
template <typename Condition>
bool WaitFor(Condition condition) {
  bool met = false;
  for (int waited = 0; waited < 60000 && !(met = condition()); ++waited) {
    std::this_thread::sleep_for(1ms);
  }
  return met;
}

// At the reader's pace the console vanishes after 200 records; at a real console's it does not.
ConsoleOptions Options(ConsolePace pace) {
  ConsoleOptions options;
  options.historyRecords = pace == ConsolePace::kReader ? 500 : 100;
  options.pace = pace;
  options.faults.unplugAfter = pace == ConsolePace::kReader ? std::optional(200u) : std::nullopt;
  options.replugDelay = 200ms;
  options.periods.live = 1s;
  return options;
}

// The console in real time behind its HID backend, read by the real reader thread while this
// thread plays the user-interface thread.
class SimulatorThreadTest : public ::testing::TestWithParam<ConsolePace>, public ReaderSide {
 protected:
  SimulatorThreadTest() { state.SetExportFileName("/tmp/export.csv"); }

  // Connects as the shell does: reader first, then CMD_CANCEL and, 100 ms later, CMD_REFRESH.
  void Connect() {
    ASSERT_TRUE(device.FindStation());
    state.linkConnected = true;
    reader.Start(LinkTo(device));
    SendCommand(device, state, CMD_CANCEL);
    std::this_thread::sleep_for(100ms);
    ASSERT_TRUE(SendCommand(device, state, CMD_REFRESH));
    ASSERT_TRUE(WaitFor([this] { return messages.Saw("time"); }));  // the connection's messages
  }
  void Disconnect() {
    state.linkConnected = false;
    state.downloadCancelled = true;
    reader.RequestStop();
    reader.Join();
  }
  void RequestHistory() {
    state.downloadActive = false;
    PrepareHistoryDownload(state, store);
    messages.Clear();
    ASSERT_TRUE(SendCommand(device, state, CMD_HISTORY));
  }

  SimulatedConsole console{Options(GetParam())};
  SimulatedHidBackend backend{console};
  StationDevice device{backend};
  ReaderThread reader;
};

// Unplugging cuts the first download; the one after the console is back stores every record.
TEST_P(SimulatorThreadTest, ADownloadCutByUnpluggingWorksAfterTheConsoleIsBack) {
  Connect();
  RequestHistory();
  std::optional<DeviceChange> change;
  if (GetParam() == ConsolePace::kReader) {
    // The user keeps pressing refresh meanwhile; the live texts wait for the end of the download.
    ASSERT_TRUE(WaitFor([&] {
      SendCommand(device, state, CMD_REFRESH);
      return (change = console.PollDeviceChange()).has_value();
    }));
    EXPECT_EQ(change->event, DeviceEvent::kRemoval);
    const auto removed = std::chrono::steady_clock::now();
    Disconnect();
    EXPECT_TRUE(messages.Saw("progress 200"));
    EXPECT_FALSE(messages.Saw("progress 201"));
    ASSERT_TRUE(WaitFor([&] { return (change = console.PollDeviceChange()).has_value(); }));
    EXPECT_EQ(change->event, DeviceEvent::kArrival);
    EXPECT_GE(std::chrono::steady_clock::now() - removed, 150ms);  // away for its replug delay
    Connect();
    RequestHistory();
  }
  ASSERT_TRUE(WaitFor([this] { return messages.Saw("complete"); }));
  for (std::size_t slot = 0; slot < console.History().size(); ++slot) {
    ASSERT_EQ(RecordText(store.Slot(slot)), console.History()[slot]);
  }
  Disconnect();
}

INSTANTIATE_TEST_SUITE_P(Paces, SimulatorThreadTest,
                         ::testing::Values(ConsolePace::kReader, ConsolePace::kUsb));

}  // namespace
}  // namespace nimbrel::testing
