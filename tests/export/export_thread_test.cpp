// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "export/export_thread.h"
#include "tests/export/export_test_support.h"

namespace nimbrel::testing {
namespace {

namespace fs = std::filesystem;
using Calls = std::vector<RecordingSink::Call>;

class ExportThreadTest : public ::testing::Test {
 protected:
  ExportThreadTest() {
    fs::create_directories(fs::path(path).parent_path());
    state.historyReady = true;
    state.downloadActive = true;
    state.historyTotal = 3;
    constexpr std::string_view kRecord =
        "95 2018-3-7 10:05 21.5 45 3.2 80 1.2 0.5 10.0 15.0 270 W 1013.2 1010.1 3 1.5 4.0 19.0 50";
    Fill(store, {kRecord, kRecord, kRecord});
    request.wholePeriod = true;
    request.dataSets.fill(true);
    state.SetExportFileName(path);
  }
  void Start(ExportThread& thread, std::function<void(int)> hook) {
    thread.Start(MakeExportJob(store, state, request, units),
                 std::make_unique<FailingFile>(1 << 20, false, std::move(hook)));
  }

  TempDir dir;
  // A name well beyond 255 characters: the export has no fixed-size buffer for it.
  std::string path = dir.File(std::string(200, 'd') + "/" + std::string(100, 'h') + ".xls");
  HistoryStore store;
  SharedState state;
  ExportRequest request;
  UnitSettings units;
};

TEST_F(ExportThreadTest, TakesItsSettingsAtTheStartStaysActiveUntilHandledAndEndsBeforeTheNext) {
  RecordingSink sink(state);
  {
    ExportThread thread(sink);
    Start(thread, [&](int call) {
      if (call == 0) {  // the setup panel may change everything while the export runs
        request.dataSets.fill(false);
        units.temperatureUnit = TemperatureUnit::Fahrenheit;
        state.SetExportFileName(dir.File("other.csv"));
      }
    });
    thread.Join();
    // The hand-off came while DownloadActive and exportRunning were still set.
    EXPECT_EQ(sink.Calls(), (Calls{{kExportEnded, true, true}}));
    EXPECT_FALSE(state.exportRunning || state.downloadActive);
    const std::u16string text = FileText(path);
    EXPECT_NE(text.find(u" \u00B0C "), std::u16string::npos);
    EXPECT_EQ(text.find(u" \u00B0F "), std::u16string::npos);
    EXPECT_NE(text.find(u" 1013.2 "), std::u16string::npos);
    EXPECT_FALSE(fs::exists(dir.File("other.csv")));

    // Two exports in a row, then the owner goes: the second waits for the first, both end.
    request.dataSets.fill(true);
    units = {};
    state.downloadActive = true;
    thread.Start(MakeExportJob(store, state, request, units));
    thread.Start(MakeExportJob(store, state, request, units));
  }
  EXPECT_EQ(sink.Calls().size(), 3u);
  EXPECT_EQ(FileText(dir.File("other.csv")), FileText(path));
}

TEST_F(ExportThreadTest, CancelDuringTheWriteStopsAndDeletesTheFile) {
  RecordingSink sink(state);
  ExportThread thread(sink);
  bool created = false;
  Start(thread, [&](int call) {
    if (call == 1) {  // the status bar's cancel button, while the header is written
      created = fs::exists(path);
      state.downloadCancelled = true;
    }
  });
  thread.Join();
  EXPECT_TRUE(created);
  EXPECT_EQ(sink.Calls(), (Calls{{kExportEnded, true, true}}));
  EXPECT_FALSE(fs::exists(path));
  EXPECT_FALSE(state.historyReady || state.downloadActive);
}

}  // namespace
}  // namespace nimbrel::testing
