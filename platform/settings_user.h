// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>

#include "settings/settings_backend.h"

namespace nimbrel {

// The current user's settings: the registry on Windows, the files of UserSettingsDirectory()
// elsewhere. Without a home folder every read finds nothing and every write fails, silently.
std::unique_ptr<SettingsBackend> OpenUserSettingsBackend();

}  // namespace nimbrel
