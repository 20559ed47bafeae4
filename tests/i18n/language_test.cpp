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
  const std::u16string ownNames[] = {u"English", u"Deutsch", u"Fran\u00E7ais", u"Italiano",
                                     u"Espa\u00F1ol"};
  for (const LanguageIndex language :
       {LanguageIndex::kEnglish, LanguageIndex::kGerman, LanguageIndex::kFrench,
        LanguageIndex::kItalian, LanguageIndex::kSpanish}) {
    const auto name = PackOf(language).fileName;
    std::ifstream in(std::string(NIMBREL_PACK_DIR) + "/" + std::string(name), std::ios::binary);
    const std::vector<std::uint8_t> file{std::istreambuf_iterator<char>(in), {}};
    const auto embedded = EmbeddedPackBytes(language);
    ASSERT_GE(file.size(), 2u) << name;
    EXPECT_TRUE(std::equal(embedded.begin(), embedded.end(), file.begin(), file.end())) << name;
    // The file itself: a byte-order mark, then 70 lines, each ended by CR LF.
    std::u16string text;
    for (std::size_t i = 2; i + 1 < file.size(); i += 2) {
      text.push_back(static_cast<char16_t>(file[i] | file[i + 1] << 8));
    }
    EXPECT_TRUE(file[0] == 0xFF && file[1] == 0xFE && text.ends_with(u"\r\n")) << name;
    EXPECT_EQ(std::count(text.begin(), text.end(), u'\n'), 70) << name;
    EXPECT_EQ(std::count(text.begin(), text.end(), u'\r'), 70) << name;
    const LanguageTable& table = tables.Table(language);
    for (std::size_t entry = 0; entry < table.size(); ++entry) {
      EXPECT_FALSE(table[entry].empty()) << name << " l" << entry + 1;
      EXPECT_LE(table[entry].size(), kLanguageTextMax);
    }
    EXPECT_EQ(LanguageOwnName(tables, language), ownNames[static_cast<std::size_t>(language)]);
  }
  EXPECT_EQ(LanguageText(tables, LanguageIndex::kItalian, 4), u"CRUSCOTTO");
  // "&&" stays two characters; the display shows one.
  EXPECT_EQ(LanguageText(tables, LanguageIndex::kEnglish, 5), u"EXPORT && SETUP");
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
