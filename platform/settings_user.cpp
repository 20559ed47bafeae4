// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/settings_user.h"

#ifdef _WIN32
#include "platform/settings_registry.h"
#else
#include "platform/settings_files.h"
#endif

namespace nimbrel {

std::unique_ptr<SettingsBackend> OpenUserSettingsBackend() {
#ifdef _WIN32
  return std::make_unique<RegistrySettingsBackend>();
#else
  return std::make_unique<FileSettingsBackend>(UserSettingsDirectory().value_or(""));
#endif
}

}  // namespace nimbrel
