// SPDX-License-Identifier: GPL-3.0-or-later
#include "i18n/language.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "i18n/embedded_packs.h"

namespace nimbrel {
namespace {

// Every pack as built in is the file in the source tree, and fills all 69 keys.
TEST(LanguagePacks, BuiltInPacksAreTheFilesAndFillEveryKey) {
  const LanguageTables tables = LoadLanguagePacks();
  for (const LanguageIndex language :
       {LanguageIndex::kEnglish, LanguageIndex::kGerman, LanguageIndex::kFrench,
        LanguageIndex::kItalian, LanguageIndex::kSpanish}) {
    const auto name = PackOf(language).fileName;
    std::ifstream in(std::string(NIMBREL_PACK_DIR) + "/" + std::string(name), std::ios::binary);
    const std::vector<std::uint8_t> file{std::istreambuf_iterator<char>(in), {}};
    const auto embedded = EmbeddedPackBytes(language);
    EXPECT_TRUE(std::equal(embedded.begin(), embedded.end(), file.begin(), file.end())) << name;
    const LanguageTable& table = tables.Table(language);
    for (std::size_t entry = 0; entry < table.size(); ++entry) {
      EXPECT_FALSE(table[entry].empty()) << name << " l" << entry + 1;
      EXPECT_LE(table[entry].size(), kLanguageTextMax);
    }
  }
  // The tab that ends the English l25 line is not part of the text.
  EXPECT_EQ(LanguageText(tables, LanguageIndex::kEnglish, 25), u"pressure");
  EXPECT_EQ(LanguageText(tables, LanguageIndex::kEnglish, 69), u"Missing password");
  EXPECT_EQ(LanguageText(tables, LanguageIndex::kFrench, 24), u"Type de pression d\u2019air");
  EXPECT_TRUE(LanguageText(tables, LanguageIndex::kEnglish, 0).empty());
  EXPECT_TRUE(LanguageText(tables, LanguageIndex::kEnglish, 70).empty());
  EXPECT_EQ(LanguageIndexFromSaved(4), LanguageIndex::kSpanish);
  EXPECT_EQ(LanguageIndexFromSaved(5), LanguageIndex::kEnglish);  // above 4 starts in English
}

}  // namespace
}  // namespace nimbrel
