#include "settings/export_request.h"

#include <compare>
#include <string_view>

#include <gtest/gtest.h>

namespace nimbrel {
namespace {

TEST(CompareDatesTest, OrdersByTheYearMonthDayNumber) {
  struct Case {
    std::string_view a;
    std::string_view b;
    std::partial_ordering expected;
  };
  const Case cases[] = {
      {"2018-3-7", "2018-03-07", std::partial_ordering::equivalent},
      {"2018-2-31", "2018-3-1", std::partial_ordering::less},      // no real date, still ordered
      {"2018-12-1", "2018-2-28", std::partial_ordering::greater},  // not a text comparison
      {"2019-1-1", "2018-12-31", std::partial_ordering::greater},
  };
  for (const auto& [a, b, expected] : cases) {
    EXPECT_EQ(CompareDates(a, b), expected) << a << " vs " << b;
  }
  EXPECT_EQ(CompareDates(u"2018-3-7", u"2018-03-07"), std::partial_ordering::equivalent);
  EXPECT_EQ(CompareDates(u"2018-3-8", u"2018-03-07"), std::partial_ordering::greater);
}

TEST(CompareDatesTest, TextsThatAreNotThreeNumbersAreUnordered) {
  const std::string_view bad[] = {"",           "2018-3",  "2018/3/7",  "2018-3-7x",
                                  "2018-3-7-1", "a-b-c",   "2018--3-7", "+2018-3-7",
                                  " 2018-3-7",  "2018-3-", "-2018-3-7", "99999999999-1-1"};
  for (const auto text : bad) {
    EXPECT_EQ(CompareDates(text, "2018-3-7"), std::partial_ordering::unordered) << text;
    EXPECT_EQ(CompareDates("2018-3-7", text), std::partial_ordering::unordered) << text;
    EXPECT_EQ(CompareDates(text, text), std::partial_ordering::unordered) << text;
  }
  // Full-width digits and an overlong text are no dates either.
  EXPECT_EQ(CompareDates(u"2018-3-\uFF17", u"2018-3-7"), std::partial_ordering::unordered);
  EXPECT_EQ(CompareDates(std::u16string(60, u'0') + u"2018-3-7", u"2018-3-7"),
            std::partial_ordering::unordered);
}

ExportRequest Period(std::u16string start, std::u16string end) {
  ExportRequest request;
  request.startDate = std::move(start);
  request.endDate = std::move(end);
  return request;
}

TEST(DateFilterTest, IncludesBothEndsAndNothingOutside) {
  const auto february = Period(u"2018-2-1", u"2018-2-31");
  EXPECT_TRUE(PassesDateFilter(february, "2018-02-01"));
  EXPECT_TRUE(PassesDateFilter(february, "2018-2-28"));
  EXPECT_TRUE(PassesDateFilter(february, u"2018-2-31"));
  EXPECT_FALSE(PassesDateFilter(february, "2018-1-31"));
  EXPECT_FALSE(PassesDateFilter(february, "2018-3-1"));
  EXPECT_FALSE(PassesDateFilter(february, u"2018-3-1"));

  // Start after end: nothing passes.
  EXPECT_FALSE(PassesDateFilter(Period(u"2018-3-1", u"2018-2-1"), "2018-2-15"));
}

TEST(DateFilterTest, UnreadableDatesNeverPassUnlessThereIsNoFilter) {
  const auto february = Period(u"2018-2-1", u"2018-2-28");
  EXPECT_FALSE(PassesDateFilter(february, "--"));
  EXPECT_FALSE(PassesDateFilter(february, ""));
  EXPECT_FALSE(PassesDateFilter(Period(u"2018-2", u"2018-2-28"), "2018-2-10"));
  EXPECT_FALSE(PassesDateFilter(Period(u"2018-2-1", u""), "2018-2-10"));

  auto whole = Period(u"", u"junk");
  whole.wholePeriod = true;
  EXPECT_TRUE(PassesDateFilter(whole, "1999-1-1"));
  EXPECT_TRUE(PassesDateFilter(whole, "--"));
}

TEST(ExportRequestTest, ChannelsMapToTheirFlagsAndNothingElse) {
  ExportRequest request;
  request.SetIncluded(ChannelDataSet(7), true);
  EXPECT_TRUE(request.Includes(DataSet::Ch7));
  EXPECT_FALSE(request.Includes(DataSet::Ch6));

  // A channel number out of range reaches no flag, even with every flag on.
  request.dataSets.fill(true);
  request.SetIncluded(ChannelDataSet(8), false);
  EXPECT_FALSE(request.Includes(ChannelDataSet(8)));
  EXPECT_FALSE(request.Includes(ChannelDataSet(0)));
  EXPECT_TRUE(request.Includes(DataSet::Ch7));
}

}  // namespace
}  // namespace nimbrel
