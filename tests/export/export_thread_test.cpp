#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "export/export_thread.h"
#include "tests/export/export_test_support.h"

namespace nimbrel::testing {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;
using Calls = std::vector<RecordingSink::Call>;

constexpr std::string_view kRecord =
    "95 2018-3-7 10:05 21.5 45 3.2 80 1.2 0.5 10.0 15.0 270 W 1013.2 1010.1 3 1.5 4.0 19.0 50 "
    "20.0 51 21.0 52 22.0 53 23.0 54 24.0 55 25.0 56 -2.0 0.3 5.4 20.1";

// Holds one thread at a point until the test lets it go on.
class Gate {
 public:
  void Pass() {
    std::unique_lock lock(mutex_);
    arrived_ = true;
    changed_.notify_all();
    changed_.wait(lock, [this] { return open_; });
  }
  bool WaitArrived() {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, 10s, [this] { return arrived_; });
  }
  void Open() {
    std::lock_guard lock(mutex_);
    open_ = true;
    changed_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool arrived_ = false;
  bool open_ = false;
};

// The disk file, held at its n-th call (0: Create, 1: the header, 2: the rows gathered...).
class GatedFile : public ExportFile {
 public:
  GatedFile(Gate& gate, int heldCall) : gate_(gate), heldCall_(heldCall) {}
  bool Create(const std::string& path) override {
    Hold();
    return disk_.Create(path);
  }
  bool Write(std::string_view bytes) override {
    Hold();
    return disk_.Write(bytes);
  }
  bool Close() override { return disk_.Close(); }
  void Discard() override { disk_.Discard(); }

 private:
  void Hold() {
    if (calls_++ == heldCall_) {
      gate_.Pass();
    }
  }
  Gate& gate_;
  int heldCall_;
  int calls_ = 0;
  DiskExportFile disk_;
};

// A sink that blocks, as the dashboard's hand-off does, until the test has looked.
class BlockingSink : public RecordingSink {
 public:
  using RecordingSink::RecordingSink;
  void ExportFinished(int result) override {
    RecordingSink::ExportFinished(result);
    gate.Pass();
  }
  Gate gate;
};

class ExportThreadTest : public ::testing::Test {
 protected:
  ExportThreadTest() {
    state.historyReady = true;
    state.downloadActive = true;
    state.historyTotal = 3;
    Fill(store, {kRecord, kRecord, kRecord});
    request.wholePeriod = true;
    request.dataSets.fill(true);
    state.SetExportFileName(path);
  }

  TempDir dir;
  std::string path = dir.File("history.csv");
  HistoryStore store;
  SharedState state;
  ExportRequest request;
  UnitSettings units;
};

TEST_F(ExportThreadTest, TakesItsSettingsAtTheStartAndStaysActiveUntilTheResultIsHandled) {
  BlockingSink sink(state);
  ExportThread thread(sink);
  Gate gate;
  thread.Start(MakeExportJob(store, state, request, units), std::make_unique<GatedFile>(gate, 0));
  ASSERT_TRUE(gate.WaitArrived());
  // The setup panel may change everything while the export runs.
  request.dataSets.fill(false);
  units.temperatureUnit = TemperatureUnit::Fahrenheit;
  state.SetExportFileName(dir.File("other.csv"));
  gate.Open();
  ASSERT_TRUE(sink.gate.WaitArrived());
  EXPECT_TRUE(state.downloadActive);
  EXPECT_TRUE(state.exportRunning);
  sink.gate.Open();
  thread.Join();
  EXPECT_FALSE(state.exportRunning);

  EXPECT_EQ(sink.Calls(), (Calls{{kExportEnded, true}}));
  EXPECT_FALSE(state.downloadActive);
  const std::u16string text = FileText(path);
  EXPECT_NE(text.find(u" \u00B0C "), std::u16string::npos);
  EXPECT_EQ(text.find(u" \u00B0F "), std::u16string::npos);
  EXPECT_NE(text.find(u" 1013.2 "), std::u16string::npos);
  EXPECT_FALSE(fs::exists(dir.File("other.csv")));
}

TEST_F(ExportThreadTest, CancelFromAnotherThreadStopsAndDeletesTheFile) {
  RecordingSink sink(state);
  ExportThread thread(sink);
  Gate gate;
  thread.Start(MakeExportJob(store, state, request, units), std::make_unique<GatedFile>(gate, 1));
  ASSERT_TRUE(gate.WaitArrived());
  ASSERT_TRUE(fs::exists(path));
  state.downloadCancelled = true;  // the status bar's cancel button
  gate.Open();
  thread.Join();

  EXPECT_EQ(sink.Calls(), (Calls{{kExportEnded, true}}));
  EXPECT_FALSE(fs::exists(path));
  EXPECT_FALSE(state.historyReady);
  EXPECT_FALSE(state.downloadActive);
}

TEST_F(ExportThreadTest, EachExportEndsBeforeTheNextStartsAndBeforeItsOwnerGoes) {
  RecordingSink sink(state);
  {
    ExportThread thread(sink);
    thread.Start(MakeExportJob(store, state, request, units));
    state.SetExportFileName(dir.File("second.csv"));
    thread.Start(MakeExportJob(store, state, request, units));
  }
  EXPECT_EQ(sink.Calls().size(), 2u);
  EXPECT_EQ(FileText(path), FileText(dir.File("second.csv")));
}

}  // namespace
}  // namespace nimbrel::testing
