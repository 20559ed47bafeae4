// SPDX-License-Identifier: GPL-3.0-or-later
#include "readings/live_readings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace nimbrel {
namespace {

// Fields 0.. as listed; every later field must be empty.
void ExpectFields(const LiveReadings& readings, const std::vector<std::u16string_view>& leading) {
  for (std::size_t i = 0; i < kRecordFieldCount; ++i) {
    EXPECT_EQ(readings[i].View(), i < leading.size() ? leading[i] : u"") << "field " << i;
  }
}

TEST(DecodeLiveText, SplitsAtEverySingleSpaceKeepsThe36FirstAndReplacesTheRecord) {
  using namespace std::string_view_literals;
  const std::string longBody = std::string(253, 'a') + " bC d";  // byte 255 is the 'C'
  const std::u16string first31(31, u'a');
  const struct {
    std::string_view body;
    std::vector<std::u16string_view> fields;
  } cases[] = {
      {"a  c", {u"a", u"", u"c"}},
      {" a b ", {u"", u"a", u"b"}},
      {"-3.5\t1,2 --.-", {u"-3.5\t1,2", u"--.-"}},
      {"ab\0cd"sv, {u"ab"}},
      {"caf\xE9", {u"caf\u00E9"}},
      {longBody, {first31, u"b"}},
  };
  LiveReadings readings;
  for (const auto& c : cases) {
    DecodeLiveText(c.body, readings);
    ExpectFields(readings, c.fields);
  }
  // Forty fields "0" to "39": the first 36 kept, then the no-data placeholders over them all
  // but the date, the time and the totals.
  std::string forty;
  for (int field = 0; field < 40; ++field) {
    forty += std::to_string(field) + (field < 39 ? " " : "");
  }
  DecodeLiveText(forty, readings);
  EXPECT_EQ(readings[35].View(), u"35");
  SetNoDataPlaceholders(readings);
  const std::u16string_view t = u"--.-", h = u"--";
  ExpectFields(readings, {h, u"1", u"2", t, h, t, h, u"-.-", u"-.-", h,     h,     u"",
                          h, h,    h,    h, t, t, t, h,      t,      h,     t,     h,
                          t, h,    t,    h, t, h, t, h,      u"32",  u"33", u"34", u"35"});
}

}  // namespace
}  // namespace nimbrel
