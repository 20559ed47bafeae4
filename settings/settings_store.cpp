// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/settings_store.h"

#include "i18n/utf8.h"

#include <algorithm>

namespace nimbrel {
namespace {

constexpr std::size_t kLargestValueSize = 128;
constexpr std::size_t kUnitSize = 12;
constexpr std::size_t kLsSize = 4;
constexpr int kLastLanguageIndex = 4;  // Spanish

using ValueBytes = std::array<std::byte, kLargestValueSize>;

SettingsValue IdValue(ServerIndex service) {
  return service == ServerIndex::Weathercloud ? SettingsValue::Id1 : SettingsValue::Id;
}

SettingsValue KeyValue(ServerIndex service) {
  return service == ServerIndex::Weathercloud ? SettingsValue::Key1 : SettingsValue::Key;
}

// UTF-16LE, NUL-terminated, zero up to the end of `bytes`.
void EncodeText(std::u16string_view text, std::span<std::byte> bytes) {
  std::fill(bytes.begin(), bytes.end(), std::byte{0});
  const std::size_t length = std::min(text.size(), bytes.size() / 2 - 1);
  for (std::size_t i = 0; i < length; ++i) {
    bytes[2 * i] = static_cast<std::byte>(text[i] & 0xFF);
    bytes[2 * i + 1] = static_cast<std::byte>(text[i] >> 8);
  }
}

// The text up to its NUL; a stored text that lacks one ends with the bytes.
std::u16string DecodeText(std::span<const std::byte> bytes) {
  std::u16string text;
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const auto unit = static_cast<char16_t>(std::to_integer<unsigned>(bytes[i]) |
                                            (std::to_integer<unsigned>(bytes[i + 1]) << 8));
    if (unit == u'\0') {
      break;
    }
    text.push_back(unit);
  }
  return text;
}

template <typename Unit>
Unit UnitOrDefault(std::byte stored, Unit last, Unit fallback) {
  const auto index = std::to_integer<std::uint8_t>(stored);
  return index <= static_cast<std::uint8_t>(last) ? static_cast<Unit>(index) : fallback;
}

std::array<std::byte, kUnitSize> EncodeUnits(const UnitSettings& units) {
  return {static_cast<std::byte>(units.temperatureUnit),
          static_cast<std::byte>(units.rainUnit),
          static_cast<std::byte>(units.pressureUnit),
          static_cast<std::byte>(units.windSpeedUnit),
          static_cast<std::byte>(units.pressureType),
          static_cast<std::byte>(units.windDirectionFormat)};
}

UnitSettings DecodeUnits(std::span<const std::byte, kUnitSize> bytes) {
  const UnitSettings defaults;
  UnitSettings units;
  units.temperatureUnit =
      UnitOrDefault(bytes[0], TemperatureUnit::Fahrenheit, defaults.temperatureUnit);
  units.rainUnit = UnitOrDefault(bytes[1], RainUnit::Inch, defaults.rainUnit);
  units.pressureUnit = UnitOrDefault(bytes[2], PressureUnit::InHg, defaults.pressureUnit);
  units.windSpeedUnit = UnitOrDefault(bytes[3], WindSpeedUnit::Knots, defaults.windSpeedUnit);
  units.pressureType = UnitOrDefault(bytes[4], PressureType::Relative, defaults.pressureType);
  units.windDirectionFormat =
      UnitOrDefault(bytes[5], WindDirectionFormat::Degrees360, defaults.windDirectionFormat);
  return units;
}

}  // namespace

std::string_view ValueName(SettingsValue value) {
  switch (value) {
    case SettingsValue::Data:
      return "Data";
    case SettingsValue::Id:
      return "Id";
    case SettingsValue::Key:
      return "Key";
    case SettingsValue::Id1:
      return "Id1";
    case SettingsValue::Key1:
      return "Key1";
    case SettingsValue::Unit:
      return "unit";
    case SettingsValue::Ls:
      return "ls";
    case SettingsValue::RainSeason:
      return "RainSeason";
  }
  return {};
}

std::size_t ValueSize(SettingsValue value) {
  switch (value) {
    case SettingsValue::Data:
      return 64;
    case SettingsValue::Id:
    case SettingsValue::Key:
    case SettingsValue::Id1:
    case SettingsValue::Key1:
      return kLargestValueSize;
    case SettingsValue::Unit:
      return kUnitSize;
    case SettingsValue::Ls:
      return kLsSize;
    case SettingsValue::RainSeason:
      return 1;
  }
  return 0;
}

int CheckedLanguageIndex(std::uint8_t stored) {
  return stored <= kLastLanguageIndex ? stored : 0;
}

ServerIndex CheckedServerIndex(std::uint8_t stored) {
  return stored == 1 ? ServerIndex::Weathercloud : ServerIndex::WeatherUnderground;
}

bool SettingsStore::Write(SettingsValue value, std::span<const std::byte> source) {
  const std::size_t size = ValueSize(value);
  if (source.size() < size) {
    return false;
  }
  return backend_.WriteValue(ValueName(value), source.first(size));
}

bool SettingsStore::Read(SettingsValue value, std::span<std::byte> destination) const {
  const std::size_t size = ValueSize(value);
  if (destination.size() < size) {
    return false;
  }
  // Read into a scratch buffer first: the backend may leave anything behind when a value turns
  // out to be too long, and the caller's preset must survive that.
  ValueBytes scratch{};
  const auto stored = backend_.ReadValue(ValueName(value), std::span(scratch).first(size));
  if (!stored) {
    return false;
  }
  std::copy_n(scratch.begin(), std::min(*stored, size), destination.begin());
  return true;
}

std::u16string SettingsStore::ReadText(SettingsValue value, std::size_t maxLength) const {
  ValueBytes bytes{};
  Read(value, bytes);
  const std::u16string text = DecodeText(std::span(bytes).first(ValueSize(value)));
  return std::u16string(ClipUtf16(text, maxLength));
}

bool SettingsStore::WriteText(SettingsValue value, std::u16string_view text,
                              std::size_t maxLength) {
  ValueBytes bytes{};
  EncodeText(ClipUtf16(text, maxLength), std::span(bytes).first(ValueSize(value)));
  return Write(value, bytes);
}

std::u16string SettingsStore::ReadStamp() const {
  return ReadText(SettingsValue::Data, kMaxStampLength);
}

bool SettingsStore::WriteStamp(std::u16string_view stamp) {
  return WriteText(SettingsValue::Data, stamp, kMaxStampLength);
}

StationIdAndKey SettingsStore::ReadStationIdAndKey(ServerIndex service) const {
  return {ReadText(IdValue(service), kMaxStationTextLength),
          ReadText(KeyValue(service), kMaxStationTextLength)};
}

bool SettingsStore::WriteStationIdAndKey(ServerIndex service, const StationIdAndKey& texts) {
  bool written = true;
  if (!texts.id.empty()) {
    written = WriteText(IdValue(service), texts.id, kMaxStationTextLength);
  }
  if (!texts.key.empty()) {
    written = WriteText(KeyValue(service), texts.key, kMaxStationTextLength) && written;
  }
  return written;
}

UnitSettings SettingsStore::ReadUnitSettings(const UnitSettings& preset) const {
  auto bytes = EncodeUnits(preset);
  Read(SettingsValue::Unit, bytes);
  return DecodeUnits(bytes);
}

bool SettingsStore::WriteUnitSettings(const UnitSettings& units) {
  return Write(SettingsValue::Unit, EncodeUnits(units));
}

LanguageAndService SettingsStore::ReadLanguageAndService() const {
  std::array<std::byte, kLsSize> bytes{};
  Read(SettingsValue::Ls, bytes);
  return {CheckedLanguageIndex(std::to_integer<std::uint8_t>(bytes[0])),
          CheckedServerIndex(std::to_integer<std::uint8_t>(bytes[1]))};
}

bool SettingsStore::WriteLanguageAndService(const LanguageAndService& choice) {
  const bool known = choice.languageIndex >= 0 && choice.languageIndex <= kLastLanguageIndex;
  const std::array<std::byte, kLsSize> bytes = {
      static_cast<std::byte>(known ? choice.languageIndex : 0),
      static_cast<std::byte>(choice.serverIndex == ServerIndex::Weathercloud ? 1 : 0)};
  return Write(SettingsValue::Ls, bytes);
}

unsigned SettingsStore::ReadRainSeasonStart() const {
  std::array<std::byte, 1> bytes{std::byte{1}};
  Read(SettingsValue::RainSeason, bytes);
  const auto month = std::to_integer<unsigned>(bytes[0]);
  return month >= 1 && month <= 12 ? month : 1;
}

bool SettingsStore::WriteRainSeasonStart(unsigned month) {
  if (month < 1 || month > 12) {
    return false;
  }
  const std::array<std::byte, 1> bytes{static_cast<std::byte>(month)};
  return Write(SettingsValue::RainSeason, bytes);
}

}  // namespace nimbrel
