#pragma once

#include <memory>
#include <optional>
#include <string>

#include "cli/options.h"
#include "readings/unit_settings.h"
#include "station/device.h"

namespace nimbrel::cli {

// The console to talk to: the USB console, or the built-in one with --simulate. Returns nullptr
// and an error text when the built-in console's options are wrong.
std::unique_ptr<HidBackend> MakeConsoleBackend(const GlobalOptions& options, std::string& error);

// The units for this run: the saved ones, with the command line's choices on top.
UnitSettings EffectiveUnits(const UnitOverrides& overrides);

}  // namespace nimbrel::cli
