// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/console_source.h"

#include "platform/hidapi_backend.h"

namespace nimbrel {

std::optional<DeviceChange> ConsoleSource::PollSimulatedChange() {
  return simulated ? simulated->PollDeviceChange() : std::nullopt;
}

ConsoleSource MakeConsoleSource(const std::optional<ConsoleOptions>& simulated) {
  ConsoleSource source;
  if (simulated) {
    source.simulated = std::make_unique<SimulatedConsole>(*simulated);
    source.backend = std::make_unique<SimulatedHidBackend>(*source.simulated);
  } else {
    source.backend = std::make_unique<HidapiBackend>();
  }
  return source;
}

}  // namespace nimbrel
