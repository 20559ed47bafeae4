// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string_view>

#include "settings/settings_backend.h"

namespace nimbrel {

// The values in the current user's registry: value <name> of type REG_BINARY in the key
// HKEY_CURRENT_USER\Software\Veltrane\VID_1941&PID_8021\<name>.
class RegistrySettingsBackend final : public SettingsBackend {
 public:
  // A value of another type is read like a binary one when its size fits.
  std::optional<std::size_t> ReadValue(std::string_view name,
                                       std::span<std::byte> destination) const override;
  bool WriteValue(std::string_view name, std::span<const std::byte> bytes) override;
};

}  // namespace nimbrel
