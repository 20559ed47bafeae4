// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "i18n/utf8.h"

namespace nimbrel {
namespace {

TEST(Utf8, RoundTripsEveryPlaneAndReplacesWhatIsBroken) {
  const std::u16string text = u"Tag 23.5 \u00B0C \u20AC \U0001F326 \u00E9t\u00E9";
  EXPECT_EQ(ToUtf8(text),
            "Tag 23.5 \xC2\xB0"
            "C \xE2\x82\xAC \xF0\x9F\x8C\xA6 \xC3\xA9t\xC3\xA9");
  EXPECT_EQ(FromUtf8(ToUtf8(text)), text);

  // Lone surrogates never reach the output as such.
  EXPECT_EQ(ToUtf8(std::u16string{u'a', char16_t(0xD800), u'b', char16_t(0xDC00)}),
            "a\xEF\xBF\xBD"
            "b\xEF\xBF\xBD");
  // Truncated, overlong, surrogate-encoding and stray continuation bytes each give U+FFFD.
  EXPECT_EQ(FromUtf8("\xE2\x82"), u"\uFFFD\uFFFD");
  EXPECT_EQ(FromUtf8("\xC0\xAF"), u"\uFFFD\uFFFD");
  EXPECT_EQ(FromUtf8("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD");
  EXPECT_EQ(FromUtf8("\x80x"), u"\uFFFDx");
  EXPECT_EQ(FromUtf8("\xF5\x80\x80\x80"), u"\uFFFD\uFFFD\uFFFD\uFFFD");
}

}  // namespace
}  // namespace nimbrel
