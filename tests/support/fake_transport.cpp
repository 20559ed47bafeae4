#include "tests/support/fake_transport.h"

#include <algorithm>

namespace nimbrel::testing {

void FakeTransport::QueueFrame(const StationFrame& frame) {
  std::lock_guard lock(mutex_);
  script_.push_back({false, frame});
  changed_.notify_all();
}

void FakeTransport::QueueReadError() {
  std::lock_guard lock(mutex_);
  script_.push_back({true, {}});
  changed_.notify_all();
}

void FakeTransport::SetValid(bool valid) {
  std::lock_guard lock(mutex_);
  valid_ = valid;
}

void FakeTransport::SetWritesFail(bool fail) {
  std::lock_guard lock(mutex_);
  writesFail_ = fail;
}

std::vector<StationCommand> FakeTransport::Commands() const {
  std::lock_guard lock(mutex_);
  return commands_;
}

void FakeTransport::ClearCommands() {
  std::lock_guard lock(mutex_);
  commands_.clear();
}

bool FakeTransport::WaitUntilDrained(std::chrono::milliseconds timeout) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, timeout,
                           [this] { return script_.empty() && !frameBeingHandled_; });
}

ReadResult FakeTransport::ReadFrame(StationFrame& frame, std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  // A new read means the reader has finished with the frame before.
  frameBeingHandled_ = false;
  changed_.notify_all();
  const auto wait = std::min(timeout, std::chrono::milliseconds(20));
  if (!changed_.wait_for(lock, wait, [this] { return !script_.empty(); })) {
    return ReadResult::kTimeout;
  }
  const Step step = script_.front();
  script_.pop_front();
  if (step.error) {
    changed_.notify_all();
    return ReadResult::kError;
  }
  frame = step.frame;
  frameBeingHandled_ = true;
  return ReadResult::kFrame;
}

bool FakeTransport::WriteCommand(const StationCommand& command) {
  std::lock_guard lock(mutex_);
  commands_.push_back(command);
  return !writesFail_;
}

bool FakeTransport::IsValid() const {
  std::lock_guard lock(mutex_);
  return valid_;
}

}  // namespace nimbrel::testing
