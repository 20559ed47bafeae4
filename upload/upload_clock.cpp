// SPDX-License-Identifier: GPL-3.0-or-later
#include "upload/upload_clock.h"

#include <condition_variable>
#include <mutex>

namespace nimbrel {

std::chrono::milliseconds SteadyUploadClock::Now() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now().time_since_epoch());
}

bool SteadyUploadClock::Sleep(std::chrono::milliseconds pause, std::stop_token stop) {
  // Nothing ever notifies this condition: only the stop request ends the wait early.
  std::mutex mutex;
  std::condition_variable_any never;
  std::unique_lock lock(mutex);
  never.wait_for(lock, stop, pause, [] { return false; });
  return !stop.stop_requested();
}

}  // namespace nimbrel
