// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace nimbrel {

// The languages of the user interface, numbered as the language box and the saved setting number
// them.
enum class LanguageIndex : std::uint8_t {
  kEnglish = 0,
  kGerman = 1,
  kFrench = 2,
  kItalian = 3,
  kSpanish = 4,
};
inline constexpr std::size_t kLanguageCount = 5;

// Texts are looked up by keys l1 to l69.
inline constexpr int kFirstLanguageKey = 1;
inline constexpr int kLastLanguageKey = 69;
inline constexpr std::size_t kLanguageKeyCount = 69;
// Longest text of one key in UTF-16 code units (260 with the terminating zero of the Windows
// build); longer values are cut.
inline constexpr std::size_t kLanguageTextMax = 259;
// The key whose text is the language's own name ("Deutsch" in the German pack).
inline constexpr int kLanguageNameKey = 1;

// One language's texts: entry n - 1 holds the text of key ln. A key missing from the pack leaves
// its entry empty.
using LanguageTable = std::array<std::u16string, kLanguageKeyCount>;

// How a language's pack is named: its section, the file it is written to in the temporary folder,
// and the resource that carries it in the Windows build.
struct LanguagePack {
  std::string_view section;
  std::string_view fileName;
  std::string_view resourceType;
  int resourceId;
};

const LanguagePack& PackOf(LanguageIndex language);

// The language of a saved setting byte: anything outside 0 to 4 starts in English.
LanguageIndex LanguageIndexFromSaved(int saved);

// The tables of all five languages. The program fills one at start and keeps it for the run.
class LanguageTables {
 public:
  const LanguageTable& Table(LanguageIndex language) const;
  LanguageTable& Table(LanguageIndex language);

 private:
  // No braces: clang 14 crashes on a value-initialised array of string arrays.
  std::array<LanguageTable, kLanguageCount> tables_;
};

// Reads the five packs built into the program, English to Spanish. A pack that cannot be read
// leaves its table empty.
LanguageTables LoadLanguagePacks();

// The text of key ln (1 to 69) in a language; empty for any other key.
const std::u16string& LanguageText(const LanguageTables& tables, LanguageIndex language, int key);

// The language's name in its own language, as the language box lists it.
const std::u16string& LanguageOwnName(const LanguageTables& tables, LanguageIndex language);

}  // namespace nimbrel
