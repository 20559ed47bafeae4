#include "cli/environment.h"

#include "platform/hidapi_backend.h"
#include "platform/settings_user.h"
#include "settings/settings_store.h"

namespace nimbrel::cli {

std::unique_ptr<HidBackend> MakeConsoleBackend(const GlobalOptions& options, std::string& error) {
  if (options.simulate) {
    error = "the built-in console is not available in this build";
    return nullptr;
  }
  return std::make_unique<HidapiBackend>();
}

UnitSettings EffectiveUnits(const UnitOverrides& overrides) {
  const std::unique_ptr<SettingsBackend> backend = OpenUserSettingsBackend();
  const SettingsStore store(*backend);
  return overrides.AppliedTo(store.ReadUnitSettings());
}

}  // namespace nimbrel::cli
