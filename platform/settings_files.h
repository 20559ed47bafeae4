// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <span>
#include <string_view>
#include <utility>

#include "settings/settings_backend.h"

namespace nimbrel {

// The folder of the settings files: <config>/Veltrane/VID_1941&PID_8021, where <config> is
// XDG_CONFIG_HOME when it is an absolute path and HOME/.config otherwise. Nothing when neither
// names a folder. Either argument may be null.
std::optional<std::filesystem::path> SettingsDirectory(const char* xdgConfigHome, const char* home);
// The same from this process's environment.
std::optional<std::filesystem::path> UserSettingsDirectory();

// One binary file per value, named as the value, in one folder. The files hold station keys, so
// they are readable by their owner only; each write replaces a whole file at once, so a crash
// leaves either the old value or the new one.
class FileSettingsBackend final : public SettingsBackend {
 public:
  explicit FileSettingsBackend(std::filesystem::path directory)
      : directory_(std::move(directory)) {}

  std::optional<std::size_t> ReadValue(std::string_view name,
                                       std::span<std::byte> destination) const override;
  bool WriteValue(std::string_view name, std::span<const std::byte> bytes) override;

  const std::filesystem::path& Directory() const { return directory_; }

 private:
  std::filesystem::path directory_;
};

}  // namespace nimbrel
