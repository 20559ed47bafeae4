// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/overlapped_transport.h"

namespace nimbrel {

namespace {

DWORD Milliseconds(std::chrono::milliseconds timeout) {
  return timeout.count() <= 0 ? 0 : static_cast<DWORD>(timeout.count());
}

// Errors after which the handle is of no more use: the device was unplugged, or the other end of
// a pipe closed.
bool MeansGone(DWORD error) {
  switch (error) {
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_DEV_NOT_EXIST:
    case ERROR_FILE_NOT_FOUND:
    case ERROR_INVALID_HANDLE:
    case ERROR_BROKEN_PIPE:
    case ERROR_NO_DATA:
    case ERROR_PIPE_NOT_CONNECTED:
      return true;
    default:
      return false;
  }
}

}  // namespace

OverlappedTransport::OverlappedTransport(UniqueHandle handle)
    : handle_(std::move(handle)), readEvent_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
  if (!handle_ || !readEvent_) {
    failed_ = true;
  }
}

OverlappedTransport::~OverlappedTransport() {
  if (readPending_) {
    // The kernel may still write into readBuffer_: take the read back before this object goes.
    ::CancelIoEx(handle_.Get(), &readOverlapped_);
    DWORD ignored = 0;
    ::GetOverlappedResult(handle_.Get(), &readOverlapped_, &ignored, TRUE);
  }
}

ReadResult OverlappedTransport::Fail() {
  failed_ = true;
  return ReadResult::kError;
}

bool OverlappedTransport::FailWrite(DWORD error) {
  // A write that timed out leaves the handle good; one the device is gone for does not.
  if (MeansGone(error)) {
    failed_ = true;
  }
  return false;
}

bool OverlappedTransport::StartRead() {
  if (readPending_) {
    return true;
  }
  readBuffer_.fill(0);
  readOverlapped_ = OVERLAPPED{};
  readOverlapped_.hEvent = readEvent_.Get();
  if (!::ReadFile(handle_.Get(), readBuffer_.data(), static_cast<DWORD>(readBuffer_.size()),
                  nullptr, &readOverlapped_) &&
      ::GetLastError() != ERROR_IO_PENDING) {
    return false;
  }
  // Finished at once or not, the event is set on completion and the result fetched from it.
  readPending_ = true;
  return true;
}

ReadResult OverlappedTransport::FinishRead(StationFrame& frame) {
  readPending_ = false;
  DWORD received = 0;
  if (!::GetOverlappedResult(handle_.Get(), &readOverlapped_, &received, FALSE)) {
    // A read is cancelled when the thread that started it ends (a reader that stopped while it
    // was waiting); the handle is still good, the next one starts a new read.
    return ::GetLastError() == ERROR_OPERATION_ABORTED ? ReadResult::kTimeout : Fail();
  }
  frame = readBuffer_;
  return ReadResult::kFrame;
}

ReadResult OverlappedTransport::ReadFrame(StationFrame& frame, std::chrono::milliseconds timeout) {
  if (failed_) {
    return ReadResult::kError;
  }
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  // The second round is for a read found cancelled: a new one gets the rest of the time.
  for (int round = 0; round < 2; ++round) {
    if (!StartRead()) {
      return Fail();
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    const DWORD waited = ::WaitForSingleObject(readEvent_.Get(), Milliseconds(left));
    if (waited == WAIT_TIMEOUT) {
      return ReadResult::kTimeout;  // the read stays outstanding for the next call
    }
    if (waited != WAIT_OBJECT_0) {
      return Fail();
    }
    const ReadResult result = FinishRead(frame);
    if (result != ReadResult::kTimeout) {
      return result;
    }
  }
  return ReadResult::kTimeout;
}

bool OverlappedTransport::WriteCommand(const StationCommand& command) {
  if (failed_) {
    return false;
  }
  UniqueHandle event(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!event) {
    return false;
  }
  // The kernel reads from these until the write is over, which is before this call returns.
  StationCommand buffer = command;
  OVERLAPPED overlapped{};
  overlapped.hEvent = event.Get();
  if (!::WriteFile(handle_.Get(), buffer.data(), static_cast<DWORD>(buffer.size()), nullptr,
                   &overlapped)) {
    const DWORD error = ::GetLastError();
    if (error != ERROR_IO_PENDING) {
      return FailWrite(error);
    }
  }
  if (::WaitForSingleObject(event.Get(), Milliseconds(kWriteTimeout)) != WAIT_OBJECT_0) {
    // A console that stops taking commands must not hold the caller: cancel, then wait for the
    // cancellation, which the HID driver completes at once.
    ::CancelIoEx(handle_.Get(), &overlapped);
  }
  DWORD written = 0;
  if (!::GetOverlappedResult(handle_.Get(), &overlapped, &written, TRUE)) {
    return FailWrite(::GetLastError());
  }
  return written == buffer.size();
}

}  // namespace nimbrel
