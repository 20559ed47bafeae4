// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "station/commands.h"
#include "station/reader.h"

namespace nimbrel::testing {

using Events = std::vector<std::string>;
using Commands = std::vector<StationCommand>;

// A frame as the console sends it, with a good CRC unless told otherwise.
struct FrameShape {
  std::uint8_t type = MSG_RECORD;
  std::uint8_t header[4] = {0, 0, 0, 0};  // bytes 2-5
  int number = 1;                         // this frame, 1-based
  int count = 1;                          // frames in the message
  std::string_view payload;               // at most 54 bytes are placed
  int lengthByte = -1;                    // byte 7; -1: the payload's length
  bool badCrc = false;
};
inline StationFrame MakeFrame(const FrameShape& shape) {
  StationFrame frame{};
  frame[kFrameType] = shape.type;
  std::copy_n(shape.header, 4, frame.begin() + 2);
  frame[kFramePosition] = static_cast<std::uint8_t>(shape.count << 4 | shape.number);
  const std::size_t placed = std::min(shape.payload.size(), kMaxPayload);
  std::copy_n(shape.payload.begin(), placed, frame.begin() + kFramePayload);
  frame[kFramePayloadLength] = static_cast<std::uint8_t>(
      shape.lengthByte >= 0 ? static_cast<std::size_t>(shape.lengthByte) : placed);
  const unsigned crc = StationCrc16(frame.data(), 1, kFrameCrcHigh) ^ (shape.badCrc ? 0xFF : 0);
  frame[kFrameCrcHigh] = static_cast<std::uint8_t>(crc >> 8);
  frame[kFrameCrcLow] = static_cast<std::uint8_t>(crc);
  return frame;
}

// The frames of one message, 54 bytes a frame; record count and number go in bytes 2-5.
inline std::vector<StationFrame> MessageFrames(std::uint8_t type, std::string_view text,
                                               unsigned count = 0, unsigned number = 0) {
  const int frames = static_cast<int>(std::max<std::size_t>(1, (text.size() + 53) / 54));
  std::vector<StationFrame> result;
  for (int i = 1; i <= frames; ++i) {
    const auto at = std::min(text.size(), static_cast<std::size_t>(i - 1) * 54);
    result.push_back(MakeFrame({type,
                                {std::uint8_t(count >> 8), std::uint8_t(count),
                                 std::uint8_t(number >> 8), std::uint8_t(number)},
                                i,
                                frames,
                                text.substr(at, 54)}));
  }
  return result;
}

// Records every hand-off of the reader in order, one line each ("live <text>", "progress 2").
class RecordingMessages : public ReaderMessages {
 public:
  void LiveMessage(const HistoryRecord& text) override { Record("live ", RecordText(text)); }
  void WuMessage(const ParamBuffer& text) override { Record("wu ", text.data()); }
  void WeathercloudMessage(const ParamBuffer& text) override { Record("wc ", text.data()); }
  void TimeRequest() override { Record("time"); }
  void NoHistory() override { Record("no-history"); }
  void HistoryComplete() override { Record("complete"); }
  void HistoryStart(int count) override { Record("start ", std::to_string(count)); }
  void HistoryProgress(int accounted) override { Record("progress ", std::to_string(accounted)); }
  void HistoryEndedEarly(int arrived, int count) override {
    Record("ended ", std::to_string(arrived) + " of " + std::to_string(count));
  }
  Events Get() const {
    std::lock_guard lock(mutex_);
    return events_;
  }
  bool Saw(const std::string& event) const {
    const Events events = Get();
    return std::find(events.begin(), events.end(), event) != events.end();
  }
  void Clear() {
    std::lock_guard lock(mutex_);
    events_.clear();
  }

 private:
  void Record(std::string_view what, std::string_view text = {}) {
    std::lock_guard lock(mutex_);
    events_.push_back(std::string(what).append(text));
  }
  mutable std::mutex mutex_;
  Events events_;
};

// A transport driven by a script: queued frames are read in order, every command written is
// recorded, and a read with nothing queued times out after a short wait.
class FakeTransport : public StationTransport {
 public:
  void Queue(const StationFrame& frame, bool readError = false) {
    std::lock_guard lock(mutex_);
    script_.push_back({readError, frame});
    changed_.notify_all();
  }
  Commands Written() const {
    std::lock_guard lock(mutex_);
    return commands_;
  }
  // The answers written, a letter each: A/N accept or refuse a frame, a/n a record frame.
  std::string Answers() const {
    std::string letters;
    for (const StationCommand& c : Written()) {
      letters += c == CMD_ACK ? 'A' : c == CMD_NAK ? 'N' : c == CMD_RECORD_ACK ? 'a' : 'n';
    }
    return letters;
  }
  // Until every queued frame has been read and handled (the reader asked for the next one).
  bool WaitUntilDrained() const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(5),
                             [this] { return script_.empty() && !handling_; });
  }
  ReadResult ReadFrame(StationFrame& frame, std::chrono::milliseconds timeout) override {
    if (++inside > 1) {
      overlapped = true;
    }
    std::unique_lock lock(mutex_);
    handling_ = false;
    changed_.notify_all();
    ReadResult result = ReadResult::kTimeout;
    if (changed_.wait_for(lock, std::min(timeout, std::chrono::milliseconds(20)),
                          [this] { return !script_.empty(); })) {
      result = script_.front().first ? ReadResult::kError : ReadResult::kFrame;
      frame = script_.front().second;
      script_.pop_front();
      handling_ = result == ReadResult::kFrame;
      changed_.notify_all();
    }
    --inside;
    return result;
  }
  bool WriteCommand(const StationCommand& command) override {
    std::lock_guard lock(mutex_);
    commands_.push_back(command);
    return !writesFail;
  }
  bool IsValid() const override { return valid; }

  std::atomic<bool> valid{true};
  std::atomic<bool> writesFail{false};  // writes fail (and are still recorded)
  std::atomic<int> inside{0};
  std::atomic<bool> overlapped{false};  // two readers were inside a read at once

 private:
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  std::deque<std::pair<bool, StationFrame>> script_;  // (read error, frame)
  Commands commands_;
  bool handling_ = false;
};

// What a reader is wired to besides its transport.
struct ReaderSide {
  StationReader::Link LinkTo(StationTransport& transport) {
    return {transport, state, counters, &store, messages};
  }
  std::string Slot(std::size_t slot) const { return std::string(RecordText(store.Slot(slot))); }

  SharedState state;
  LinkCounters counters;
  HistoryStore store;
  RecordingMessages messages;
};

}  // namespace nimbrel::testing
