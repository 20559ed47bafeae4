// SPDX-License-Identifier: GPL-3.0-or-later
#include "i18n/language.h"

#include "i18n/embedded_packs.h"
#include "i18n/pack_reader.h"

namespace nimbrel {

namespace {

constexpr std::array<LanguagePack, kLanguageCount> kPacks = {{
    {"english", "english1.ini", "ENGLISH", 209},
    {"germany", "germany1.ini", "GERMANY", 217},
    {"france", "france1.ini", "FRANCE", 208},
    {"italy", "italy1.ini", "ITALY", 218},
    {"spanish", "spanish1.ini", "SPANISH", 196},
}};

constexpr std::array<LanguageIndex, kLanguageCount> kAllLanguages = {
    LanguageIndex::kEnglish, LanguageIndex::kGerman,  LanguageIndex::kFrench,
    LanguageIndex::kItalian, LanguageIndex::kSpanish,
};

// An index that came from a cast of a bad number is taken as English rather than read past the
// arrays.
std::size_t Slot(LanguageIndex language) {
  const auto slot = static_cast<std::size_t>(language);
  return slot < kLanguageCount ? slot : 0;
}

}  // namespace

const LanguagePack& PackOf(LanguageIndex language) {
  return kPacks[Slot(language)];
}

LanguageIndex LanguageIndexFromSaved(int saved) {
  if (saved < 0 || saved >= static_cast<int>(kLanguageCount)) {
    return LanguageIndex::kEnglish;
  }
  return static_cast<LanguageIndex>(saved);
}

const LanguageTable& LanguageTables::Table(LanguageIndex language) const {
  return tables_[Slot(language)];
}

LanguageTable& LanguageTables::Table(LanguageIndex language) {
  return tables_[Slot(language)];
}

LanguageTables LoadLanguagePacks() {
  LanguageTables tables;
  for (const LanguageIndex language : kAllLanguages) {
    ReadLanguagePack(EmbeddedPackBytes(language), PackOf(language).section, tables.Table(language));
  }
  return tables;
}

const std::u16string& LanguageText(const LanguageTables& tables, LanguageIndex language, int key) {
  static const std::u16string kNoText;
  if (key < kFirstLanguageKey || key > kLastLanguageKey) {
    return kNoText;
  }
  return tables.Table(language)[static_cast<std::size_t>(key - kFirstLanguageKey)];
}

const std::u16string& LanguageOwnName(const LanguageTables& tables, LanguageIndex language) {
  return LanguageText(tables, language, kLanguageNameKey);
}

}  // namespace nimbrel
