// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/settings_registry.h"

#include <string>

#include <windows.h>

namespace nimbrel {
namespace {

// Value names are ASCII.
std::wstring Widen(std::string_view name) {
  return std::wstring(name.begin(), name.end());
}

std::wstring KeyPath(std::string_view name) {
  return L"Software\\Veltrane\\VID_1941&PID_8021\\" + Widen(name);
}

// Closes the key it owns.
class KeyHandle {
 public:
  KeyHandle() = default;
  KeyHandle(const KeyHandle&) = delete;
  KeyHandle& operator=(const KeyHandle&) = delete;
  ~KeyHandle() {
    if (key_ != nullptr) {
      ::RegCloseKey(key_);
    }
  }

  HKEY* Out() { return &key_; }
  HKEY Get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

}  // namespace

std::optional<std::size_t> RegistrySettingsBackend::ReadValue(
    std::string_view name, std::span<std::byte> destination) const {
  // Opening only: a read never creates a key.
  KeyHandle key;
  if (::RegOpenKeyExW(HKEY_CURRENT_USER, KeyPath(name).c_str(), 0, KEY_QUERY_VALUE, key.Out()) !=
      ERROR_SUCCESS) {
    return std::nullopt;
  }
  auto size = static_cast<DWORD>(destination.size());
  // A value longer than the buffer gives ERROR_MORE_DATA and counts as missing.
  if (::RegQueryValueExW(key.Get(), Widen(name).c_str(), nullptr, nullptr,
                         reinterpret_cast<BYTE*>(destination.data()), &size) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  return static_cast<std::size_t>(size);
}

bool RegistrySettingsBackend::WriteValue(std::string_view name, std::span<const std::byte> bytes) {
  // Opens the key, or creates it with any missing parents.
  KeyHandle key;
  if (::RegCreateKeyExW(HKEY_CURRENT_USER, KeyPath(name).c_str(), 0, nullptr,
                        REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, key.Out(),
                        nullptr) != ERROR_SUCCESS) {
    return false;
  }
  return ::RegSetValueExW(key.Get(), Widen(name).c_str(), 0, REG_BINARY,
                          reinterpret_cast<const BYTE*>(bytes.data()),
                          static_cast<DWORD>(bytes.size())) == ERROR_SUCCESS;
}

}  // namespace nimbrel
