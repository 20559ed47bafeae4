// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string_view>

namespace nimbrel {

// Where the settings values live: the registry on Windows, one file per value elsewhere. A value
// is a named run of bytes; the store above decides sizes and layouts.
class SettingsBackend {
 public:
  virtual ~SettingsBackend() = default;

  // Copies the bytes of the value into `destination` and returns how many there are. Returns
  // nothing when the value is missing, cannot be read or holds more bytes than `destination`;
  // `destination` may then hold anything.
  virtual std::optional<std::size_t> ReadValue(std::string_view name,
                                               std::span<std::byte> destination) const = 0;

  // Replaces the value with exactly these bytes, creating whatever it needs on the way.
  virtual bool WriteValue(std::string_view name, std::span<const std::byte> bytes) = 0;
};

}  // namespace nimbrel
