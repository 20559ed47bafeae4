#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "export/export_writer.h"
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
  std::u16string Header() const {
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
  Fill(store, {kRecord, "", Dated("2017-1-1")});
  state.historyTotal = 3;
  state.downloadCancelled = true;  // left over from an earlier download

  ASSERT_EQ(Export(), kExportEnded);

  const std::string bytes = FileBytes(path);
  ASSERT_GE(bytes.size(), 6u);
  EXPECT_EQ(bytes.substr(0, 6), std::string("\xFF\xFE"
                                            "D\0a\0",
                                            6));
  // No CR anywhere but inside the quoted titles: every row ends in LF alone.
  EXPECT_EQ(FileText(path), Header() + std::u16string(kRecordRow) +
                                u" 2017-1-1 \t 10:05 \t  \t 21.5 \t 45 " + EmptyCells(28) + u"\n");
  EXPECT_FALSE(state.downloadCancelled);
  EXPECT_TRUE(state.historyReady);
}

TEST_F(ExportWriterTest, StoreOfEmptySlotsGivesTheHeaderOnly) {
  state.historyTotal = 5;
  ASSERT_EQ(Export(), kExportEnded);
  EXPECT_EQ(FileText(path), Header());

  state.historyTotal = 0;
  ASSERT_EQ(Export(), kExportEnded);
  EXPECT_EQ(FileText(path), Header());
}

TEST_F(ExportWriterTest, DateFilterIncludesBothEndsAndExcludesTheDaysOutside) {
  Fill(store, {Dated("2018-3-21"), Dated("2018-3-20"), Dated("2018-3-6"), Dated("2018-3-7"),
               Dated("2018-03-12"), Dated("2018/3/12"), Dated("12-3-2018x")});
  state.historyTotal = 7;
  request.dataSets.fill(false);
  request.wholePeriod = false;
  request.startDate = u"2018-03-07";
  request.endDate = u"2018-3-20";

  ASSERT_EQ(Export(), kExportEnded);
  EXPECT_EQ(FileText(path),
            Header() + DatedRow(u"2018-3-20") + DatedRow(u"2018-3-7") + DatedRow(u"2018-03-12"));

  // The whole period takes every record, unreadable dates included, in slot order.
  request.wholePeriod = true;
  ASSERT_EQ(Export(), kExportEnded);
  EXPECT_EQ(FileText(path), Header() + DatedRow(u"2018-3-21") + DatedRow(u"2018-3-20") +
                                DatedRow(u"2018-3-6") + DatedRow(u"2018-3-7") +
                                DatedRow(u"2018-03-12") + DatedRow(u"2018/3/12") +
                                DatedRow(u"12-3-2018x"));
}

TEST_F(ExportWriterTest, EveryDataSetOffLeavesDateTimeAnd31EmptyCells) {
  Fill(store, {kRecord});
  state.historyTotal = 1;
  request.dataSets.fill(false);
  ASSERT_EQ(Export(), kExportEnded);
  EXPECT_EQ(FileText(path), Header() + DatedRow(u"2018-3-7"));
}

TEST_F(ExportWriterTest, EachDataSetSwitchesOnItsOwnColumns) {
  const std::vector<std::pair<DataSet, std::vector<int>>> columnsOf = {
      {DataSet::BarometricPressure, {3}},
      {DataSet::IndoorTemperatureHumidity, {4, 5}},
      {DataSet::OutdoorTemperatureHumidity, {6, 7}},
      {DataSet::OutdoorDewPoint, {8}},
      {DataSet::OutdoorHeatIndex, {9}},
      {DataSet::WindData, {10, 11, 12, 13}},
      {DataSet::RainData, {14, 15, 16, 17, 18}},
      {DataSet::UvIndex, {19}},
      {DataSet::Ch1, {20, 21}},
      {DataSet::Ch2, {22, 23}},
      {DataSet::Ch3, {24, 25}},
      {DataSet::Ch4, {26, 27}},
      {DataSet::Ch5, {28, 29}},
      {DataSet::Ch6, {30, 31}},
      {DataSet::Ch7, {32, 33}},
  };
  const std::vector<std::u16string> full = Cells(kRecordRow);
  const RecordFields fields = SplitRecord(kRecord);
  for (const auto& [set, columns] : columnsOf) {
    ExportRequest one;
    one.SetIncluded(set, true);
    const std::vector<std::u16string> cells = Cells(ExportDataRow(fields, one, units));
    ASSERT_EQ(cells.size(), 33u);
    for (int column = 3; column <= 33; ++column) {
      const bool selected = std::find(columns.begin(), columns.end(), column) != columns.end();
      EXPECT_EQ(cells[column - 1], selected ? full[column - 1] : u"  ")
          << "data set " << static_cast<int>(set) << ", column " << column;
    }
  }
}

TEST_F(ExportWriterTest, ImperialUnitsConvertAndKeepDashesAndEmptyFields) {
  // Indoor "--", outdoor empty, dew point 1.7 (cut down to 35.0, not rounded to 35.1), wind
  // chill "--"; rain rate empty, daily "--", hourly "-"; gust "-"; absolute pressure unused.
  Fill(store, {"95 2018-3-7 10:05 -- 45  80 -- "
               " 10.0 - 270 W 1013.2 1010.1 3 1.7 20 -10 50 "
               "20 51 20 52 20 53 20 54 20 55 20 56 -- - 25.4 10"});
  state.historyTotal = 1;
  units = {TemperatureUnit::Fahrenheit, RainUnit::Inch,         PressureUnit::InHg,
           WindSpeedUnit::Mph,          PressureType::Relative, WindDirectionFormat::Degrees360};

  ASSERT_EQ(Export(), kExportEnded);
  EXPECT_EQ(FileText(path),
            std::u16string(kTitleRow) + std::u16string(kImperialUnitRow) +
                u" 2018-3-7 \t 10:05 \t 29.92 \t -- \t 45 \t  \t 80 \t 35.0 \t 68.0 \t 6.2 \t - \t"
                u" -- \t 270 \t  \t - \t -- \t 1.00 \t 0.39 \t 3 \t 14.0 \t 50 \t 68.0 \t 51 \t"
                u" 68.0 \t 52 \t 68.0 \t 53 \t 68.0 \t 54 \t 68.0 \t 55 \t 68.0 \t 56 \n");
}

TEST_F(ExportWriterTest, PressureTypeAndDirectionFormChooseTheirFields) {
  const RecordFields fields = SplitRecord(kRecord);
  units.pressureType = PressureType::Absolute;
  units.pressureUnit = PressureUnit::MmHg;
  units.windDirectionFormat = WindDirectionFormat::Degrees360;
  const std::vector<std::u16string> cells = Cells(ExportDataRow(fields, request, units));
  EXPECT_EQ(cells[2], u" 757.6 ");  // 1010.1 hPa
  EXPECT_EQ(cells[12], u" 270 ");

  const std::vector<std::u16string> unitCells = Cells(ExportUnitRow(units));
  EXPECT_EQ(unitCells[2], u" mmHg(Abs) ");
  EXPECT_EQ(unitCells[12], u" 360\u00B0(Degree) ");
}

TEST_F(ExportWriterTest, RowLongerThanAnyFixedBufferIsWrittenWhole) {
  std::string line = "95 2018-3-7";
  for (int field = 2; field < 36; ++field) {
    line += " 12345678.90";
  }
  ASSERT_LE(line.size(), kHistoryRecordSize);
  Fill(store, {line});
  state.historyTotal = 1;

  ASSERT_EQ(Export(), kExportEnded);
  const std::u16string text = FileText(path);
  const std::u16string row = text.substr(Header().size());
  EXPECT_GT(row.size(), 449u);
  EXPECT_TRUE(row.ends_with(u"\t 12345678.90 \n"));
  EXPECT_EQ(Cells(row).size(), 33u);
}

TEST_F(ExportWriterTest, NothingIsWrittenWithoutACompleteDownloadOrAnOpenableFile) {
  state.historyReady = false;
  EXPECT_EQ(Export(), kExportFailed);
  EXPECT_FALSE(fs::exists(path));

  state.historyReady = true;
  path = dir.File("missing-folder/history.csv");
  EXPECT_EQ(Export(), kExportFailed);

  path = dir.Path().string();  // a folder
  EXPECT_EQ(Export(), kExportFailed);
  EXPECT_TRUE(fs::is_directory(path));
}

TEST_F(ExportWriterTest, CancelAfterARowDeletesThePartialFile) {
  // Cancels, as the status bar would, while the second row is written.
  class CancellingFile : public FailingFile {
   public:
    explicit CancellingFile(SharedState& state) : FailingFile(1 << 20), state_(state) {}
    bool Write(std::string_view bytes) override {
      if (++writes_ == 3) {
        state_.downloadCancelled = true;
      }
      return FailingFile::Write(bytes);
    }

   private:
    SharedState& state_;
    int writes_ = 0;
  };

  Fill(store, {kRecord, kRecord, kRecord, kRecord});
  state.historyTotal = 4;
  CancellingFile file(state);
  EXPECT_EQ(WriteExport(Job(), file), kExportEnded);
  EXPECT_FALSE(fs::exists(path));
  EXPECT_FALSE(state.historyReady);
}

TEST_F(ExportWriterTest, FailedWriteOrCloseDeletesThePartialFileAndFails) {
  Fill(store, {kRecord, kRecord, kRecord});
  state.historyTotal = 3;
  ASSERT_EQ(Export(), kExportEnded);
  const std::size_t size = FileBytes(path).size();

  for (const std::size_t budget : {std::size_t{0}, std::size_t{7}, size / 2, size - 1}) {
    FailingFile file(budget);
    EXPECT_EQ(WriteExport(Job(), file), kExportFailed) << "after " << budget << " bytes";
    EXPECT_FALSE(fs::exists(path)) << "after " << budget << " bytes";
  }
  FailingFile closeFails(size, true);
  EXPECT_EQ(WriteExport(Job(), closeFails), kExportFailed);
  EXPECT_FALSE(fs::exists(path));
  EXPECT_TRUE(state.historyReady);
}

TEST_F(ExportWriterTest, FullDeviceFailsAndIsNeverRemoved) {
  if (!fs::exists("/dev/full")) {
    GTEST_SKIP() << "no /dev/full here";
  }
  path = "/dev/full";
  Fill(store, {kRecord, kRecord, kRecord});
  state.historyTotal = 3;
  EXPECT_EQ(Export(), kExportFailed);
  EXPECT_TRUE(fs::is_character_file("/dev/full"));
}

TEST_F(ExportWriterTest, ReplacedFileIsRemovedOnFailureButALinkIsLeftAlone) {
  Fill(store, {kRecord});
  state.historyTotal = 1;
  { std::ofstream(path) << "an older export"; }
  FailingFile truncated(10);
  EXPECT_EQ(WriteExport(Job(), truncated), kExportFailed);
  EXPECT_FALSE(fs::exists(path));

  // The link is not the export's own file, so it stays (its target keeps the partial text).
  const std::string target = dir.File("target.csv");
  std::ofstream(target) << "x";
  fs::create_symlink(target, path);
  FailingFile throughLink(10);
  EXPECT_EQ(WriteExport(Job(), throughLink), kExportFailed);
  EXPECT_TRUE(fs::is_symlink(path));
}

TEST_F(ExportWriterTest, ResultIsHandedOffOnceBeforeDownloadActiveIsCleared) {
  Fill(store, {kRecord});
  state.historyTotal = 1;
  RecordingSink sink(state);
  DiskExportFile file;
  RunExport(Job(), file, sink);
  EXPECT_EQ(sink.Calls(), (std::vector<RecordingSink::Call>{{kExportEnded, true}}));
  EXPECT_FALSE(state.downloadActive);

  state.downloadActive = true;
  state.historyReady = false;
  RecordingSink failed(state);
  RunExport(Job(), file, failed);
  EXPECT_EQ(failed.Calls(), (std::vector<RecordingSink::Call>{{kExportFailed, true}}));
  EXPECT_FALSE(state.downloadActive);
}

TEST_F(ExportWriterTest, FileNameIsUsedWholeBeyond255Characters) {
  fs::path deep = dir.Path();
  for (int level = 0; level < 6; ++level) {
    deep /= std::string(60, static_cast<char>('a' + level));
  }
  fs::create_directories(deep);
  const std::string longName = (deep / "history.xls").string();
  ASSERT_GT(longName.size(), 255u);
  state.SetExportFileName(longName);
  Fill(store, {kRecord});
  state.historyTotal = 1;

  DiskExportFile file;
  ASSERT_EQ(WriteExport(MakeExportJob(store, state, request, units), file), kExportEnded);
  EXPECT_EQ(FileText(longName), Header() + std::u16string(kRecordRow));
}

}  // namespace
}  // namespace nimbrel::testing
