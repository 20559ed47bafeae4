// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "readings/unit_settings.h"
#include "settings/server_settings.h"
#include "settings/settings_backend.h"

namespace nimbrel {

// The seven values that survive a restart, and the month the rain season starts in, which only
// this program keeps.
enum class SettingsValue : std::uint8_t { Data, Id, Key, Id1, Key1, Unit, Ls, RainSeason };

inline constexpr std::array kSettingsValues = {
    SettingsValue::Data, SettingsValue::Id,   SettingsValue::Key, SettingsValue::Id1,
    SettingsValue::Key1, SettingsValue::Unit, SettingsValue::Ls};

// The stored name ("Data", "Id", "Key", "Id1", "Key1", "unit", "ls", "RainSeason") and fixed size
// in bytes.
std::string_view ValueName(SettingsValue value);
std::size_t ValueSize(SettingsValue value);

// The stamp of the last data read holds at most this many UTF-16 units.
inline constexpr std::size_t kMaxStampLength = 31;

// The station ID and key of one service, as typed.
struct StationIdAndKey {
  std::u16string id;
  std::u16string key;

  friend bool operator==(const StationIdAndKey&, const StationIdAndKey&) = default;
};

// The contents of "ls".
struct LanguageAndService {
  int languageIndex = 0;  // 0 English, 1 German, 2 French, 3 Italian, 4 Spanish
  ServerIndex serverIndex = ServerIndex::WeatherUnderground;

  friend bool operator==(const LanguageAndService&, const LanguageAndService&) = default;
};

// The checks every reader of "ls" applies: an unknown language is English, an unknown service
// is Weather Underground.
int CheckedLanguageIndex(std::uint8_t stored);
ServerIndex CheckedServerIndex(std::uint8_t stored);

// Reads and writes the seven values over a backend. It keeps no copy of any value, and its
// failures are silent: a value that cannot be read leaves the caller's preset, one that cannot
// be written stays as it was.
class SettingsStore {
 public:
  explicit SettingsStore(SettingsBackend& backend) : backend_(backend) {}

  // Stores exactly the value's fixed size from `source`; a shorter source writes nothing.
  bool Write(SettingsValue value, std::span<const std::byte> source);
  // Copies the stored bytes over the start of `destination`, which must hold the fixed size. A
  // missing value, or one longer than the fixed size, leaves `destination` untouched; a shorter
  // one fills only its own length. Returns whether anything was copied.
  bool Read(SettingsValue value, std::span<std::byte> destination) const;

  // "Data": empty when missing.
  std::u16string ReadStamp() const;
  bool WriteStamp(std::u16string_view stamp);

  // "Id"/"Key" or "Id1"/"Key1": empty texts when missing.
  StationIdAndKey ReadStationIdAndKey(ServerIndex service) const;
  // Writes the ID and the key each only if it is not empty, so that an empty box never clears a
  // stored text. Returns false when a text that should have been written was not.
  bool WriteStationIdAndKey(ServerIndex service, const StationIdAndKey& texts);

  // "unit": starts from `preset`, which a missing or short value leaves in place; a stored byte
  // outside its list gives that unit its built-in default.
  UnitSettings ReadUnitSettings(const UnitSettings& preset = {}) const;
  bool WriteUnitSettings(const UnitSettings& units);

  // "ls", checked: English and Weather Underground when missing.
  LanguageAndService ReadLanguageAndService() const;
  bool WriteLanguageAndService(const LanguageAndService& choice);

  // "RainSeason": the month (1 to 12) a rain season starts in; January when missing or unknown.
  unsigned ReadRainSeasonStart() const;
  bool WriteRainSeasonStart(unsigned month);

 private:
  std::u16string ReadText(SettingsValue value, std::size_t maxLength) const;
  bool WriteText(SettingsValue value, std::u16string_view text, std::size_t maxLength);

  SettingsBackend& backend_;
};

}  // namespace nimbrel
