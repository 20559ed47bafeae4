#include "export/export_writer.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <optional>

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

// Each byte of a record is one character with the byte's value as its code. Fields hold at most
// FieldText::kCapacity characters, so a buffer on the stack takes any of them.
using WideField = std::array<char16_t, FieldText::kCapacity>;
std::u16string_view Widened(std::string_view text, WideField& wide) {
  const std::size_t size = std::min(text.size(), wide.size());
  std::transform(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(size), wide.begin(),
                 [](char c) { return static_cast<char16_t>(static_cast<unsigned char>(c)); });
  return {wide.data(), size};
}

std::u16string CellValue(ColumnKind kind, std::u16string_view text, const UnitSettings& units) {
  switch (kind) {
    case Pressure:
      return PressureInUnit(text, units.pressureUnit);
    case Temperature:
      return TemperatureInUnit(text, units.temperatureUnit);
    case WindSpeed:
      return WindSpeedInUnit(text, units.windSpeedUnit);
    case RainRate:
    case Rainfall:
      return RainInUnit(text, units.rainUnit);
    default:
      return std::u16string(text);
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

// The bytes of the row of one slot, appended to `bytes`; nothing for an empty slot or a record
// outside the period.
void AppendSlotRow(const HistoryRecord& slot, const ExportJob& job, std::string& bytes) {
  const std::string_view text = RecordText(slot);
  if (text.empty()) {
    return;
  }
  const RecordFields fields = SplitRecord(text);
  if (!PassesDateFilter(job.request, fields[kFieldDate].View())) {
    return;
  }
  AppendUtf16Le(ExportDataRow(fields, job.request, job.units), bytes);
}

bool WriteHeader(const ExportJob& job, ExportFile& file) {
  std::string bytes;
  AppendUtf16Le(u"\uFEFF", bytes);
  AppendUtf16Le(ExportTitleRow(), bytes);
  AppendUtf16Le(ExportUnitRow(job.units), bytes);
  return file.Write(bytes);
}

enum class RowsOutcome { Written, Cancelled, Failed };

RowsOutcome WriteRows(const ExportJob& job, ExportFile& file) {
  std::string bytes;  // one row's bytes, reused for every row
  const std::size_t count = SlotCount(job.state);
  for (std::size_t slot = 0; slot < count; ++slot) {
    bytes.clear();
    AppendSlotRow(job.store.Slot(slot), job, bytes);
    if (!bytes.empty() && !file.Write(bytes)) {
      return RowsOutcome::Failed;
    }
    // Set by the status bar's cancel button or by the console, on other threads.
    if (job.state.downloadCancelled.load()) {
      return RowsOutcome::Cancelled;
    }
  }
  return RowsOutcome::Written;
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
  constexpr std::size_t kTypicalRowLength = 256;
  std::u16string row;
  row.reserve(kTypicalRowLength);
  WideField wide;
  for (std::size_t i = 0; i < kColumns.size(); ++i) {
    const Column& column = kColumns[i];
    if (!Selected(column, request)) {
      AppendCell(i, u"", row);
      continue;
    }
    const std::u16string_view text = Widened(fields[ValueField(column, units)].View(), wide);
    AppendCell(i, CellValue(column.kind, text, units), row);
  }
  row += kLineFeed;
  return row;
}

int WriteExport(const ExportJob& job, ExportFile& file) {
  job.state.downloadCancelled = false;
  if (!job.state.historyReady.load() || !file.Create(job.path)) {
    return kExportFailed;
  }
  const RowsOutcome outcome = WriteHeader(job, file) ? WriteRows(job, file) : RowsOutcome::Failed;
  if (outcome == RowsOutcome::Cancelled) {
    file.Discard();
    job.state.historyReady = false;
    return kExportEnded;
  }
  if (outcome == RowsOutcome::Failed || !file.Close()) {
    // A full disk must not pass for a finished export; nor may half a file stay behind.
    file.Discard();
    return kExportFailed;
  }
  return kExportEnded;
}

void RunExport(const ExportJob& job, ExportFile& file, ExportFinishedSink& sink) {
  sink.ExportFinished(WriteExport(job, file));
  job.state.downloadActive = false;
}

}  // namespace nimbrel
