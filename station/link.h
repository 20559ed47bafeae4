// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <functional>

#include "export/history_store.h"
#include "record/record_time.h"
#include "station/frame.h"
#include "station/shared_state.h"
#include "station/transport.h"

namespace nimbrel {

// Sends one command: true when written. Nothing is written, and false is returned, while the
// console is not connected.
bool SendCommand(StationTransport& transport, const SharedState& state,
                 const StationCommand& command);

// Readies a history download before CMD_HISTORY is sent: history frames are taken again, the
// store is emptied and the reader starts the download's bookkeeping afresh.
void PrepareHistoryDownload(SharedState& state, HistoryStore& store);

// Answers the console's time request: CMD_SET_DATE, a pause of 100 ms, CMD_SET_TIME.
// Results are not examined. `sleep` is replaceable for tests.
void SendDateTime(StationTransport& transport, const SharedState& state, const LocalDateTime& now,
                  const std::function<void(std::chrono::milliseconds)>& sleep);
void SendDateTime(StationTransport& transport, const SharedState& state);

}  // namespace nimbrel
