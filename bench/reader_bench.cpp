// SPDX-License-Identifier: GPL-3.0-or-later
// What the station link costs the PC: the reader's work per frame, and a whole history download.
#include <benchmark/benchmark.h>

#include <vector>

#include "simulator/simulated_console.h"
#include "station/commands.h"
#include "station/link.h"
#include "station/reader.h"

namespace nimbrel {
namespace {

// Takes commands and forgets them: the reader's acknowledgements cost only their own making.
class NullTransport : public StationTransport {
 public:
  ReadResult ReadFrame(StationFrame&, std::chrono::milliseconds) override {
    return ReadResult::kTimeout;
  }
  bool WriteCommand(const StationCommand& command) override {
    benchmark::DoNotOptimize(command);
    return true;
  }
  bool IsValid() const override { return true; }
};

// Handles every hand-off at once.
class NoOpMessages : public ReaderMessages {
 public:
  void LiveMessage(const HistoryRecord& text) override { benchmark::DoNotOptimize(text); }
  void WuMessage(const ParamBuffer& text) override { benchmark::DoNotOptimize(text); }
  void WeathercloudMessage(const ParamBuffer& text) override { benchmark::DoNotOptimize(text); }
  void TimeRequest() override {}
  void NoHistory() override {}
  void HistoryComplete() override { ++completed; }
  void HistoryStart(int) override {}
  void HistoryProgress(int) override {}
  void HistoryEndedEarly(int, int) override {}
  int completed = 0;
};

StationFrame Frame(std::uint8_t type, int number, int count, std::size_t length) {
  StationFrame frame{};
  frame[kFrameType] = type;
  frame[kFramePosition] = static_cast<std::uint8_t>(count << 4 | number);
  frame[kFramePayloadLength] = static_cast<std::uint8_t>(length);
  for (std::size_t i = 0; i < length; ++i) {
    frame[kFramePayload + i] = static_cast<std::uint8_t>('0' + i % 10);
  }
  const std::uint16_t crc = StationCrc16(frame.data(), 1, kFrameCrcHigh);
  frame[kFrameCrcHigh] = static_cast<std::uint8_t>(crc >> 8);
  frame[kFrameCrcLow] = static_cast<std::uint8_t>(crc);
  return frame;
}

// The reader's cost per frame: CRC, acknowledgement, reassembly and a hand-off that does nothing,
// over frames already in memory. A console sends at most 1,000 frames a second.
void BM_ReaderPerFrame(benchmark::State& state) {
  NullTransport transport;
  SharedState shared;
  shared.linkConnected = true;
  LinkCounters counters;
  static HistoryStore store;
  NoOpMessages messages;
  StationReader reader({transport, shared, counters, &store, messages});
  // A live message of three frames and an upload text of two, as the console sends them.
  const std::vector<StationFrame> frames = {
      Frame(MSG_RECORD, 1, 3, 54),    Frame(MSG_RECORD, 2, 3, 54),    Frame(MSG_RECORD, 3, 3, 20),
      Frame(MSG_WU_PARAMS, 1, 2, 54), Frame(MSG_WU_PARAMS, 2, 2, 30),
  };
  for (auto _ : state) {
    for (const StationFrame& frame : frames) {
      reader.HandleFrame(frame);
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(frames.size()));
}
BENCHMARK(BM_ReaderPerFrame);

// A whole download of 60,000 records from the simulated console, as fast as the reader reads.
void BM_HistoryDownload60000(benchmark::State& state) {
  static HistoryStore store;
  ConsoleOptions options;
  options.historyRecords = 60000;
  // No live texts, upload texts or time requests in between.
  options.periods.live = std::chrono::seconds(0);
  options.periods.wu = std::chrono::seconds(0);
  options.periods.weathercloud = std::chrono::seconds(0);
  options.periods.timeRequest = std::chrono::seconds(0);
  SimulatedConsole console(options);
  for (auto _ : state) {
    SharedState shared;
    shared.linkConnected = true;
    shared.SetExportFileName("/dev/null");
    LinkCounters counters;
    NoOpMessages messages;
    StationReader reader({console, shared, counters, &store, messages});
    PrepareHistoryDownload(shared, store);
    SendCommand(console, shared, CMD_HISTORY);
    while (messages.completed == 0) {
      reader.RunPass();
    }
  }
  state.SetItemsProcessed(state.iterations() * 60000);
}
BENCHMARK(BM_HistoryDownload60000)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace nimbrel
