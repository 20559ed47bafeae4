// SPDX-License-Identifier: GPL-3.0-or-later
// The settings store reading whatever bytes a settings file holds.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "settings/settings_store.h"

namespace {

using namespace nimbrel;

// Every value holds a slice of the input; the first byte of the input says how long each is.
class FuzzBackend : public SettingsBackend {
 public:
  FuzzBackend(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  std::optional<std::size_t> ReadValue(std::string_view name,
                                       std::span<std::byte> destination) const override {
    if (size_ == 0 || (data_[0] & 0x80) != 0) {
      return std::nullopt;  // missing
    }
    const std::size_t offset = name.size() % size_;
    const std::size_t length = std::min<std::size_t>(size_ - offset, data_[0]);
    if (length > destination.size()) {
      return std::nullopt;
    }
    std::copy_n(reinterpret_cast<const std::byte*>(data_ + offset), length, destination.begin());
    return length;
  }
  bool WriteValue(std::string_view, std::span<const std::byte>) override { return true; }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzBackend backend(data, size);
  const SettingsStore store(backend);
  if (store.ReadStamp().size() > kMaxStampLength) {
    std::abort();
  }
  for (const ServerIndex service : {ServerIndex::WeatherUnderground, ServerIndex::Weathercloud}) {
    const StationIdAndKey texts = store.ReadStationIdAndKey(service);
    if (texts.id.size() > kMaxStationTextLength || texts.key.size() > kMaxStationTextLength) {
      std::abort();
    }
  }
  const UnitSettings units = store.ReadUnitSettings();
  if (static_cast<int>(units.windSpeedUnit) > 3 || static_cast<int>(units.pressureUnit) > 2) {
    std::abort();
  }
  const LanguageAndService ls = store.ReadLanguageAndService();
  if (ls.languageIndex < 0 || ls.languageIndex > 4) {
    std::abort();
  }
  return 0;
}
