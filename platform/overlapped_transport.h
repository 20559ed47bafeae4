// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>

#include "platform/win32_handle.h"
#include "station/transport.h"

namespace nimbrel {

// Frames and commands over a handle opened with FILE_FLAG_OVERLAPPED: the console's HID
// interface, or any other handle that delivers one report per read (a message-mode pipe in the
// tests). A frame is one 65-byte read, report ID first; a command is one 9-byte write.
//
// A read that times out stays outstanding and the next ReadFrame waits for it again, so no report
// is lost between two calls; its buffer and OVERLAPPED live in this object, which cancels the read
// and waits for it before it closes the handle. Reads come from one thread at a time; writes may
// come from any thread, each with its own OVERLAPPED.
class OverlappedTransport : public StationTransport {
 public:
  explicit OverlappedTransport(UniqueHandle handle);
  OverlappedTransport(const OverlappedTransport&) = delete;
  OverlappedTransport& operator=(const OverlappedTransport&) = delete;
  ~OverlappedTransport() override;

  ReadResult ReadFrame(StationFrame& frame, std::chrono::milliseconds timeout) override;
  bool WriteCommand(const StationCommand& command) override;
  bool IsValid() const override { return !failed_; }

 private:
  // Starts a read unless one is outstanding; false when the handle refuses it.
  bool StartRead();
  // Collects the outstanding read once its event is set.
  ReadResult FinishRead(StationFrame& frame);
  ReadResult Fail();
  bool FailWrite(DWORD error);

  UniqueHandle handle_;
  UniqueHandle readEvent_;
  OVERLAPPED readOverlapped_{};
  StationFrame readBuffer_{};
  bool readPending_ = false;
  std::atomic<bool> failed_{false};
};

}  // namespace nimbrel
