#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "station/commands.h"
#include "station/reader.h"
#include "tests/support/fake_transport.h"
#include "tests/support/frames.h"
#include "tests/support/recording_messages.h"

namespace nimbrel::testing {

// A reader wired to a fake transport and a recorder, fed one frame at a time.
class ReaderTest : public ::testing::Test {
 protected:
  ReaderTest() { state.linkConnected = true; }

  StationReader& Reader() {
    if (!reader_) {
      reader_ = std::make_unique<StationReader>(
          StationReader::Link{transport, state, counters, &store, messages});
    }
    return *reader_;
  }
  // A new reader with the same process-wide counters, as after a reconnection.
  void RestartReader() { reader_.reset(); }

  void Feed(const StationFrame& frame) { Reader().HandleFrame(frame); }
  void Feed(const std::vector<StationFrame>& frames) {
    for (const auto& frame : frames) {
      Feed(frame);
    }
  }

  // The text of a history record as the console would send it.
  static std::string RecordLine(int index) {
    return "50 2026-3-" + std::to_string(1 + index % 28) + " 12:" + std::to_string(10 + index) +
           " 21.5 40 -3.2 85 0.0 0.0 5.4 7.2 270 W 1013.2 1009.8 2 -5.1 -3.2";
  }
  std::vector<StationFrame> HistoryFrames(unsigned count, unsigned number) {
    std::uint8_t header[4];
    HistoryHeader(header, count, number);
    return MessageFrames(MSG_RECORD, header, RecordLine(static_cast<int>(number)));
  }
  static std::vector<StationFrame> LiveFrames(std::string_view text) {
    const std::uint8_t header[4] = {0, 0, 0, 0};
    return MessageFrames(MSG_RECORD, header, text);
  }
  std::string SlotText(std::size_t slot) const { return std::string(RecordText(store.Slot(slot))); }

  FakeTransport transport;
  SharedState state;
  LinkCounters counters;
  HistoryStore store;
  RecordingMessages messages;

 private:
  std::unique_ptr<StationReader> reader_;
};

}  // namespace nimbrel::testing
