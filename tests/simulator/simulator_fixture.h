#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "simulator/simulated_console.h"
#include "station/commands.h"
#include "station/link.h"
#include "station/reader.h"
#include "tests/support/recording_messages.h"

namespace nimbrel::testing {

using Events = std::vector<std::string>;

// A live text as the console sends it: outdoor below zero, channels 2 to 7 without a sensor.
inline constexpr std::string_view kSampleLine =
    "12 2026-03-05 14:30 21.5 40 -3.2 85 1.2 0.0 5.4 7.2 270 W 1013.2 1004.7 2 -5.1 -3.2 19.8 45 "
    "--.- -- --.- -- --.- -- --.- -- --.- -- --.- -- -6.9 0.3 4.2 12.8";

// A console that sends nothing of its own after the connection's live text and time request.
inline ConsoleOptions Quiet() {
  ConsoleOptions options;
  options.periods = {std::chrono::seconds(0), std::chrono::seconds(0), std::chrono::seconds(0),
                     std::chrono::seconds(0)};
  return options;
}

// The real reader wired to a simulated console on virtual time, driven pass by pass on the
// test's own thread.
class SimulatorTest : public ::testing::Test {
 protected:
  SimulatorTest() {
    state.linkConnected = true;
    state.SetExportFileName("/tmp/export.csv");
  }
  ~SimulatorTest() override {
    for (const auto& path : files_) {
      std::filesystem::remove(path);
    }
  }

  // A new console (and a reader on it), replacing any earlier one.
  SimulatedConsole& Start(ConsoleOptions options) {
    reader.reset();
    console = std::make_unique<SimulatedConsole>(std::move(options), clock);
    reader = std::make_unique<StationReader>(
        StationReader::Link{*console, state, counters, &store, messages});
    return *console;
  }

  // Runs reader passes until `done` holds; false when `passes` ran out first.
  bool PumpUntil(const std::function<bool()>& done, int passes = 1000000) {
    for (int i = 0; i < passes; ++i) {
      if (done()) {
        return true;
      }
      reader->RunPass();
    }
    return done();
  }
  void Pump(int passes) {
    PumpUntil([] { return false; }, passes);
  }
  bool Saw(const std::string& event) const {
    const Events events = messages.Events();
    return std::find(events.begin(), events.end(), event) != events.end();
  }
  std::function<bool()> Seen(std::string event) const {
    return [this, event] { return Saw(event); };
  }
  void Send(const StationCommand& command) { SendCommand(*console, state, command); }
  // Lets the connection's own messages through, then forgets them.
  void Settle() {
    ASSERT_TRUE(PumpUntil(Seen("time")));
    messages.Clear();
  }
  // What the export chain does before it asks for the history.
  void RequestHistory() {
    store.Clear();
    state.downloadActive = false;
    state.downloadCancelled = false;
    Send(CMD_HISTORY);
  }

  std::string Slot(std::size_t slot) const { return std::string(RecordText(store.Slot(slot))); }

  // Record lines of many lengths: one, two and three frames, and the longest a record can be.
  static std::vector<std::string> RecordLines(int count) {
    std::vector<std::string> lines;
    for (int i = 1; i <= count; ++i) {
      std::string line = "1 2026-03-01 " + std::to_string(i) + " 21.0";
      line.resize(i == 2 ? kMaxRecordText : static_cast<std::size_t>(20 + i * 37 % 150), 'x');
      lines.push_back(line);
    }
    return lines;
  }

  std::string WriteFile(const std::string& name, const std::string& text) {
    const auto path =
        std::filesystem::temp_directory_path() /
        (name + "-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
         ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::ofstream(path, std::ios::binary) << text;
    files_.push_back(path);
    return path.string();
  }

  VirtualConsoleClock clock;
  SharedState state;
  LinkCounters counters;
  HistoryStore store;
  RecordingMessages messages;
  std::unique_ptr<SimulatedConsole> console;
  std::unique_ptr<StationReader> reader;

 private:
  std::vector<std::filesystem::path> files_;
};

}  // namespace nimbrel::testing
