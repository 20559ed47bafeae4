// SPDX-License-Identifier: GPL-3.0-or-later
#include "i18n/pack_reader.h"

#include <gtest/gtest.h>

#include <cstdint>
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

// Keys 1..69 joined as "n=text|" for those that have a text; "refused" when the read fails.
std::u16string ReadEnglish(const std::vector<std::uint8_t>& bytes) {
  LanguageTable table;
  table[0] = u"left from before";
  const bool ok = ReadLanguagePack(bytes, "english", table);
  std::u16string filled = ok ? u"" : u"refused";
  for (std::size_t i = 0; i < table.size(); ++i) {
    if (const std::string key = std::to_string(i + 1); !table[i].empty()) {
      filled += std::u16string(key.begin(), key.end()) + u"=" + table[i] + u"|";
    }
  }
  return filled;
}

TEST(ReadLanguagePack, ReadsLinesOfItsOwnSectionAsTheProfileReaderDoes) {
  const std::u16string exact(kLanguageTextMax, u'a');
  const std::u16string longer(100000, u'b');
  const struct {
    std::u16string text;
    std::u16string filled;
  } cases[] = {
      {u"l4=before any section\r\n[germany]\r\nl1=Deutsch\r\n[english]\r\nl1=English\r\n"
       u"l69=Last\r\n[france]\r\nl2=Langue\r\n[english]\r\nl3=second english section\r\n",
       u"1=English|69=Last|"},
      {u" [ EngLISH ] \r\nL5=upper-case key\r\nl6=first\r\nl6=second\r\n"
       u"  l7 \t=\t two  words \t\r\nl8=\"quoted\"\r\nl9='single'\r\nl10=\"unmatched\r\nl11='\r\n"
       u"l12=a=b\r\nl13=\r\nl13=shadowed by the empty one\r\nl14=EXPORT && SETUP\r\n"
       u"l15=\u00C9t\u00E9 \U0001F327\r\nl16 has no equals sign\nl17=lf\rl18=cr\n\r\n\rl19=end",
       u"5=upper-case key|6=first|7=two  words|8=quoted|9=single|10=\"unmatched|11='|12=a=b|"
       u"14=EXPORT && SETUP|15=\u00C9t\u00E9 \U0001F327|17=lf|18=cr|19=end|"},
      {u"[english]\r\nl0=x\r\nl70=x\r\nl100=x\r\nl05=x\r\nl5x=x\r\nlx=x\r\nl=x\r\n=x\r\nl 5=x\r\n"
       u"m5=x\r\n;l5=x\r\nl-5=x\r\nl+5=x\r\nl\uFF15=x\r\nl99999999999999999999999999=x\r\n"
       u"l4294967301=x\r\nl2=kept\r\n",
       u"2=kept|"},
      // Values are cut to 259 units; the text ends at the first zero unit.
      {u"[english]\r\nl1=" + exact + u"\r\nl2=" + longer + u"\r\nl3=after",
       u"1=" + exact + u"|2=" + std::u16string(kLanguageTextMax, u'b') + u"|3=after|"},
      {std::u16string(u"[english]\r\nl1=one\0\r\nl2=two", 25), u"1=one|"},
      // Refused: no mark, no section of its own, nothing before the section but a zero unit.
      {u"[germany]\r\nl1=Deutsch\r\n", u"refused"},
      {u"[english\r\nl1=unclosed header\r\n", u"refused"},
      {u"[englishman]\r\nl1=longer name\r\n", u"refused"},
      {u"english\r\nl1=no brackets\r\n", u"refused"},
      {std::u16string(u"\0[english]\r\nl1=x", 17), u"refused"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ReadEnglish(Pack(c.text)), c.filled);
  }
  const std::vector<std::vector<std::uint8_t>> unmarked = {
      {},
      {0xFF},
      {0xFF, 0xFE},
      {0xFE, 0xFF, 0x00, '[', 0x00, 'e'},  // big-endian
      {0xEF, 0xBB, 0xBF, '[', 'e', 'n', 'g', 'l', 'i', 's', 'h', ']', '\n', 'l', '1', '=', 'x'},
      Pack(u"[english]\r\nl1=no mark", false),
  };
  for (const auto& bytes : unmarked) {
    EXPECT_EQ(ReadEnglish(bytes), u"refused");
  }
  // An odd last byte is left out; a zero byte pair across two units is no zero unit.
  auto odd = Pack(u"[english]\r\nl1=odd");
  odd.push_back(0x41);
  EXPECT_EQ(ReadEnglish(odd), u"1=odd|");
  EXPECT_EQ(PackTextBytes(std::vector<std::uint8_t>{0x41, 0x00, 0x00, 0x42}).size(), 4u);
  EXPECT_EQ(PackTextBytes(std::vector<std::uint8_t>{0x41, 0, 0, 0, 0x42, 0}).size(), 2u);
}

}  // namespace
}  // namespace nimbrel
