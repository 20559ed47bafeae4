// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/export_request.h"

#include <compare>
#include <string_view>

#include <gtest/gtest.h>

namespace nimbrel {
namespace {

// Dates compare as year-month-day numbers; a text that is not three plain numbers is unordered.
TEST(CompareDatesTest, OrdersByTheYearMonthDayNumber) {
  const struct {
    std::u16string_view a;
    std::u16string_view b;
    std::partial_ordering expected;
  } cases[] = {
      {u"2018-3-7", u"2018-03-07", std::partial_ordering::equivalent},
      {u"2018-2-31", u"2018-3-1", std::partial_ordering::less},      // no real date, still ordered
      {u"2018-12-1", u"2018-2-28", std::partial_ordering::greater},  // not a text comparison
      {u"2019-1-1", u"2018-12-31", std::partial_ordering::greater},
      {u"2018-3-\uFF17", u"2018-3-7", std::partial_ordering::unordered},  // full-width digit
  };
  for (const auto& [a, b, expected] : cases) {
    EXPECT_EQ(CompareDates(a, b), expected);
  }
  EXPECT_EQ(CompareDates("2018-3-8", "2018-03-07"), std::partial_ordering::greater);
  EXPECT_EQ(CompareDates(std::u16string(60, u'0') + u"2018-3-7", u"2018-3-7"),
            std::partial_ordering::unordered);
  for (const std::string_view bad :
       {"", "2018-3", "2018/3/7", "2018-3-7x", "2018-3-7-1", "a-b-c", "2018--3-7", "+2018-3-7",
        " 2018-3-7", "2018-3-", "-2018-3-7", "99999999999-1-1"}) {
    EXPECT_EQ(CompareDates(bad, "2018-3-7"), std::partial_ordering::unordered) << bad;
    EXPECT_EQ(CompareDates("2018-3-7", bad), std::partial_ordering::unordered) << bad;
  }
}

// The export's date filter (both ends, unreadable dates, whole period) is run end to end by the
// export writer's tests; here only what they do not reach.
TEST(DateFilterTest, AnUnreadableBoundOrStartAfterEndPassesNothing) {
  ExportRequest request;
  request.startDate = u"2018-3-1";
  request.endDate = u"2018-2-1";
  EXPECT_FALSE(PassesDateFilter(request, "2018-2-15"));
  request.startDate = u"2018-2";
  EXPECT_FALSE(PassesDateFilter(request, "2018-2-10"));
  request.startDate = u"2018-2-1";
  request.endDate = u"";
  EXPECT_FALSE(PassesDateFilter(request, u"2018-2-10"));
}

TEST(ExportRequestTest, ChannelsOutOfRangeReachNoFlag) {
  ExportRequest request;
  request.SetIncluded(ChannelDataSet(7), true);
  EXPECT_TRUE(request.Includes(DataSet::Ch7));
  EXPECT_FALSE(request.Includes(DataSet::Ch6));
  request.dataSets.fill(true);
  request.SetIncluded(ChannelDataSet(8), false);
  EXPECT_FALSE(request.Includes(ChannelDataSet(8)));
  EXPECT_FALSE(request.Includes(ChannelDataSet(0)));
  EXPECT_TRUE(request.Includes(DataSet::Ch7));
}

}  // namespace
}  // namespace nimbrel
