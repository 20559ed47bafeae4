// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "readings/unit_settings.h"

namespace nimbrel::cli {

// Unit choices given on the command line; the rest come from the saved settings.
struct UnitOverrides {
  std::optional<TemperatureUnit> temperature;
  std::optional<RainUnit> rain;
  std::optional<PressureUnit> pressure;
  std::optional<WindSpeedUnit> windSpeed;
  std::optional<PressureType> pressureType;
  std::optional<WindDirectionFormat> direction;

  UnitSettings AppliedTo(UnitSettings saved) const;
};

// An option of the built-in console (--console-...), passed on as given.
struct ConsoleOption {
  std::string name;
  std::string value;
};

struct GlobalOptions {
  bool simulate = false;
  bool help = false;
  bool version = false;
  UnitOverrides units;
  std::string archive;          // empty: the archive's default file
  long archiveLiveMinutes = 5;  // keep a live reading every this many minutes; 0 keeps none
  std::optional<unsigned> rainSeasonStart;  // 1 to 12; nothing: the saved month
  std::vector<ConsoleOption> console;
  std::string command;
  std::vector<std::string_view> commandArgs;
};

// Parses the options before the command. Returns an error text for a bad option.
std::optional<std::string> ParseGlobalOptions(const std::vector<std::string_view>& args,
                                              GlobalOptions& options);

// A whole positive number, as typed after --count and the like.
bool ParsePositive(std::string_view text, long& value);

}  // namespace nimbrel::cli
