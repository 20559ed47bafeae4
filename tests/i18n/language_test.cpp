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

constexpr LanguageIndex kAll[] = {LanguageIndex::kEnglish, LanguageIndex::kGerman,
                                  LanguageIndex::kFrench, LanguageIndex::kItalian,
                                  LanguageIndex::kSpanish};

const LanguageTables& Loaded() {
  static const LanguageTables tables = LoadLanguagePacks();
  return tables;
}

std::vector<std::uint8_t> ReadPackFile(LanguageIndex language) {
  const std::string path =
      std::string(NIMBREL_PACK_DIR) + "/" + std::string(PackOf(language).fileName);
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// The text after the byte-order mark, as UTF-16 code units.
std::u16string Units(const std::vector<std::uint8_t>& bytes) {
  std::u16string text;
  for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
    text.push_back(static_cast<char16_t>(bytes[i] | bytes[i + 1] << 8));
  }
  return text;
}

std::vector<std::u16string> CrLfLines(std::u16string_view text) {
  std::vector<std::u16string> lines;
  for (std::size_t end; (end = text.find(u"\r\n")) != std::u16string_view::npos;) {
    lines.emplace_back(text.substr(0, end));
    text.remove_prefix(end + 2);
  }
  return lines;
}

std::u16string KeyPrefix(int key) {
  std::u16string prefix = u"l";
  for (const char digit : std::to_string(key)) {
    prefix.push_back(static_cast<char16_t>(digit));
  }
  return prefix + u"=";
}

TEST(LanguagePacks, EveryPackFillsAll69Keys) {
  for (const LanguageIndex language : kAll) {
    const LanguageTable& table = Loaded().Table(language);
    for (std::size_t entry = 0; entry < table.size(); ++entry) {
      EXPECT_FALSE(table[entry].empty()) << PackOf(language).section << " l" << entry + 1;
      EXPECT_LE(table[entry].size(), kLanguageTextMax);
    }
  }
}

TEST(LanguagePacks, TextsByKey) {
  const LanguageTables& t = Loaded();
  const std::u16string ownNames[] = {u"English", u"Deutsch", u"Fran\u00E7ais", u"Italiano",
                                     u"Espa\u00F1ol"};
  for (const LanguageIndex language : kAll) {
    EXPECT_EQ(LanguageOwnName(t, language), ownNames[static_cast<std::size_t>(language)]);
  }
  EXPECT_EQ(LanguageText(t, LanguageIndex::kItalian, 4), u"CRUSCOTTO");
  // "&&" stays two characters; the display shows one.
  EXPECT_EQ(LanguageText(t, LanguageIndex::kEnglish, 5), u"EXPORT && SETUP");
  // The tab that ends the English l25 line is not part of the text.
  EXPECT_EQ(LanguageText(t, LanguageIndex::kEnglish, 25), u"pressure");
  EXPECT_EQ(LanguageText(t, LanguageIndex::kEnglish, 69), u"Missing password");
  EXPECT_EQ(LanguageText(t, LanguageIndex::kGerman, 7), u"Au\u00DFern");
  EXPECT_EQ(LanguageText(t, LanguageIndex::kFrench, 24), u"Type de pression d\u2019air");
  EXPECT_EQ(LanguageText(t, LanguageIndex::kSpanish, 58), u"\u00DAltimos datos le\u00EDdos el");
  EXPECT_TRUE(LanguageText(t, LanguageIndex::kEnglish, 0).empty());
  EXPECT_TRUE(LanguageText(t, LanguageIndex::kEnglish, 70).empty());
  EXPECT_EQ(LanguageIndexFromSaved(4), LanguageIndex::kSpanish);
  EXPECT_EQ(LanguageIndexFromSaved(5), LanguageIndex::kEnglish);  // above 4 starts in English
}

TEST(PackFiles, BuiltInBytesAreTheFiles) {
  for (const LanguageIndex language : kAll) {
    const auto embedded = EmbeddedPackBytes(language);
    const auto file = ReadPackFile(language);
    ASSERT_FALSE(file.empty()) << PackOf(language).fileName;
    EXPECT_TRUE(std::equal(embedded.begin(), embedded.end(), file.begin(), file.end()))
        << PackOf(language).fileName;
  }
}

TEST(PackFiles, ByteOrderMarkSectionAndCrLfLines) {
  const std::u16string sections[] = {u"[english]", u"[germany]", u"[france]", u"[italy]",
                                     u"[spanish]"};
  for (const LanguageIndex language : kAll) {
    const auto bytes = ReadPackFile(language);
    const auto name = PackOf(language).fileName;
    ASSERT_GE(bytes.size(), 2u) << name;
    EXPECT_EQ(bytes[0] | bytes[1] << 8 | (bytes.size() % 2) << 16, 0xFEFF) << name;

    const std::u16string text = Units(bytes);
    EXPECT_EQ(text.find(u'\0'), std::u16string::npos) << name;
    EXPECT_TRUE(text.ends_with(u"\r\n")) << name;
    const auto lines = CrLfLines(text);
    ASSERT_EQ(lines.size(), 70u) << name;
    EXPECT_EQ(lines[0], sections[static_cast<std::size_t>(language)]) << name;
    for (int key = 1; key <= 69; ++key) {
      const std::u16string& line = lines[static_cast<std::size_t>(key)];
      EXPECT_TRUE(line.starts_with(KeyPrefix(key))) << name << " line of l" << key;
      EXPECT_EQ(line.find_first_of(u"\r\n"), std::u16string::npos) << name << " l" << key;
    }
    // Only the English l25 ends in a tab.
    const bool english = language == LanguageIndex::kEnglish;
    EXPECT_EQ(std::count(text.begin(), text.end(), u'\t'), english ? 1 : 0) << name;
    EXPECT_EQ(lines[25] == u"l25=pressure\t", english) << name;
  }
}

}  // namespace
}  // namespace nimbrel
