// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <functional>
#include <thread>

namespace nimbrel {

// Turns Ctrl-C (SIGINT) and SIGTERM, or on Windows the console's Ctrl-C, Ctrl-Break and close,
// into a flag and a callback, on a thread of its own, so no signal handler touches the program's
// state. Create it before any other thread: the signals are blocked in the creating thread and in
// every thread started after it.
class InterruptWatcher {
 public:
  explicit InterruptWatcher(std::function<void()> onInterrupt);
  InterruptWatcher(const InterruptWatcher&) = delete;
  InterruptWatcher& operator=(const InterruptWatcher&) = delete;
  ~InterruptWatcher();

  bool Interrupted() const { return interrupted_; }

 private:
  void Watch();

  std::function<void()> onInterrupt_;
  std::atomic<bool> interrupted_{false};
#ifdef _WIN32
  // The interrupt and the end of watching, as Win32 events.
  void* interruptEvent_ = nullptr;
  void* stopEvent_ = nullptr;
#endif
  std::thread thread_;
};

}  // namespace nimbrel
