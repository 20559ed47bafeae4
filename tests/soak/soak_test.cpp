// A long run of the station link against the built-in console with everything going wrong at
// random: the cable pulled at any moment (during live data, mid-message, mid-download, during an
// export), CRC error bursts, a skipped frame, the console stopping a download, and cancels from
// the program's side. Nothing may crash, no two readers may run, no download may stay stuck once
// the console is back, and every export that completes must be exactly right.
#include <gtest/gtest.h>

#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <random>
#include <sstream>
#include <thread>

#include "export/export_file.h"
#include "export/export_writer.h"
#include "simulator/simulated_console.h"
#include "station/commands.h"
#include "station/link.h"
#include "station/reader.h"

namespace nimbrel {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr std::size_t kRecords = 24;

int Cycles() {
  const char* text = std::getenv("NIMBREL_SOAK_CYCLES");
  return text != nullptr ? std::atoi(text) : 1000;
}

// Resident memory in kilobytes.
long ResidentKilobytes() {
  std::ifstream status("/proc/self/statm");
  long pages = 0, resident = 0;
  status >> pages >> resident;
  return resident * 4;
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

// The dashboard's part: notes when the download is complete.
class Messages : public ReaderMessages {
 public:
  void LiveMessage(const HistoryRecord&) override {}
  void WuMessage(const ParamBuffer&) override {}
  void WeathercloudMessage(const ParamBuffer&) override {}
  void TimeRequest() override {}
  void NoHistory() override {}
  void HistoryStart(int) override {}
  void HistoryProgress(int) override {}
  void HistoryComplete() override {
    std::lock_guard lock(mutex_);
    complete_ = true;
    changed_.notify_all();
  }
  void Reset() {
    std::lock_guard lock(mutex_);
    complete_ = false;
  }
  bool WaitForComplete(Clock::duration wait) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, wait, [this] { return complete_; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool complete_ = false;
};

class SoakTest : public ::testing::Test {
 protected:
  SoakTest() : console_(Options()), backend_(console_), device_(backend_) {
    dir_ = fs::temp_directory_path() / ("nimbrel-soak-" + std::to_string(::getpid()));
    fs::create_directories(dir_);
  }
  ~SoakTest() override { fs::remove_all(dir_); }

  static ConsoleOptions Options() {
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

  // The export of the console's whole log, as it must come out.
  const std::string& Expected() {
    if (expected_.empty()) {
      HistoryStore store;
      for (std::size_t i = 0; i < console_.History().size(); ++i) {
        HistoryRecord record{};
        console_.History()[i].copy(record.data(), record.size() - 1);
        store.Put(i, record);
      }
      SharedState state;
      state.historyTotal = static_cast<int>(kRecords);
      state.historyReady = true;
      state.SetExportFileName((dir_ / "expected.csv").string());
      DiskExportFile file;
      EXPECT_EQ(WriteExport(MakeExportJob(store, state, Request(), {}), file), kExportEnded);
      expected_ = ReadFile(dir_ / "expected.csv");
    }
    return expected_;
  }

  static ExportRequest Request() {
    ExportRequest request;
    request.wholePeriod = true;
    request.dataSets.fill(true);
    return request;
  }

  // Asks for the history and, when it is complete, writes the export. Returns whether the export
  // was written; `pullCable` is called at its random moment from another thread.
  bool DownloadAndExport(const fs::path& out) {
    messages_.Reset();
    state_.SetExportFileName(out.string());
    PrepareHistoryDownload(state_, store_);
    if (!SendCommand(device_, state_, CMD_HISTORY)) {
      return false;
    }
    if (!messages_.WaitForComplete(2s)) {
      // Stuck (a frame was lost, or the cable went): the program cancels, as the user would.
      state_.downloadCancelled = true;
      SendCommand(device_, state_, CMD_CANCEL);
      state_.downloadActive = false;
      return false;
    }
    DiskExportFile file;
    const int result = WriteExport(MakeExportJob(store_, state_, Request(), {}), file);
    state_.downloadActive = false;
    return result == kExportEnded && state_.historyReady && fs::exists(out);
  }

  fs::path dir_;
  SimulatedConsole console_;
  SimulatedHidBackend backend_;
  StationDevice device_;
  SharedState state_;
  LinkCounters counters_;
  HistoryStore store_;
  Messages messages_;
  ReaderThread reader_;
  std::string expected_;
};

TEST_F(SoakTest, ThePlugPulledAtRandomNeverBreaksTheLink) {
  std::mt19937 random(20261206);
  const int cycles = Cycles();
  Connect();
  int exports = 0, pulls = 0;
  [[maybe_unused]] long memoryAfterWarmUp = 0;  // checked only without the sanitizers
  for (int cycle = 0; cycle < cycles; ++cycle) {
    const fs::path out = dir_ / "export.csv";
    const int plan = static_cast<int>(random() % 4);
    // 0: a clean export; 1: the cable pulled during it; 2: a cancel from the program;
    // 3: the cable pulled while only live data flows.
    std::thread puller;
    if (plan == 1 || plan == 3) {
      const auto delay = std::chrono::microseconds(random() % 20000);
      puller = std::thread([this, delay] {
        std::this_thread::sleep_for(delay);
        console_.Unplug();
      });
    }
    if (plan == 2) {
      messages_.Reset();
      PrepareHistoryDownload(state_, store_);
      SendCommand(device_, state_, CMD_HISTORY);
      std::this_thread::sleep_for(std::chrono::microseconds(random() % 3000));
      state_.downloadCancelled = true;
      SendCommand(device_, state_, CMD_CANCEL);
      state_.downloadActive = false;
    } else if (plan == 3) {
      std::this_thread::sleep_for(25ms);
    } else if (DownloadAndExport(out)) {
      ++exports;
      ASSERT_EQ(ReadFile(out), Expected()) << "cycle " << cycle;
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
  ASSERT_TRUE(DownloadAndExport(dir_ / "final.csv"));
  EXPECT_EQ(ReadFile(dir_ / "final.csv"), Expected());
  EXPECT_GT(exports, cycles / 10);
  EXPECT_GT(pulls, cycles / 10);
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
  // Memory settles after the first cycles; freed memory sits in quarantine under the sanitizers.
  if (memoryAfterWarmUp > 0) {
    EXPECT_LT(ResidentKilobytes() - memoryAfterWarmUp, 4096);
  }
#endif
  reader_.RequestStop();
  reader_.Join();
}

}  // namespace
}  // namespace nimbrel
