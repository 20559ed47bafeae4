// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "cli/options.h"
#include "platform/console_source.h"
#include "readings/unit_settings.h"

namespace nimbrel::cli {

// The console to talk to: the USB console, or the built-in one with --simulate. Nothing, and an
// error text, when the built-in console's options are wrong.
std::optional<ConsoleSource> MakeConsole(const GlobalOptions& options, std::string& error);

// The units for this run: the saved ones, with the command line's choices on top.
UnitSettings EffectiveUnits(const UnitOverrides& overrides);

// The month (1 to 12) the rain season starts in for this run: the command line's, else the saved.
unsigned EffectiveRainSeasonStart(const GlobalOptions& options);

}  // namespace nimbrel::cli
