// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/interrupt.h"

#include <pthread.h>
#include <signal.h>

#include <utility>

namespace nimbrel {

namespace {

// SIGUSR1 only wakes the watcher when it is to end.
sigset_t WatchedSignals() {
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  sigaddset(&signals, SIGUSR1);
  return signals;
}

}  // namespace

InterruptWatcher::InterruptWatcher(std::function<void()> onInterrupt)
    : onInterrupt_(std::move(onInterrupt)) {
  const sigset_t signals = WatchedSignals();
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  thread_ = std::thread([this] { Watch(); });
}

InterruptWatcher::~InterruptWatcher() {
  pthread_kill(thread_.native_handle(), SIGUSR1);
  thread_.join();
}

void InterruptWatcher::Watch() {
  const sigset_t signals = WatchedSignals();
  int signal = 0;
  while (sigwait(&signals, &signal) == 0 && signal != SIGUSR1) {
    interrupted_ = true;
    onInterrupt_();
  }
}

}  // namespace nimbrel
