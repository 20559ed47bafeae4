// SPDX-License-Identifier: GPL-3.0-or-later
// The station reader fed arbitrary frame sequences. Each 65-byte chunk of the input is one step:
// its first byte chooses what the program does around the frame (export file chosen, cancels,
// a good or a bad CRC), the other 64 are the frame's bytes after the report ID.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "station/reader.h"

namespace {

using namespace nimbrel;

// Reads nothing by itself; counts what the reader writes.
class NullTransport : public StationTransport {
 public:
  ReadResult ReadFrame(StationFrame&, std::chrono::milliseconds) override {
    return ReadResult::kTimeout;
  }
  bool WriteCommand(const StationCommand&) override { return true; }
  bool IsValid() const override { return true; }
};

void Check(bool condition) {
  if (!condition) {
    std::abort();
  }
}

// A hand-off must always carry a terminated text inside its buffer.
template <std::size_t N>
void CheckTerminated(const std::array<char, N>& text) {
  bool terminated = false;
  for (char c : text) {
    terminated = terminated || c == '\0';
  }
  Check(terminated);
}

class CheckingMessages : public ReaderMessages {
 public:
  explicit CheckingMessages(const SharedState& state) : state_(state) {}
  void LiveMessage(const HistoryRecord& text) override { CheckTerminated(text); }
  void WuMessage(const ParamBuffer& text) override { CheckTerminated(text); }
  void WeathercloudMessage(const ParamBuffer& text) override { CheckTerminated(text); }
  void TimeRequest() override {}
  void NoHistory() override {}
  void HistoryComplete() override { Check(state_.historyReady); }
  void HistoryStart(int count) override { Check(count >= 1 && count <= 65535); }
  void HistoryEndedEarly(int arrived, int count) override {
    Check(!state_.downloadActive && arrived >= 0 && arrived < count);
  }
  void HistoryProgress(int accounted) override {
    Check(accounted >= 0 && accounted <= state_.historyTotal);
  }

 private:
  const SharedState& state_;
};

HistoryStore& Store() {
  static HistoryStore store;  // 27 MB: made once for the whole run
  return store;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  NullTransport transport;
  SharedState state;
  LinkCounters counters;
  state.linkConnected = true;
  CheckingMessages messages(state);
  StationReader reader({transport, state, counters, &Store(), messages});
  for (std::size_t at = 0; at + kFrameSize <= size; at += kFrameSize) {
    const std::uint8_t control = data[at];
    state.SetExportFileName(control & 1 ? "/tmp/fuzz.csv" : "");
    if (control & 2) {
      state.downloadCancelled = true;
    }
    if (control & 4) {
      state.historyRequested = true;
    }
    StationFrame frame{};
    std::copy(data + at + 1, data + at + kFrameSize, frame.begin() + 1);
    if (control & 8) {  // most sequences need frames that pass the CRC to get anywhere
      const std::uint16_t crc = StationCrc16(frame.data(), 1, kFrameCrcHigh);
      frame[kFrameCrcHigh] = static_cast<std::uint8_t>(crc >> 8);
      frame[kFrameCrcLow] = static_cast<std::uint8_t>(crc);
    }
    reader.HandleFrame(frame);
    for (const int expected : counters.expectedFrame) {
      Check(expected >= 0 && expected <= 15);
    }
    Check(counters.badRecordCrc >= 0 && counters.badRecordCrc < 10);
    Check(counters.badOtherCrc >= 0 && counters.badOtherCrc < 10);
    Check(counters.givenUpCount >= 0);
  }
  return 0;
}
