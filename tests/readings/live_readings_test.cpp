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

// Forty fields "0" to "39".
constexpr std::string_view kFortyFields =
    "0 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20 21 22 23 24 25 26 27 28 29 30 31 32 33 "
    "34 35 36 37 38 39";

TEST(DecodeLiveText, SplitsAtEverySingleSpaceOnly) {
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
  for (const auto& c : cases) {
    LiveReadings readings;
    DecodeLiveText(c.body, readings);
    ExpectFields(readings, c.fields);
  }
}

TEST(DecodeLiveText, KeepsTheFirst36FieldsAndReplacesTheWholeRecord) {
  LiveReadings readings;
  DecodeLiveText(kFortyFields, readings);
  EXPECT_EQ(readings[35].View(), u"35");
  DecodeLiveText("5 x", readings);
  ExpectFields(readings, {u"5", u"x"});
}

TEST(SetNoDataPlaceholders, WritesPlaceholdersAndKeepsDateTimeAndTotals) {
  LiveReadings readings;
  DecodeLiveText(kFortyFields, readings);
  SetNoDataPlaceholders(readings);
  const std::u16string_view t = u"--.-", h = u"--";
  ExpectFields(readings, {h, u"1", u"2", t, h, t, h, u"-.-", u"-.-", h,     h,     u"",
                          h, h,    h,    h, t, t, t, h,      t,      h,     t,     h,
                          t, h,    t,    h, t, h, t, h,      u"32",  u"33", u"34", u"35"});
}

}  // namespace
}  // namespace nimbrel
