// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/export_writer.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <optional>
#include <tuple>

#include "readings/reading_format.h"
#include "readings/units.h"

namespace nimbrel {
namespace {

// How a column's unit cell and value are made.
enum class ColumnKind {
  Date,
  Time,
  Pressure,  // the field depends on the pressure type
  Temperature,
  Humidity,
  WindSpeed,
  WindDirection,  // the field depends on the direction form
  RainRate,
  Rainfall,
  UvIndex,
};

struct Column {
  std::u16string_view title;
  std::u16string_view secondLine;  // empty for a one-line title, which is written unquoted
  ColumnKind kind;
  RecordField field;
  std::optional<DataSet> dataSet;  // none: always written
};

constexpr RecordField ChannelTemperature(int channel) {
  return static_cast<RecordField>(16 + 2 * channel);
}

constexpr RecordField ChannelHumidity(int channel) {
  return static_cast<RecordField>(17 + 2 * channel);
}

using enum ColumnKind;

constexpr std::array<Column, 33> kColumns{{
    {u"Date", u"", Date, kFieldDate, std::nullopt},
    {u"Time", u"", Time, kFieldTime, std::nullopt},
    {u"Barometric", u"pressure", Pressure, kFieldRelativePressure, DataSet::BarometricPressure},
    {u"Indoor", u"temperature", Temperature, kFieldIndoorTemperature,
     DataSet::IndoorTemperatureHumidity},
    {u"Indoor", u"humidity", Humidity, kFieldIndoorHumidity, DataSet::IndoorTemperatureHumidity},
    {u"Outdoor", u"temperature", Temperature, kFieldOutdoorTemperature,
     DataSet::OutdoorTemperatureHumidity},
    {u"Outdoor", u"humidity", Humidity, kFieldOutdoorHumidity, DataSet::OutdoorTemperatureHumidity},
    {u"Dew-point", u"", Temperature, kFieldDewPoint, DataSet::OutdoorDewPoint},
    {u"Heat", u"index", Temperature, kFieldHeatIndex, DataSet::OutdoorHeatIndex},
    {u"Wind", u"speed", WindSpeed, kFieldWindSpeed, DataSet::WindData},
    {u"Wind", u"gust", WindSpeed, kFieldWindGust, DataSet::WindData},
    {u"Wind", u"chill", Temperature, kFieldWindChill, DataSet::WindData},
    {u"Wind", u"direction", WindDirection, kFieldWindDirectionPoint, DataSet::WindData},
    {u"Rain rate", u"", RainRate, kFieldRainRate, DataSet::RainData},
    {u"Hourly", u"rainfall", Rainfall, kFieldHourlyRain, DataSet::RainData},
    {u"Daily", u"rainfall", Rainfall, kFieldDailyRain, DataSet::RainData},
    {u"Weekly", u"rainfall", Rainfall, kFieldWeeklyRain, DataSet::RainData},
    {u"Monthly", u"rainfall", Rainfall, kFieldMonthlyRain, DataSet::RainData},
    {u"UV", u"index", UvIndex, kFieldUvIndex, DataSet::UvIndex},
    {u"CH1", u"temperature", Temperature, ChannelTemperature(1), DataSet::Ch1},
    {u"CH1", u"humidity", Humidity, ChannelHumidity(1), DataSet::Ch1},
    {u"CH2", u"temperature", Temperature, ChannelTemperature(2), DataSet::Ch2},
    {u"CH2", u"humidity", Humidity, ChannelHumidity(2), DataSet::Ch2},
    {u"CH3", u"temperature", Temperature, ChannelTemperature(3), DataSet::Ch3},
    {u"CH3", u"humidity", Humidity, ChannelHumidity(3), DataSet::Ch3},
    {u"CH4", u"temperature", Temperature, ChannelTemperature(4), DataSet::Ch4},
    {u"CH4", u"humidity", Humidity, ChannelHumidity(4), DataSet::Ch4},
    {u"CH5", u"temperature", Temperature, ChannelTemperature(5), DataSet::Ch5},
    {u"CH5", u"humidity", Humidity, ChannelHumidity(5), DataSet::Ch5},
    {u"CH6", u"temperature", Temperature, ChannelTemperature(6), DataSet::Ch6},
    {u"CH6", u"humidity", Humidity, ChannelHumidity(6), DataSet::Ch6},
    {u"CH7", u"temperature", Temperature, ChannelTemperature(7), DataSet::Ch7},
    {u"CH7", u"humidity", Humidity, ChannelHumidity(7), DataSet::Ch7},
}};

// The unit cell of the daily rainfall has one more space in front; the layout of the file has
// always had it, and readers of the file may count on it.
constexpr std::size_t kDailyRainfallColumn = 15;

constexpr char16_t kTab = u'\t';
constexpr char16_t kLineFeed = u'\n';

std::u16string_view UnitLabel(ColumnKind kind, const UnitSettings& units) {
  switch (kind) {
    case Date:
      return u"yy-mm-dd";
    case Time:
      return u"hh:mm";
    case Pressure:
      return PressureLabelText(units.pressureUnit, units.pressureType);
    case Temperature:
      return TemperatureUnitText(units.temperatureUnit);
    case Humidity:
      return HumidityUnitText();
    case WindSpeed:
      return WindSpeedUnitText(units.windSpeedUnit);
    case WindDirection:
      return WindDirectionLabelText(units.windDirectionFormat);
    case RainRate:
      return RainRateUnitText(units.rainUnit);
    case Rainfall:
      return RainfallUnitText(units.rainUnit);
    case UvIndex:
      return u"index";
  }
  return {};
}

RecordField ValueField(const Column& column, const UnitSettings& units) {
  switch (column.kind) {
    case Pressure:
      return PressureField(units);
    case WindDirection:
      return WindDirectionField(units);
    default:
      return column.field;
  }
}

UnitConversion ColumnConversion(ColumnKind kind, const UnitSettings& units) {
  switch (kind) {
    case Pressure:
      return PressureConversion(units.pressureUnit);
    case Temperature:
      return TemperatureConversion(units.temperatureUnit);
    case WindSpeed:
      return WindSpeedConversion(units.windSpeedUnit);
    case RainRate:
    case Rainfall:
      return RainConversion(units.rainUnit);
    default:
      return {};
  }
}

bool Selected(const Column& column, const ExportRequest& request) {
  return !column.dataSet || request.Includes(*column.dataSet);
}

// A cell of the unit row or of a data row: a space, the text and a space; a tab before every cell
// but the first.
void AppendCell(std::size_t column, std::u16string_view text, std::u16string& row) {
  if (column > 0) {
    row += kTab;
  }
  row += u' ';
  row += text;
  row += u' ';
}

void AppendTitle(const Column& column, std::u16string& row) {
  if (column.secondLine.empty()) {
    row += column.title;
    return;
  }
  // Quoted, with CR LF inside, so that a spreadsheet shows the title on two lines.
  row += u'"';
  row += column.title;
  row += u"\r\n";
  row += column.secondLine;
  row += u'"';
}

// Slots past the store are never read.
std::size_t SlotCount(const SharedState& state) {
  const int total = state.historyTotal.load();
  return total <= 0 ? 0 : std::min(static_cast<std::size_t>(total), HistoryStore::kSlotCount);
}

// How each column of a data row is made in this export, worked out once rather than per cell.
struct ColumnPlan {
  bool selected = false;
  RecordField field = kFieldDate;
  UnitConversion conversion;
};
using RowPlan = std::array<ColumnPlan, kColumns.size()>;

RowPlan MakeRowPlan(const ExportRequest& request, const UnitSettings& units) {
  RowPlan plan;
  for (std::size_t i = 0; i < kColumns.size(); ++i) {
    plan[i] = {Selected(kColumns[i], request), ValueField(kColumns[i], units),
               ColumnConversion(kColumns[i].kind, units)};
  }
  return plan;
}

// The most bytes a data row takes: every cell a space, the longest value and a space, a tab
// between cells and the LF, two bytes a character.
constexpr std::size_t kMaxRowBytes =
    2 * (kColumns.size() * (3 + std::max(FieldText::kCapacity, std::tuple_size_v<FixedText>)) + 1);

// Each byte of a record is one character with the byte's value as its code, so every character of
// a data row is one UTF-16LE unit: the byte, then a zero byte.
char* PutUnit(char c, char* out) {
  out[0] = c;
  out[1] = '\0';
  return out + 2;
}

char* PutText(std::string_view text, char* out) {
  for (const char c : text) {
    out = PutUnit(c, out);
  }
  return out;
}

// The data row of one record, written straight as bytes at `out`, which has room for
// kMaxRowBytes; returns the end of the row.
char* PutDataRow(const RecordFieldViews& fields, const RowPlan& plan, char* out) {
  FixedText printed;
  for (std::size_t i = 0; i < plan.size(); ++i) {
    if (i > 0) {
      out = PutUnit('\t', out);
    }
    out = PutUnit(' ', out);
    if (plan[i].selected) {
      out = PutText(InUnit(fields[plan[i].field], plan[i].conversion, printed), out);
    }
    out = PutUnit(' ', out);
  }
  return PutUnit('\n', out);
}

// Rows gathered into large writes: the file sees a few dozen writes rather than one per row.
class RowBuffer {
 public:
  explicit RowBuffer(ExportFile& file) : file_(file), bytes_(kBufferBytes, '\0') {}

  // Where the next row goes, with room for kMaxRowBytes; nothing when writing out what was
  // gathered, to make that room, failed.
  char* Room() {
    if (bytes_.size() - used_ < kMaxRowBytes && !Flush()) {
      return nullptr;
    }
    return bytes_.data() + used_;
  }
  // The row written at Room() ends at `end`.
  void Took(const char* end) { used_ = static_cast<std::size_t>(end - bytes_.data()); }

  bool Flush() {
    const bool written = used_ == 0 || file_.Write({bytes_.data(), used_});
    used_ = 0;
    return written;
  }

 private:
  static constexpr std::size_t kBufferBytes = 1 << 18;
  static_assert(kBufferBytes > kMaxRowBytes);
  ExportFile& file_;
  std::string bytes_;
  std::size_t used_ = 0;
};

bool WriteHeader(const UnitSettings& units, ExportFile& file) {
  std::string bytes;
  AppendUtf16Le(u"\uFEFF", bytes);
  AppendUtf16Le(ExportTitleRow(), bytes);
  AppendUtf16Le(ExportUnitRow(units), bytes);
  return file.Write(bytes);
}

// Adds the row of one record, unless its slot is empty or its date outside the period; false when
// the file refused the rows gathered before it.
bool AddRow(std::string_view text, const ExportRequest& request, const RowPlan& plan,
            RowBuffer& rows) {
  if (text.empty()) {
    return true;
  }
  const RecordFieldViews fields = SplitRecordInPlace(text);
  if (!PassesDateFilter(request, fields[kFieldDate])) {
    return true;
  }
  char* const room = rows.Room();
  if (room == nullptr) {
    return false;
  }
  rows.Took(PutDataRow(fields, plan, room));
  return true;
}

}  // namespace

ExportJob MakeExportJob(const HistoryStore& store, SharedState& state, const ExportRequest& request,
                        const UnitSettings& units) {
  return {store, state, request, units, state.ExportFileName()};
}

void AppendUtf16Le(std::u16string_view text, std::string& bytes) {
  // Grown once and filled in place: this runs for every character of every row.
  const std::size_t start = bytes.size();
  bytes.resize(start + 2 * text.size());
  char* out = bytes.data() + start;
  for (const char16_t unit : text) {
    *out++ = static_cast<char>(unit & 0xFF);
    *out++ = static_cast<char>(unit >> 8);
  }
}

std::u16string ExportTitleRow() {
  std::u16string row;
  for (std::size_t i = 0; i < kColumns.size(); ++i) {
    if (i > 0) {
      row += kTab;
    }
    AppendTitle(kColumns[i], row);
  }
  row += kLineFeed;
  return row;
}

std::u16string ExportUnitRow(const UnitSettings& units) {
  std::u16string row;
  for (std::size_t i = 0; i < kColumns.size(); ++i) {
    std::u16string label(i == kDailyRainfallColumn ? u" " : u"");
    label += UnitLabel(kColumns[i].kind, units);
    AppendCell(i, label, row);
  }
  row += kLineFeed;
  return row;
}

std::u16string ExportDataRow(const RecordFields& fields, const ExportRequest& request,
                             const UnitSettings& units) {
  RecordFieldViews views;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    views[i] = fields[i].View();
  }
  std::string bytes(kMaxRowBytes, '\0');
  const char* const end = PutDataRow(views, MakeRowPlan(request, units), bytes.data());
  std::u16string row;
  for (const char* unit = bytes.data(); unit < end; unit += 2) {
    row += static_cast<char16_t>(static_cast<unsigned char>(unit[0]) |
                                 static_cast<unsigned char>(unit[1]) << 8);
  }
  return row;
}

std::optional<std::string_view> StoreRecords::Next() {
  if (next_ >= count_) {
    return std::nullopt;
  }
  return RecordText(store_.Slot(next_++));
}

struct ExportFileWriter::Rows {
  Rows(ExportFile& file, const ExportRequest& request, const UnitSettings& units)
      : plan(MakeRowPlan(request, units)), buffer(file) {}
  RowPlan plan;
  RowBuffer buffer;
};

ExportFileWriter::ExportFileWriter(ExportFile& file, const ExportRequest& request,
                                   const UnitSettings& units)
    : file_(file), request_(request), units_(units) {}

ExportFileWriter::~ExportFileWriter() = default;

bool ExportFileWriter::Begin(const std::string& path) {
  if (!file_.Create(path)) {
    return false;
  }
  rows_ = std::make_unique<Rows>(file_, request_, units_);
  if (!WriteHeader(units_, file_)) {
    Abandon();
    return false;
  }
  return true;
}

bool ExportFileWriter::Add(std::string_view text) {
  if (!AddRow(text, request_, rows_->plan, rows_->buffer)) {
    Abandon();
    return false;
  }
  return true;
}

bool ExportFileWriter::Finish() {
  // A full disk must not pass for a finished export; nor may half a file stay behind.
  if (rows_->buffer.Flush() && file_.Close()) {
    return true;
  }
  Abandon();
  return false;
}

void ExportFileWriter::Abandon() {
  file_.Discard();
}

ExportOutcome WriteExportFile(RecordSource& records, const ExportRequest& request,
                              const UnitSettings& units, const std::string& path, ExportFile& file,
                              const std::atomic<bool>& cancelled) {
  ExportFileWriter writer(file, request, units);
  if (!writer.Begin(path)) {
    return ExportOutcome::kFailed;
  }
  while (const std::optional<std::string_view> text = records.Next()) {
    if (!writer.Add(*text)) {
      return ExportOutcome::kFailed;
    }
    // Set by the status bar's cancel button or by the console, on other threads.
    if (cancelled.load()) {
      writer.Abandon();
      return ExportOutcome::kCancelled;
    }
  }
  return writer.Finish() ? ExportOutcome::kWritten : ExportOutcome::kFailed;
}

int WriteExport(const ExportJob& job, ExportFile& file) {
  job.state.downloadCancelled = false;
  if (!job.state.historyReady.load()) {
    return kExportFailed;
  }
  StoreRecords records(job.store, SlotCount(job.state));
  switch (WriteExportFile(records, job.request, job.units, job.path, file,
                          job.state.downloadCancelled)) {
    case ExportOutcome::kCancelled:
      job.state.historyReady = false;
      return kExportEnded;
    case ExportOutcome::kFailed:
      return kExportFailed;
    case ExportOutcome::kWritten:
      break;
  }
  return kExportEnded;
}

void RunExport(const ExportJob& job, ExportFile& file, ExportFinishedSink& sink) {
  sink.ExportFinished(WriteExport(job, file));
  job.state.downloadActive = false;
}

}  // namespace nimbrel
