// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/csv_writer.h"

#include <array>
#include <optional>

#include "i18n/utf8.h"
#include "readings/compass.h"
#include "readings/number_text.h"
#include "readings/reading_format.h"
#include "readings/units.h"
#include "record/record_fields.h"
#include "record/record_time.h"

namespace nimbrel {
namespace {

enum class CsvKind {
  Pressure,  // the field depends on the pressure type
  Temperature,
  Humidity,
  WindSpeed,
  WindDirection,  // the field depends on the direction form
  RainRate,
  Rainfall,
  Index,  // the UV index: no unit
};

struct CsvColumn {
  std::string_view name;  // the unit is appended
  CsvKind kind;
  RecordField field;
  DataSet dataSet;
};

constexpr RecordField Field(std::size_t number) {
  return static_cast<RecordField>(number);
}

using enum CsvKind;
using enum DataSet;

// The columns of the spreadsheet export after its date and time, in its order.
constexpr std::array<CsvColumn, 31> kCsvColumns{{
    {"pressure", Pressure, kFieldRelativePressure, BarometricPressure},
    {"indoor_temperature", Temperature, kFieldIndoorTemperature, IndoorTemperatureHumidity},
    {"indoor_humidity", Humidity, kFieldIndoorHumidity, IndoorTemperatureHumidity},
    {"outdoor_temperature", Temperature, kFieldOutdoorTemperature, OutdoorTemperatureHumidity},
    {"outdoor_humidity", Humidity, kFieldOutdoorHumidity, OutdoorTemperatureHumidity},
    {"dew_point", Temperature, kFieldDewPoint, OutdoorDewPoint},
    {"heat_index", Temperature, kFieldHeatIndex, OutdoorHeatIndex},
    {"wind_speed", WindSpeed, kFieldWindSpeed, WindData},
    {"wind_gust", WindSpeed, kFieldWindGust, WindData},
    {"wind_chill", Temperature, kFieldWindChill, WindData},
    {"wind_direction", WindDirection, kFieldWindDirectionPoint, WindData},
    {"rain_rate", RainRate, kFieldRainRate, RainData},
    {"hourly_rain", Rainfall, kFieldHourlyRain, RainData},
    {"daily_rain", Rainfall, kFieldDailyRain, RainData},
    {"weekly_rain", Rainfall, kFieldWeeklyRain, RainData},
    {"monthly_rain", Rainfall, kFieldMonthlyRain, RainData},
    {"uv_index", Index, kFieldUvIndex, UvIndex},
    {"ch1_temperature", Temperature, Field(18), Ch1},
    {"ch1_humidity", Humidity, Field(19), Ch1},
    {"ch2_temperature", Temperature, Field(20), Ch2},
    {"ch2_humidity", Humidity, Field(21), Ch2},
    {"ch3_temperature", Temperature, Field(22), Ch3},
    {"ch3_humidity", Humidity, Field(23), Ch3},
    {"ch4_temperature", Temperature, Field(24), Ch4},
    {"ch4_humidity", Humidity, Field(25), Ch4},
    {"ch5_temperature", Temperature, Field(26), Ch5},
    {"ch5_humidity", Humidity, Field(27), Ch5},
    {"ch6_temperature", Temperature, Field(28), Ch6},
    {"ch6_humidity", Humidity, Field(29), Ch6},
    {"ch7_temperature", Temperature, Field(30), Ch7},
    {"ch7_humidity", Humidity, Field(31), Ch7},
}};

std::string ColumnName(const CsvColumn& column, const UnitSettings& units) {
  const bool inches = units.rainUnit == RainUnit::Inch;
  switch (column.kind) {
    case Pressure:
      return std::string(units.pressureType == PressureType::Absolute ? "absolute_" : "relative_") +
             "pressure" + std::string(PressureSuffix(units.pressureUnit));
    case Temperature:
      return std::string(column.name) + std::string(TemperatureSuffix(units.temperatureUnit));
    case Humidity:
      return std::string(column.name) + "_pct";
    case WindSpeed:
      return std::string(column.name) + std::string(WindSpeedSuffix(units.windSpeedUnit));
    case WindDirection:
      return units.windDirectionFormat == WindDirectionFormat::Degrees360 ? "wind_direction_deg"
                                                                          : "wind_direction";
    case RainRate:
      return std::string(column.name) + (inches ? "_in_h" : "_mm_h");
    case Rainfall:
      return std::string(column.name) + (inches ? "_in" : "_mm");
    case Index:
      break;
  }
  return std::string(column.name);
}

RecordField ValueField(const CsvColumn& column, const UnitSettings& units) {
  switch (column.kind) {
    case Pressure:
      return PressureField(units);
    case WindDirection:
      return WindDirectionField(units);
    default:
      return column.field;
  }
}

bool HoldsNumber(std::u16string_view text) {
  return ReadLeadingNumber(text).has_value();
}

// The cell of a value in the user's unit; empty for no reading. The spreadsheet export copies
// dashes and other non-numbers as they stand; a data tool wants an empty cell instead.
std::u16string CellValue(CsvKind kind, std::u16string_view text, const UnitSettings& units) {
  switch (kind) {
    case Temperature:
      return IsMissingTemperature(text) || !HoldsNumber(text)
                 ? u""
                 : TemperatureInUnit(text, units.temperatureUnit);
    case Pressure:
      return IsMissingReading(text) || !HoldsNumber(text)
                 ? u""
                 : PressureInUnit(text, units.pressureUnit);
    case WindSpeed:
      return IsMissingReading(text) || !HoldsNumber(text)
                 ? u""
                 : WindSpeedInUnit(text, units.windSpeedUnit);
    case RainRate:
    case Rainfall:
      return IsMissingReading(text) || !HoldsNumber(text) ? u"" : RainInUnit(text, units.rainUnit);
    case WindDirection:
      if (units.windDirectionFormat == WindDirectionFormat::Points16) {
        return CompassPointIndex(text) > 0 ? std::u16string(text) : u"";
      }
      break;
    default:
      break;
  }
  return HoldsNumber(text) ? std::u16string(text) : u"";
}

// Each byte of a record is one character with the byte's value as its code.
std::u16string Widened(std::string_view text) {
  std::u16string wide(text.size(), u'\0');
  for (std::size_t i = 0; i < text.size(); ++i) {
    wide[i] = static_cast<char16_t>(static_cast<unsigned char>(text[i]));
  }
  return wide;
}

// A cell quoted when it holds a comma, a quote, CR or LF; quotes inside are doubled.
void AppendCell(std::string_view cell, std::string& out) {
  if (cell.find_first_of(",\"\r\n") == std::string_view::npos) {
    out += cell;
    return;
  }
  out += '"';
  for (const char c : cell) {
    out += c;
    if (c == '"') {
      out += '"';
    }
  }
  out += '"';
}

constexpr std::string_view kLineEnd = "\r\n";
// "2018-01-02" of "2018-01-02T08:05".
constexpr std::size_t kIsoDateLength = 10;
// Lines are gathered into writes of about this size.
constexpr std::size_t kWriteSize = 1 << 16;

}  // namespace

std::string CsvExport::HeaderLine() const {
  std::string line = "time";
  for (const CsvColumn& column : kCsvColumns) {
    if (request_.Includes(column.dataSet)) {
      line += ',';
      AppendCell(ColumnName(column, units_), line);
    }
  }
  line += kLineEnd;
  return line;
}

void CsvExport::AppendLine(std::string_view recordText, std::string& out) const {
  recordText = recordText.substr(0, recordText.find('\0'));
  if (recordText.empty()) {
    return;
  }
  const RecordFields fields = SplitRecord(recordText);
  if (!PassesDateFilter(request_, fields[kFieldDate].View())) {
    return;
  }
  if (const auto time = RecordTime(fields)) {
    out += IsoMinuteText(*time);
  } else if (const auto day = RecordTime(fields[kFieldDate].View(), "00:00")) {
    out += IsoMinuteText(*day).substr(0, kIsoDateLength);  // the date alone, as it reads
  }
  for (const CsvColumn& column : kCsvColumns) {
    if (request_.Includes(column.dataSet)) {
      out += ',';
      const std::u16string text = Widened(fields[ValueField(column, units_)].View());
      AppendCell(ToUtf8(CellValue(column.kind, text, units_)), out);
    }
  }
  out += kLineEnd;
}

bool CsvFileWriter::Begin(const std::string& path) {
  pending_.clear();
  if (!file_.Create(path)) {
    return false;
  }
  pending_ = format_.HeaderLine();
  return true;
}

bool CsvFileWriter::Add(std::string_view recordText) {
  format_.AppendLine(recordText, pending_);
  return pending_.size() < kWriteSize || Flush();
}

bool CsvFileWriter::Finish() {
  if (Flush() && file_.Close()) {
    return true;
  }
  // A full disk must not pass for a finished export, nor may half a file stay behind.
  file_.Discard();
  return false;
}

bool CsvFileWriter::Flush() {
  const bool written = pending_.empty() || file_.Write(pending_);
  pending_.clear();
  if (!written) {
    file_.Discard();
  }
  return written;
}

}  // namespace nimbrel
