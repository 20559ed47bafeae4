// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/environment.h"

#include "platform/settings_user.h"
#include "settings/settings_store.h"

namespace nimbrel::cli {

std::optional<ConsoleSource> MakeConsole(const GlobalOptions& options, std::string& error) {
  if (!options.simulate) {
    if (!options.console.empty()) {
      error = options.console.front().name + " needs --simulate";
      return std::nullopt;
    }
    return MakeConsoleSource(std::nullopt);
  }
  ConsoleOptions console;
  for (const ConsoleOption& option : options.console) {
    const auto failure = ApplyConsoleOption(option.name, option.value, console);
    if (!failure) {
      error = "unknown option " + option.name;
      return std::nullopt;
    }
    if (!failure->empty()) {
      error = *failure;
      return std::nullopt;
    }
  }
  return MakeConsoleSource(console);
}

UnitSettings EffectiveUnits(const UnitOverrides& overrides) {
  const std::unique_ptr<SettingsBackend> backend = OpenUserSettingsBackend();
  const SettingsStore store(*backend);
  return overrides.AppliedTo(store.ReadUnitSettings());
}

unsigned EffectiveRainSeasonStart(const GlobalOptions& options) {
  if (options.rainSeasonStart) {
    return *options.rainSeasonStart;
  }
  const std::unique_ptr<SettingsBackend> backend = OpenUserSettingsBackend();
  return SettingsStore(*backend).ReadRainSeasonStart();
}

}  // namespace nimbrel::cli
