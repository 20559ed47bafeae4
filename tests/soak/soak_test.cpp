// SPDX-License-Identifier: GPL-3.0-or-later
// A long run of the station link against the built-in console with everything going wrong at
// random: the cable pulled at any moment (during live data, mid-message, mid-download, during an
// export), CRC error bursts, a skipped frame, the console stopping a download, and cancels from
// the program's side. Nothing may crash, no two readers may run, no download may stay stuck once
// the console is back, and every export that completes must be exactly right.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <thread>

#include "simulator/simulated_console.h"
#include "station/commands.h"
#include "station/link.h"
#include "station/reader.h"
#include "tests/cli/whole_export.h"
#include "tests/support/station_fakes.h"
#include "tests/support/temp_dir.h"

namespace nimbrel {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr std::size_t kRecords = 24;

// Resident memory in kilobytes.
long ResidentKilobytes() {
  long pages = 0, resident = 0;
  std::ifstream("/proc/self/statm") >> pages >> resident;
  return resident * 4;
}

ConsoleOptions Options() {
  ConsoleOptions options;
  options.historyRecords = kRecords;
  options.periods.live = 1s;  // live data keeps coming between downloads
  options.periods.wu = 2s;
  options.periods.weathercloud = 3s;
  options.periods.timeRequest = 0s;
  // Bursts of bad copies that the reader asks for again; the console recovers from them.
  options.faults.badCrc = {{3, 4}, {11, 9}, {20, 2}};
  // Once each: a frame skipped (its record is lost, the download stalls and is cancelled) and
  // the console stopping a download.
  options.faults.skipFrame = {{5, 2}};
  options.faults.stopAfter = 9;
  options.refusedPause = 5ms;
  return options;
}

class SoakTest : public ::testing::Test {
 protected:
  SoakTest() : console_(Options()), backend_(console_), device_(backend_) {}

  // The window's connection sequence.
  void Connect() {
    ASSERT_TRUE(device_.FindStation());
    state_.linkConnected = true;
    state_.downloadCancelled = false;
    reader_.Start({device_, state_, counters_, &store_, messages_});
    SendCommand(device_, state_, CMD_CANCEL);
    SendCommand(device_, state_, CMD_REFRESH);
  }

  // The window's disconnection sequence.
  void Disconnect() {
    state_.readerStop = true;
    state_.downloadCancelled = true;
    state_.linkConnected = false;
    state_.downloadActive = false;
  }

  // Asks for the history and, when all of it is there within `wait`, writes the export and
  // returns whether it was written. Otherwise (a frame was lost, the cable went, or the program
  // gives up early) the program cancels, as the user would.
  bool DownloadAndExport(const fs::path& out, Clock::duration wait) {
    messages_.Clear();
    state_.SetExportFileName(out.string());
    PrepareHistoryDownload(state_, store_);
    if (!SendCommand(device_, state_, CMD_HISTORY)) {
      return false;
    }
    for (const auto end = Clock::now() + wait; !state_.historyReady && Clock::now() < end;) {
      std::this_thread::sleep_for(1ms);
    }
    if (!state_.historyReady) {
      state_.downloadCancelled = true;
      SendCommand(device_, state_, CMD_CANCEL);
      state_.downloadActive = false;
      return false;
    }
    DiskExportFile file;
    const int result = WriteExport(MakeExportJob(store_, state_, testing::WholeExport(), {}), file);
    state_.downloadActive = false;
    return result == kExportEnded && state_.historyReady && fs::exists(out);
  }

  testing::TempDir folder_{"nimbrel-soak-"};
  const fs::path& dir_ = folder_.Path();
  SimulatedConsole console_;
  SimulatedHidBackend backend_;
  StationDevice device_;
  SharedState state_;
  LinkCounters counters_;
  HistoryStore store_;
  testing::RecordingMessages messages_;
  ReaderThread reader_;
};

TEST_F(SoakTest, ThePlugPulledAtRandomNeverBreaksTheLink) {
  const std::string expected =
      testing::ExpectedExport(console_.History(), kRecords, dir_ / "expected.csv");
  std::mt19937 random(20261206);
  const char* cyclesText = std::getenv("NIMBREL_SOAK_CYCLES");
  const int cycles = cyclesText != nullptr ? std::atoi(cyclesText) : 1000;
  Connect();
  int exports = 0, pulls = 0;
  [[maybe_unused]] long memoryAfterWarmUp = 0;  // checked only natively, without the sanitizers
  for (int cycle = 0; cycle < cycles; ++cycle) {
    const fs::path out = dir_ / "export.csv";
    // 0: a clean export; 1: the cable pulled during it; 2: a cancel from the program;
    // 3: the cable pulled while only live data flows.
    const int plan = static_cast<int>(random() % 4);
    std::thread puller;
    if (plan == 1 || plan == 3) {
      puller = std::thread([this, delay = std::chrono::microseconds(random() % 20000)] {
        std::this_thread::sleep_for(delay);
        console_.Unplug();
      });
    }
    const auto wait = plan == 2 ? Clock::duration(std::chrono::microseconds(random() % 3000)) : 2s;
    if (plan == 3) {
      std::this_thread::sleep_for(25ms);
    } else if (DownloadAndExport(out, wait)) {
      ++exports;
      ASSERT_EQ(testing::ReadFile(out), expected) << "cycle " << cycle;
    }
    if (puller.joinable()) {
      puller.join();
      ++pulls;
      Disconnect();
      console_.Plug();
      Connect();
    }
    fs::remove(out);
    if (cycle == cycles / 10) {
      memoryAfterWarmUp = ResidentKilobytes();
    }
  }
  // Once the console is back, a download still goes through.
  ASSERT_TRUE(DownloadAndExport(dir_ / "final.csv", 2s));
  EXPECT_EQ(testing::ReadFile(dir_ / "final.csv"), expected);
  EXPECT_GT(exports, cycles / 10);
  EXPECT_GT(pulls, cycles / 10);
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__) && \
    !defined(NIMBREL_TEST_UNDER_EMULATOR)
  // Memory settles after the first cycles; freed memory sits in quarantine under the sanitizers,
  // and an emulator's resident memory holds the code it translates as it goes.
  if (memoryAfterWarmUp > 0) {
    EXPECT_LT(ResidentKilobytes() - memoryAfterWarmUp, 4096);
  }
#endif
  reader_.RequestStop();
  reader_.Join();
}

}  // namespace
}  // namespace nimbrel
