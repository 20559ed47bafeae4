// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>

#include "station/frame.h"

namespace nimbrel {

enum class ReadResult {
  kFrame,    // one whole frame was read
  kTimeout,  // nothing arrived in time; not an error
  kError,    // the read could not be done (device gone, handle closed)
};

// What the protocol sees of the device: read one frame, write one command, tell whether the
// handle is valid. Reads happen on the reader thread; writes may come from any thread.
class StationTransport {
 public:
  // Longest wait of one read, so that a stop request is seen within it.
  static constexpr std::chrono::milliseconds kReadTimeout{100};
  // Longest wait of one write, so that a vanished device cannot freeze a caller.
  static constexpr std::chrono::milliseconds kWriteTimeout{2000};

  virtual ~StationTransport() = default;

  // Reads one frame into `frame` (byte 0 is the report ID, 0), waiting at most `timeout`.
  virtual ReadResult ReadFrame(StationFrame& frame, std::chrono::milliseconds timeout) = 0;

  // Writes one command; false when it was not written within kWriteTimeout.
  virtual bool WriteCommand(const StationCommand& command) = 0;

  virtual bool IsValid() const = 0;
};

}  // namespace nimbrel
