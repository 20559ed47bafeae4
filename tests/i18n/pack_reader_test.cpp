#include "i18n/pack_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace nimbrel {
namespace {

// UTF-16LE bytes of a text, with the byte-order mark unless told otherwise.
std::vector<std::uint8_t> Pack(std::u16string_view text, bool byteOrderMark = true) {
  std::vector<std::uint8_t> bytes;
  if (byteOrderMark) {
    bytes = {0xFF, 0xFE};
  }
  for (const char16_t unit : text) {
    bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
  }
  return bytes;
}

struct Read {
  bool ok;
  LanguageTable table;
};

Read ReadEnglish(const std::vector<std::uint8_t>& bytes) {
  Read read{false, {}};
  read.ok = ReadLanguagePack(bytes, "english", read.table);
  return read;
}

// The numbers n of the keys ln that have a text.
std::vector<int> FilledKeys(const LanguageTable& table) {
  std::vector<int> keys;
  for (std::size_t i = 0; i < table.size(); ++i) {
    if (!table[i].empty()) {
      keys.push_back(static_cast<int>(i) + 1);
    }
  }
  return keys;
}

TEST(ReadLanguagePack, ReadsOnlyTheKeysOfItsOwnSection) {
  const auto read =
      ReadEnglish(Pack(u"l4=before any section\r\n"
                       u"[germany]\r\nl1=Deutsch\r\n"
                       u"[english]\r\nl1=English\r\nl69=Last\r\n"
                       u"[france]\r\nl2=Langue\r\n"
                       u"[english]\r\nl3=second english section\r\n"));
  ASSERT_TRUE(read.ok);
  EXPECT_EQ(read.table[0], u"English");
  EXPECT_EQ(read.table[68], u"Last");
  EXPECT_EQ(FilledKeys(read.table), (std::vector<int>{1, 69}));
}

TEST(ReadLanguagePack, ReadsLinesAsTheProfileReaderDoes) {
  const auto read =
      ReadEnglish(Pack(u" [ EngLISH ] \r\n"
                       u"L5=upper-case key\r\n"
                       u"l6=first\r\nl6=second\r\n"
                       u"  l7 \t=\t two  words \t\r\n"
                       u"l8=\"quoted\"\r\nl9='single'\r\nl10=\"unmatched\r\nl11='\r\n"
                       u"l12=a=b\r\n"
                       u"l13=\r\nl13=shadowed by the empty one\r\n"
                       u"l14=EXPORT && SETUP\r\n"
                       u"l15=\u00C9l\u00E8ve d\u2019\u00E9t\u00E9 \U0001F327\r\n"
                       u"l16 has no equals sign\n"
                       u"l17=lf\rl18=cr\n\r\n\rl19=no line end"));
  ASSERT_TRUE(read.ok);
  std::u16string keys5To19;  // joined by "|"
  for (std::size_t key = 5; key <= 19; ++key) {
    keys5To19 += read.table[key - 1] + (key < 19 ? u"|" : u"");
  }
  EXPECT_EQ(keys5To19,
            u"upper-case key|first|two  words|quoted|single|\"unmatched|'|a=b||EXPORT && SETUP|"
            u"\u00C9l\u00E8ve d\u2019\u00E9t\u00E9 \U0001F327||lf|cr|no line end");
}

TEST(ReadLanguagePack, IgnoresKeysOutsideL1ToL69) {
  const auto read = ReadEnglish(
      Pack(u"[english]\r\n"
           u"l0=x\r\nl70=x\r\nl100=x\r\nl05=x\r\nl5x=x\r\nlx=x\r\nl=x\r\n=x\r\nl 5=x\r\n"
           u"m5=x\r\n;l5=x\r\nl-5=x\r\nl+5=x\r\nl\uFF15=x\r\n"
           u"l99999999999999999999999999=x\r\nl4294967301=x\r\n"
           u"l2=kept\r\n"));
  ASSERT_TRUE(read.ok);
  EXPECT_EQ(FilledKeys(read.table), (std::vector<int>{2}));
}

TEST(ReadLanguagePack, CutsLongValuesTo259Units) {
  const std::u16string exact(kLanguageTextMax, u'a');
  const std::u16string longer(100000, u'b');
  const auto read =
      ReadEnglish(Pack(u"[english]\r\nl1=" + exact + u"\r\nl2=" + longer + u"\r\nl3=after"));
  ASSERT_TRUE(read.ok);
  EXPECT_EQ(read.table[0], exact);
  EXPECT_EQ(read.table[1], std::u16string(kLanguageTextMax, u'b'));
  EXPECT_EQ(read.table[2], u"after");
}

TEST(ReadLanguagePack, TextEndsAtTheFirstZeroUnitOrBeforeAnOddByte) {
  const auto read = ReadEnglish(Pack(std::u16string(u"[english]\r\nl1=one\0\r\nl2=two", 25)));
  ASSERT_TRUE(read.ok);
  EXPECT_EQ(FilledKeys(read.table), (std::vector<int>{1}));
  EXPECT_EQ(read.table[0], u"one");

  // A zero byte pair that straddles two units is not a zero unit.
  const std::vector<std::uint8_t> straddling = {0x41, 0x00, 0x00, 0x42};
  EXPECT_EQ(PackTextBytes(straddling).size(), 4u);
  const std::vector<std::uint8_t> zeroUnit = {0x41, 0x00, 0x00, 0x00, 0x42, 0x00};
  EXPECT_EQ(PackTextBytes(zeroUnit).size(), 2u);

  auto odd = Pack(u"[english]\r\nl1=odd");
  odd.push_back(0x41);
  EXPECT_EQ(ReadEnglish(odd).table[0], u"odd");
}

TEST(ReadLanguagePack, RefusesPacksWithoutByteOrderMarkOrSection) {
  const std::vector<std::vector<std::uint8_t>> refused = {
      {},
      {0xFF},
      {0xFF, 0xFE},
      {0xFE, 0xFF, 0x00, '[', 0x00, 'e'},  // big-endian
      {0xEF, 0xBB, 0xBF, '[', 'e', 'n', 'g', 'l', 'i', 's', 'h', ']', '\n', 'l', '1', '=', 'x'},
      Pack(u"[english]\r\nl1=no mark", false),
      Pack(u"[germany]\r\nl1=Deutsch\r\n"),
      Pack(u"[english\r\nl1=unclosed header\r\n"),
      Pack(u"[englishman]\r\nl1=longer name\r\n"),
      Pack(u"english\r\nl1=no brackets\r\n"),
      Pack(std::u16string(u"\0[english]\r\nl1=x", 17)),
  };
  for (std::size_t i = 0; i < refused.size(); ++i) {
    LanguageTable table;
    table[0] = u"left from before";
    EXPECT_FALSE(ReadLanguagePack(refused[i], "english", table)) << "case " << i;
    EXPECT_TRUE(FilledKeys(table).empty()) << "case " << i;
  }
}

// Random units from the characters that steer the reader, and random bytes, must never make it
// step outside its input or its table (run under the sanitizers).
TEST(ReadLanguagePack, SurvivesArbitraryInput) {
  std::mt19937 random(20240611);
  std::u16string alphabet = u"[]=lL0123456789english \t\r\n'\"\uFEFF";
  alphabet += {char16_t{0xD800}, char16_t{0}};  // a lone surrogate and a zero unit
  for (int round = 0; round < 3000; ++round) {
    std::vector<std::uint8_t> bytes;
    const std::size_t length = random() % 600;
    if (round % 2 == 0) {
      std::u16string text = u"[english]\r\n";
      for (std::size_t i = 0; i < length; ++i) {
        text.push_back(alphabet[random() % alphabet.size()]);
      }
      bytes = Pack(text, round % 4 != 2);
      if (round % 3 == 0) {
        bytes.push_back(static_cast<std::uint8_t>(random()));
      }
    } else {
      for (std::size_t i = 0; i < length; ++i) {
        bytes.push_back(static_cast<std::uint8_t>(random()));
      }
    }
    LanguageTable table;
    ReadLanguagePack(bytes, "english", table);
    ASSERT_TRUE(std::all_of(table.begin(), table.end(),
                            [](const auto& text) { return text.size() <= kLanguageTextMax; }));
  }
}

}  // namespace
}  // namespace nimbrel
