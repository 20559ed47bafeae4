// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/timed_writer.h"

#include <utility>

namespace nimbrel {

TimedWriter::TimedWriter(WriteFunction write)
    : write_(std::move(write)), thread_([this] { Serve(); }) {}

TimedWriter::~TimedWriter() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

bool TimedWriter::Write(const StationCommand& command, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  std::unique_lock lock(mutex_);
  // One caller at a time, and only once the previous write has ended.
  if (!changed_.wait_until(lock, deadline, [this] { return !callerActive_ && !busy_; })) {
    return false;  // another caller is served, or the previous write still hangs
  }
  callerActive_ = true;
  pending_ = command;
  hasPending_ = true;
  busy_ = true;
  const std::uint64_t ticket = ++posted_;
  changed_.notify_all();
  const bool finished = changed_.wait_until(lock, deadline, [&] { return finished_ == ticket; });
  callerActive_ = false;
  changed_.notify_all();
  return finished && result_;
}

void TimedWriter::Serve() {
  std::unique_lock lock(mutex_);
  while (true) {
    changed_.wait(lock, [this] { return hasPending_ || stop_; });
    if (!hasPending_) {
      return;
    }
    const StationCommand command = pending_;
    const std::uint64_t ticket = posted_;
    hasPending_ = false;
    lock.unlock();
    const bool written = write_(command);
    lock.lock();
    result_ = written;
    finished_ = ticket;
    busy_ = false;
    changed_.notify_all();
  }
}

}  // namespace nimbrel
