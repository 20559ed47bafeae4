// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/console_source.h"

#include "platform/console_lock.h"

#ifdef _WIN32
#include "platform/hid_win32.h"
#else
#include "platform/hidapi_backend.h"
#endif

namespace nimbrel {

std::optional<DeviceChange> ConsoleSource::PollSimulatedChange() {
  return simulated ? simulated->PollDeviceChange() : std::nullopt;
}

ConsoleSource MakeConsoleSource(const std::optional<ConsoleOptions>& simulated) {
  ConsoleSource source;
  if (simulated) {
    source.simulated = std::make_unique<SimulatedConsole>(*simulated);
    source.backend = std::make_unique<SimulatedHidBackend>(*source.simulated);
    if (simulated->lockNode) {
      source.backend =
          std::make_unique<ClaimingBackend>(std::move(source.backend), simulated->lockNode);
    }
  } else {
    // The USB console is opened only under its lock, by every part of the program.
#ifdef _WIN32
    source.backend = std::make_unique<ClaimingBackend>(std::make_unique<Win32HidBackend>());
#else
    source.backend = std::make_unique<ClaimingBackend>(std::make_unique<HidapiBackend>());
#endif
  }
  return source;
}

}  // namespace nimbrel
