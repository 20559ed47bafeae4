// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "settings/export_validation.h"

namespace nimbrel {
namespace {

ExportChoices Dates(std::u16string sy, std::u16string sm, std::u16string sd, std::u16string ey,
                    std::u16string em, std::u16string ed) {
  ExportChoices choices;
  choices.dates = {sy, sm, sd, ey, em, ed};
  return choices;
}

TEST(ValidateExportRequest, ChecksTheDateBoxesInOrderAndStopsAtTheFirstError) {
  const std::pair<ExportChoices, std::optional<std::string_view>> cases[] = {
      {Dates(u"2018", u"2", u"1", u"2018", u"2", u"31"), std::nullopt},  // day not checked by month
      {Dates(u"2019", u"1", u"1", u"2018", u"1", u"1"), std::nullopt},   // start after end is fine
      {Dates(u"201", u"1", u"1", u"2018", u"1", u"1"), "Year input error !"},
      {Dates(u"2018", u"13", u"1", u"2018", u"1", u"1"), "Month input error !"},
      {Dates(u"2018", u"1", u"32", u"2018", u"1", u"1"), "Day input error !"},
      {Dates(u"2018", u"1", u"1", u"2016", u"1", u"1"), "Year input error !"},
      {Dates(u"2018", u"1", u"1", u"2018", u"1", u""), "Day input error !"},
      {Dates(u"2018", u"", u"x", u"", u"", u""), "Month input error !"},
      // Digits only, no more than the window's boxes take: all else the date filter cannot read.
      {Dates(u"20x8", u"3", u"7", u"2018", u"3", u"7"), "Year input error !"},
      {Dates(u"2018", u"+3", u"7", u"2018", u"3", u"7"), "Month input error !"},
      {Dates(u"2018", u"3", u"7", u" 2018", u"3", u"7"), "Year input error !"},
      {Dates(u"2018", u"3", u"7", u"2018", u"3", u"007"), "Day input error !"},
  };
  for (const auto& [choices, error] : cases) {
    ExportRequest request;
    EXPECT_EQ(ValidateExportRequest(choices, request), error)
        << std::string(choices.dates.startYear.begin(), choices.dates.startYear.end());
  }
}

TEST(ValidateExportRequest, FillsTheRequestAsFarAsTheChecksPass) {
  ExportRequest request;
  ExportChoices choices = Dates(u"2018", u"02", u"1", u"2018", u"2", u"31");
  choices.dataSets[static_cast<std::size_t>(DataSet::RainData)] = true;
  ASSERT_EQ(ValidateExportRequest(choices, request), std::nullopt);
  EXPECT_EQ(request.startDate, u"2018-02-1");
  EXPECT_EQ(request.endDate, u"2018-2-31");
  EXPECT_TRUE(request.Includes(DataSet::RainData));
  EXPECT_FALSE(request.wholePeriod);

  // An end-date error keeps the new start date but neither the end date nor the data sets.
  ExportChoices bad = Dates(u"2019", u"5", u"6", u"1999", u"1", u"1");
  EXPECT_EQ(ValidateExportRequest(bad, request), "Year input error !");
  EXPECT_EQ(request.startDate, u"2019-5-6");
  EXPECT_EQ(request.endDate, u"2018-2-31");
  EXPECT_TRUE(request.Includes(DataSet::RainData));

  // The whole period reads no date box and keeps the last dates; an empty data set passes.
  ExportChoices whole;
  whole.wholePeriod = true;
  EXPECT_EQ(ValidateExportRequest(whole, request), std::nullopt);
  EXPECT_TRUE(request.wholePeriod);
  EXPECT_EQ(request.startDate, u"2019-5-6");
  EXPECT_FALSE(request.Includes(DataSet::RainData));
}

TEST(ExportFileName, OnlyCsvAndXlsInAnyCaseAreAccepted) {
  // Upper case and a wrong extension are checked through the window and nimbrel-cli as well.
  for (const auto& [name, accepted] :
       {std::pair{"/a/d.xls", true}, {".csv", true}, {"csv", false}}) {
    EXPECT_EQ(HasExportFileExtension(name), accepted) << name;
  }
  EXPECT_FALSE(HasExportFileExtension(u"/home/ann/report.csv "));
}

}  // namespace
}  // namespace nimbrel
