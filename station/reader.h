// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <thread>

#include "export/history_store.h"
#include "station/frame.h"
#include "station/messages.h"
#include "station/shared_state.h"
#include "station/transport.h"

namespace nimbrel {

// The reassembly channels: the record channel and the two upload-parameter channels.
enum class Channel : std::size_t { kRecord = 0, kWu = 1, kWeathercloud = 2 };
inline constexpr std::size_t kChannelCount = 3;

// Protocol bookkeeping that outlives one reader: a message cut short by a disconnection keeps its
// expected-frame counter, so the first message after reconnection fails the sequence test.
struct LinkCounters {
  std::array<int, kChannelCount> expectedFrame{};
  int badRecordCrc = 0;  // bad copies of a record-channel frame since its last accepted frame
  int badOtherCrc = 0;   // the same for every other frame type together
  int givenUpCount = 0;  // records given up since the last stored one
  std::optional<unsigned> lastGivenUp;  // record number of the last given-up frame
};

// The reader's side of the station protocol: checks, acknowledges and reassembles each frame,
// places history records and hands complete messages on.
class StationReader {
 public:
  // The tenth bad copy of a frame gives it up.
  static constexpr int kBadCopiesToGiveUp = 10;

  struct Link {
    StationTransport& transport;
    SharedState& state;
    LinkCounters& counters;
    HistoryStore* store;  // none for a command that never downloads: records are not kept
    ReaderMessages& messages;
  };

  explicit StationReader(const Link& link);

  // Reads frames until the stop flag is set.
  void Run();

  // One pass: read a frame (or wait for the handle) and handle it.
  void RunPass();

  // Handles one frame as read.
  void HandleFrame(const StationFrame& frame);

 private:
  void HandleRecordFrame(const StationFrame& frame, bool crcGood);
  void HandleOtherFrame(const StationFrame& frame, bool crcGood);
  // Ends a download for live data; true when that download was not complete.
  bool EndDownloadForLiveData();
  bool AcceptHistoryFrame(const StationFrame& frame);
  void GiveUpRecord(const StationFrame& frame);
  void StoreHistoryRecord();
  void Acknowledge(const StationCommand& command);
  // Adds a frame to its channel; true when the frame completed the message.
  bool Reassemble(Channel channel, const StationFrame& frame);
  // Waits up to `pause`, returning early when the stop flag is set.
  void Pause(std::chrono::milliseconds pause) const;

  Link link_;
  StationFrame frame_{};
  HistoryRecord recordText_{};
  ParamBuffer wuText_{};
  ParamBuffer weathercloudText_{};
  std::array<std::size_t, kChannelCount> offsets_{};
  long remaining_ = 0;  // history records still expected in this download
  int arrived_ = 0;     // records of this download placed in the store
};

// Runs one StationReader on its own thread. A new reader starts only after the previous one has
// ended, so two never run at once.
class ReaderThread {
 public:
  ReaderThread() = default;
  ReaderThread(const ReaderThread&) = delete;
  ReaderThread& operator=(const ReaderThread&) = delete;
  ~ReaderThread();

  // Stops and joins any previous reader, clears the stop flag and starts a new one.
  void Start(const StationReader::Link& link);

  // Sets the stop flag; the reader sees it within one read timeout.
  void RequestStop();

  // Waits until the reader has ended. The caller must not be the thread the reader's hand-offs
  // wait for, unless those hand-offs give up once the stop flag is set.
  void Join();

  bool Running() const { return thread_.joinable(); }

 private:
  std::thread thread_;
  SharedState* state_ = nullptr;
};

}  // namespace nimbrel
