// SPDX-License-Identifier: GPL-3.0-or-later
#include "station/link.h"

#include <thread>

#include "station/commands.h"

namespace nimbrel {

bool SendCommand(StationTransport& transport, const SharedState& state,
                 const StationCommand& command) {
  if (!state.linkConnected) {
    return false;
  }
  return transport.WriteCommand(command);
}

void PrepareHistoryDownload(SharedState& state, HistoryStore& store) {
  state.downloadCancelled = false;
  state.historyReady = false;
  store.Clear();
  state.historyRequested = true;
}

void SendDateTime(StationTransport& transport, const SharedState& state, const LocalDateTime& now,
                  const std::function<void(std::chrono::milliseconds)>& sleep) {
  SendCommand(transport, state, MakeSetDateCommand(now.year, now.month, now.day));
  sleep(std::chrono::milliseconds(100));
  SendCommand(transport, state, MakeSetTimeCommand(now.hour, now.minute, now.second));
}

void SendDateTime(StationTransport& transport, const SharedState& state) {
  SendDateTime(transport, state, LocalNow(),
               [](std::chrono::milliseconds pause) { std::this_thread::sleep_for(pause); });
}

}  // namespace nimbrel
