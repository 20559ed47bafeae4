// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "simulator/console_options.h"
#include "simulator/simulated_console.h"
#include "station/device.h"

namespace nimbrel {

// The console the program talks to: the USB console (through hidapi, or Win32 on Windows), or the
// built-in simulated one (which then lives as long as this object).
struct ConsoleSource {
  std::unique_ptr<SimulatedConsole> simulated;
  std::unique_ptr<HidBackend> backend;

  // The simulated console's next plug or unplug, for the arrival and removal sequences; nothing
  // for the USB console, whose changes come from the system.
  std::optional<DeviceChange> PollSimulatedChange();
};

// With `simulated` set, a simulated console with these options; otherwise the USB console.
ConsoleSource MakeConsoleSource(const std::optional<ConsoleOptions>& simulated);

}  // namespace nimbrel
