// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "export/csv_writer.h"
#include "export/export_writer.h"
#include "platform/memory_pages.h"
#include "tests/export/export_test_support.h"

namespace nimbrel::testing {
namespace {

namespace fs = std::filesystem;

constexpr std::u16string_view kTitleRow =
    u"Date\tTime\t\"Barometric\r\npressure\"\t\"Indoor\r\ntemperature\"\t\"Indoor\r\nhumidity\"\t"
    u"\"Outdoor\r\ntemperature\"\t\"Outdoor\r\nhumidity\"\tDew-point\t\"Heat\r\nindex\"\t"
    u"\"Wind\r\nspeed\"\t\"Wind\r\ngust\"\t\"Wind\r\nchill\"\t\"Wind\r\ndirection\"\tRain rate\t"
    u"\"Hourly\r\nrainfall\"\t\"Daily\r\nrainfall\"\t\"Weekly\r\nrainfall\"\t"
    u"\"Monthly\r\nrainfall\"\t\"UV\r\nindex\"\t\"CH1\r\ntemperature\"\t\"CH1\r\nhumidity\"\t"
    u"\"CH2\r\ntemperature\"\t\"CH2\r\nhumidity\"\t\"CH3\r\ntemperature\"\t\"CH3\r\nhumidity\"\t"
    u"\"CH4\r\ntemperature\"\t\"CH4\r\nhumidity\"\t\"CH5\r\ntemperature\"\t\"CH5\r\nhumidity\"\t"
    u"\"CH6\r\ntemperature\"\t\"CH6\r\nhumidity\"\t\"CH7\r\ntemperature\"\t\"CH7\r\nhumidity\"\n";

// Celsius, millimetres, hPa, km/h, relative pressure, 16 points.
constexpr std::u16string_view kDefaultUnitRow =
    u" yy-mm-dd \t hh:mm \t hPa(Rel) \t \u00B0C \t % \t \u00B0C \t % \t \u00B0C \t \u00B0C \t"
    u" km/h \t km/h \t \u00B0C \t 16(direction) \t mm/h \t mm \t  mm \t mm \t mm \t index \t"
    u" \u00B0C \t % \t \u00B0C \t % \t \u00B0C \t % \t \u00B0C \t % \t \u00B0C \t % \t"
    u" \u00B0C \t % \t \u00B0C \t % \n";

// Fahrenheit, inches, inHg, mph, relative pressure, 360 degrees.
constexpr std::u16string_view kImperialUnitRow =
    u" yy-mm-dd \t hh:mm \t inHg(Rel) \t \u00B0F \t % \t \u00B0F \t % \t \u00B0F \t \u00B0F \t"
    u" mph \t mph \t \u00B0F \t 360\u00B0(Degree) \t in/h \t in \t  in \t in \t in \t index \t"
    u" \u00B0F \t % \t \u00B0F \t % \t \u00B0F \t % \t \u00B0F \t % \t \u00B0F \t % \t"
    u" \u00B0F \t % \t \u00B0F \t % \n";

// A full record of 2018-3-7 and its row with every data set in the default units.
constexpr std::string_view kRecord =
    "95 2018-3-7 10:05 21.5 45 3.2 80 1.2 0.5 10.0 15.0 270 W 1013.2 1010.1 3 1.5 4.0 19.0 50 "
    "20.0 51 21.0 52 22.0 53 23.0 54 24.0 55 25.0 56 -2.0 0.3 5.4 20.1";
constexpr std::u16string_view kRecordRow =
    u" 2018-3-7 \t 10:05 \t 1013.2 \t 21.5 \t 45 \t 3.2 \t 80 \t 1.5 \t 4.0 \t 10.0 \t 15.0 \t"
    u" -2.0 \t W \t 0.5 \t 0.3 \t 1.2 \t 5.4 \t 20.1 \t 3 \t 19.0 \t 50 \t 20.0 \t 51 \t 21.0 \t"
    u" 52 \t 22.0 \t 53 \t 23.0 \t 54 \t 24.0 \t 55 \t 25.0 \t 56 \n";

std::string Dated(std::string_view date) {
  return "95 " + std::string(date) + " 10:05 21.5 45";
}

std::u16string EmptyCells(int count) {
  std::u16string cells;
  for (int cell = 0; cell < count; ++cell) {
    cells += u"\t  ";
  }
  return cells;
}

// The row of a Dated() record with every data set off.
std::u16string DatedRow(std::u16string_view date) {
  return u" " + std::u16string(date) + u" \t 10:05 " + EmptyCells(31) + u"\n";
}

std::vector<std::u16string> Cells(std::u16string_view row) {
  std::vector<std::u16string> cells(1);
  for (const char16_t c : row.substr(0, row.size() - 1)) {
    if (c == u'\t') {
      cells.emplace_back();
    } else {
      cells.back() += c;
    }
  }
  return cells;
}

class ExportWriterTest : public ::testing::Test {
 protected:
  ExportWriterTest() {
    state.historyReady = true;
    state.downloadActive = true;
    request.wholePeriod = true;
    request.dataSets.fill(true);
  }

  ExportJob Job() { return {store, state, request, units, path}; }
  int Export() {
    DiskExportFile file;
    return WriteExport(Job(), file);
  }
  void Serve(std::initializer_list<std::string_view> lines) {
    Fill(store, lines);
    state.historyTotal = static_cast<int>(lines.size());
  }
  static std::u16string Header() {
    return std::u16string(kTitleRow) + std::u16string(kDefaultUnitRow);
  }

  TempDir dir;
  std::string path = dir.File("history.csv");
  HistoryStore store;
  SharedState state;
  ExportRequest request;
  UnitSettings units;
};

TEST_F(ExportWriterTest, WritesMarkTitlesUnitsAndOneRowPerRecordInSlotOrder) {
  Serve({kRecord, "", Dated("2017-1-1"), Dated("2018/3/12")});
  state.downloadCancelled = true;  // left over from an earlier download
  ASSERT_EQ(Export(), kExportEnded);
  // A UTF-16LE mark (FileText checks it); no CR but inside the quoted titles: rows end in LF.
  // The whole period takes an unreadable date too.
  const std::u16string tail = u" \t 10:05 \t  \t 21.5 \t 45 " + EmptyCells(28) + u"\n";
  EXPECT_EQ(FileText(path),
            Header() + std::u16string(kRecordRow) + u" 2017-1-1" + tail + u" 2018/3/12" + tail);
  EXPECT_FALSE(state.downloadCancelled);
  EXPECT_TRUE(state.historyReady);
}

TEST_F(ExportWriterTest, DateFilterIncludesBothEndsAndEveryDataSetOffLeavesEmptyCells) {
  Serve({Dated("2018-3-21"), Dated("2018-3-20"), Dated("2018-3-6"), kRecord, Dated("2018-03-12"),
         Dated("2018/3/12"), Dated("12-3-2018x")});
  request.dataSets.fill(false);
  request.wholePeriod = false;
  request.startDate = u"2018-03-07";
  request.endDate = u"2018-3-20";
  ASSERT_EQ(Export(), kExportEnded);
  EXPECT_EQ(FileText(path),
            Header() + DatedRow(u"2018-3-20") + DatedRow(u"2018-3-7") + DatedRow(u"2018-03-12"));
}

TEST_F(ExportWriterTest, EachDataSetSwitchesOnItsOwnColumns) {
  // The first column and the column count of each data set, in DataSet order.
  constexpr int kFirst[kDataSetCount] = {3, 4, 6, 14, 19, 10, 8, 9, 20, 22, 24, 26, 28, 30, 32};
  constexpr int kCount[kDataSetCount] = {1, 2, 2, 5, 1, 4, 1, 1, 2, 2, 2, 2, 2, 2, 2};
  const std::vector<std::u16string> full = Cells(kRecordRow);
  for (std::size_t set = 0; set < kDataSetCount; ++set) {
    ExportRequest one;
    one.SetIncluded(static_cast<DataSet>(set), true);
    const auto cells = Cells(ExportDataRow(SplitRecord(kRecord), one, units));
    ASSERT_EQ(cells.size(), 33u);
    for (int column = 3; column <= 33; ++column) {
      const bool selected = column >= kFirst[set] && column < kFirst[set] + kCount[set];
      EXPECT_EQ(cells[column - 1], selected ? full[column - 1] : u"  ")
          << "data set " << set << ", column " << column;
    }
  }
}

TEST_F(ExportWriterTest, ImperialUnitsConvertAndKeepDashesAndEmptyFields) {
  // Indoor "--", outdoor empty, dew point 1.7 (cut down to 35.0, not rounded to 35.1), wind
  // chill "--"; rain rate empty, daily "--", hourly "-"; gust "-"; absolute pressure unused.
  Serve(
      {"95 2018-3-7 10:05 -- 45  80 --  10.0 - 270 W 1013.2 1010.1 3 1.7 20 -10 50 "
       "20 51 20 52 20 53 20 54 20 55 20 56 -- - 25.4 10"});
  units = {TemperatureUnit::Fahrenheit, RainUnit::Inch,         PressureUnit::InHg,
           WindSpeedUnit::Mph,          PressureType::Relative, WindDirectionFormat::Degrees360};
  ASSERT_EQ(Export(), kExportEnded);
  EXPECT_EQ(FileText(path),
            std::u16string(kTitleRow) + std::u16string(kImperialUnitRow) +
                u" 2018-3-7 \t 10:05 \t 29.92 \t -- \t 45 \t  \t 80 \t 35.0 \t 68.0 \t 6.2 \t - \t"
                u" -- \t 270 \t  \t - \t -- \t 1.00 \t 0.39 \t 3 \t 14.0 \t 50 \t 68.0 \t 51 \t"
                u" 68.0 \t 52 \t 68.0 \t 53 \t 68.0 \t 54 \t 68.0 \t 55 \t 68.0 \t 56 \n");

  // Absolute pressure comes from its own field (1010.1 hPa).
  units.pressureType = PressureType::Absolute;
  units.pressureUnit = PressureUnit::MmHg;
  EXPECT_EQ(Cells(ExportDataRow(SplitRecord(kRecord), request, units))[2], u" 757.6 ");
  EXPECT_EQ(Cells(ExportUnitRow(units))[2], u" mmHg(Abs) ");
}

TEST_F(ExportWriterTest, NothingIsWrittenWithoutACompleteDownloadOrAnOpenableFile) {
  state.historyReady = false;
  RecordingSink sink(state);
  DiskExportFile file;
  RunExport(Job(), file, sink);  // the failure is handed off before DownloadActive is cleared
  EXPECT_EQ(sink.Calls(), (std::vector<RecordingSink::Call>{{kExportFailed, true, false}}));
  EXPECT_FALSE(state.downloadActive);
  EXPECT_FALSE(fs::exists(path));

  state.historyReady = true;
  path = dir.File("missing-folder/history.csv");
  EXPECT_EQ(Export(), kExportFailed);
  path = dir.Path().string();  // a folder
  EXPECT_EQ(Export(), kExportFailed);
  EXPECT_TRUE(fs::is_directory(path));

  path = dir.File("empty.csv");  // a store of empty slots, then none, gives the header alone
  for (const int total : {5, 0}) {
    state.historyTotal = total;
    ASSERT_EQ(Export(), kExportEnded);
    EXPECT_EQ(FileText(path), Header());
  }
}

TEST_F(ExportWriterTest, FailedWriteOrCloseDeletesOnlyTheExportsOwnFile) {
  Serve({kRecord, kRecord, kRecord});
  ASSERT_EQ(Export(), kExportEnded);
  const std::size_t size = FileBytes(path).size();
  for (const std::size_t budget : {std::size_t{0}, std::size_t{7}, size / 2, size - 1}) {
    FailingFile file(budget);  // replaces the earlier export, then fails
    EXPECT_EQ(WriteExport(Job(), file), kExportFailed) << "after " << budget << " bytes";
    EXPECT_FALSE(fs::exists(path)) << "after " << budget << " bytes";
    std::ofstream(path) << "an older export";
  }
  FailingFile closeFails(size, true);
  EXPECT_EQ(WriteExport(Job(), closeFails), kExportFailed);
  EXPECT_FALSE(fs::exists(path));
  EXPECT_TRUE(state.historyReady);

  // A link is not the export's own file, so it stays (its target keeps the partial text).
  // Windows lets only some users make links.
  const std::string target = dir.File("target.csv");
  std::ofstream(target) << "x";
  std::error_code noLinks;
  fs::create_symlink(target, path, noLinks);
  if (!noLinks) {
    FailingFile throughLink(10);
    EXPECT_EQ(WriteExport(Job(), throughLink), kExportFailed);
    EXPECT_TRUE(fs::is_symlink(path));
  }

  if (fs::exists("/dev/full")) {  // a full disk, and a device that is never removed
    path = "/dev/full";
    EXPECT_EQ(Export(), kExportFailed);
    EXPECT_TRUE(fs::is_character_file("/dev/full"));
  }
}

TEST(HistoryStoreTest, ClearEmptiesOnlyWhatWasWrittenHandingWholePagesBack) {
  static std::size_t zeroed = 0;
  const PageZeroer counting = [](void* block, std::size_t size) {
    zeroed += size;
    return ZeroByReleasingPages(block, size);
  };
  for (const PageZeroer zeroer : {counting, PageZeroer{}}) {
    HistoryStore store(zeroer);
    store.Clear();  // nothing written yet, so nothing is touched
    for (const std::size_t slot : {0, 10, 20}) {
      store.Put(slot, Record("95 2018-3-7"));
    }
    store.Clear();
    for (const std::size_t slot : {0, 10, 20}) {
      EXPECT_EQ(RecordText(store.Slot(slot)), "");
    }
  }
  EXPECT_EQ(zeroed, 21 * kHistoryRecordSize);
}

// A row has no fixed-size buffer to outgrow (nor has a file name: see the export thread's test).
TEST_F(ExportWriterTest, ALongRowIsWrittenWhole) {
  std::string line = "95 2018-3-7";
  for (int field = 2; field < 36; ++field) {
    line += " 12345678.90";
  }
  ASSERT_LE(line.size(), kHistoryRecordSize);
  Serve({line});
  ASSERT_EQ(Export(), kExportEnded);
  const std::u16string row = FileText(path).substr(Header().size());
  EXPECT_GT(row.size(), 449u);
  EXPECT_TRUE(row.ends_with(u"\t 12345678.90 \n"));
  EXPECT_EQ(Cells(row).size(), 33u);
}

// The plain CSV file: a header of names with units, ISO times, converted values, empty cells for
// no reading and for an unreadable date, RFC 4180 quotes, CR LF, no byte-order mark.
TEST_F(ExportWriterTest, CsvFileForDataTools) {
  units = {TemperatureUnit::Fahrenheit, RainUnit::Inch,         PressureUnit::InHg,
           WindSpeedUnit::Mph,          PressureType::Absolute, WindDirectionFormat::Degrees360};
  request.wholePeriod = true;
  request.dataSets.fill(false);
  for (const DataSet set : {DataSet::BarometricPressure, DataSet::OutdoorTemperatureHumidity,
                            DataSet::WindData, DataSet::RainData}) {
    request.SetIncluded(set, true);
  }
  const CsvExport format(request, units);
  DiskExportFile file;
  CsvFileWriter writer(file, format);
  ASSERT_TRUE(writer.Begin(path));
  for (const std::string_view text :
       {kRecord, std::string_view("7 2018-3-8 0:00 21.5 45 --.- -- - - - - 1,5 X 1009.0 -- 1"),
        std::string_view("7 2018-2-30 0:00 21.5 45 3.2 80 0.0 0.0 0.0 0.0 9\"0"),
        // A time or a month past the clock's and the calendar's: no time, and no date either
        // where the date is none.
        std::string_view("7 2018-3-9 24:00 21.5 45 --.- -- - - - - 1"),
        std::string_view("7 2018-13-1 0:00 21.5 45 --.- -- - - - - 1")}) {
    ASSERT_TRUE(writer.Add(text));
  }
  ASSERT_TRUE(writer.Finish());
  EXPECT_EQ(FileBytes(path),
            "time,absolute_pressure_inhg,outdoor_temperature_f,outdoor_humidity_pct,wind_speed_mph,"
            "wind_gust_mph,wind_chill_f,wind_direction_deg,rain_rate_in_h,hourly_rain_in,"
            "daily_rain_in,weekly_rain_in,monthly_rain_in\r\n"
            "2018-03-07T10:05,29.82,37.7,80,6.2,9.3,28.4,270,0.02,0.01,0.05,0.21,0.79\r\n"
            "2018-03-08T00:00,,,,,,,\"1,5\",,,,,\r\n"
            ",,37.7,80,0.0,0.0,,\"9\"\"0\",0.00,,0.00,,\r\n"
            "2018-03-09,,,,,,,1,,,,,\r\n"
            ",,,,,,,1,,,,,\r\n");
}

}  // namespace
}  // namespace nimbrel::testing
