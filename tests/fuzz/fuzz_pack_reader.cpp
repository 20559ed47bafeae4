// SPDX-License-Identifier: GPL-3.0-or-later
// The language pack reader on arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "i18n/language.h"
#include "i18n/pack_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace nimbrel;
  const std::span<const std::uint8_t> bytes(data, size);
  LanguageTable table;
  ReadLanguagePack(bytes, "english", table);
  for (const std::u16string& text : table) {
    if (text.size() > kLanguageTextMax) {
      std::abort();
    }
  }
  PackTextBytes(bytes);
  return 0;
}
