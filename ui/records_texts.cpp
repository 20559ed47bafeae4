// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/records_texts.h"

#include <algorithm>
#include <string_view>

#include "chart/chart_data.h"
#include "i18n/own_texts.h"
#include "readings/number_text.h"
#include "readings/reading_format.h"
#include "readings/units.h"
#include "ui/chart/chart_painter.h"

namespace nimbrel::ui {

namespace {

enum class Kind : std::uint8_t { kTemperature, kHumidity, kPressure, kWindSpeed, kRainRate };

// A value's row: its name, the key of the value, and whether it shows the low.
struct RowPlan {
  int nameKey;
  std::string_view stat;
  bool low;
  Kind kind;
};

constexpr int SeriesKey(ChartSeriesId id) {
  return kOwnFirstSeries + static_cast<int>(id);
}

// The values a station owner asks for first, highs before lows.
constexpr std::array<RowPlan, 13> kRows = {{
    {kOwnOutdoorTemperature, "outdoor_temperature", false, Kind::kTemperature},
    {0, "outdoor_temperature", true, Kind::kTemperature},
    {kOwnOutdoorHumidity, "outdoor_humidity", false, Kind::kHumidity},
    {0, "outdoor_humidity", true, Kind::kHumidity},
    {SeriesKey(ChartSeriesId::kDewPoint), "dew_point", false, Kind::kTemperature},
    {0, "dew_point", true, Kind::kTemperature},
    {SeriesKey(ChartSeriesId::kPressure), "pressure_relative", false, Kind::kPressure},
    {0, "pressure_relative", true, Kind::kPressure},
    {kOwnWindSpeed, "wind_speed", false, Kind::kWindSpeed},
    {SeriesKey(ChartSeriesId::kWindGust), "wind_gust", false, Kind::kWindSpeed},
    {SeriesKey(ChartSeriesId::kRainRate), "rain_rate", false, Kind::kRainRate},
    {kOwnIndoorTemperature, "indoor_temperature", false, Kind::kTemperature},
    {0, "indoor_temperature", true, Kind::kTemperature},
}};

QString Own(LanguageIndex language, int key) {
  const std::u16string_view text = OwnText(language, key);
  return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

QString FromU16(std::u16string_view text) {
  return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

std::size_t StatIndex(std::string_view name) {
  const auto found = std::find_if(kStatKeys.begin(), kStatKeys.end(),
                                  [name](const StatKey& key) { return key.name == name; });
  return static_cast<std::size_t>(found - kStatKeys.begin());
}

// A value in the console's unit, as the dashboard writes it in the user's: converted and printed
// with the unit's decimals, or with the console's own decimals in the console's unit.
QString ValueText(double value, Kind kind, const UnitSettings& units) {
  UnitConversion conversion;
  std::u16string_view unit;
  int decimals = 1;
  switch (kind) {
    case Kind::kTemperature:
      conversion = TemperatureConversion(units.temperatureUnit);
      unit = TemperatureUnitText(units.temperatureUnit);
      break;
    case Kind::kHumidity:
      unit = HumidityUnitText();
      decimals = 0;
      break;
    case Kind::kPressure:
      conversion = PressureConversion(units.pressureUnit);
      unit = PressureUnitText(units.pressureUnit);
      break;
    case Kind::kWindSpeed:
      conversion = WindSpeedConversion(units.windSpeedUnit);
      unit = WindSpeedUnitText(units.windSpeedUnit);
      break;
    case Kind::kRainRate:
      conversion = RainConversion(units.rainUnit);
      unit = RainRateUnitText(units.rainUnit);
      break;
  }
  if (conversion.convert != nullptr) {
    value = conversion.convert(static_cast<float>(value));
    decimals = conversion.decimals;
  }
  const QString number = FromU16(PrintFixed(value, decimals));
  // A degree sign sits right after the number, as on the dashboard; other units after a blank.
  return unit.starts_with(DegreeSign) ? number + FromU16(unit)
                                      : number + QLatin1Char(' ') + FromU16(unit);
}

QString RainText(double millimetres, const UnitSettings& units) {
  const UnitConversion conversion = RainConversion(units.rainUnit);
  const double value =
      conversion.convert ? conversion.convert(static_cast<float>(millimetres)) : millimetres;
  return FromU16(PrintFixed(value, conversion.convert ? conversion.decimals : 1)) +
         QLatin1Char(' ') + FromU16(RainfallUnitText(units.rainUnit));
}

QDate DateOf(std::chrono::local_days day) {
  return ChartDateTime(day).date();
}

// The locale's short date with the year in full.
QString DateText(const QLocale& locale, QDate date) {
  QString format = locale.dateFormat(QLocale::ShortFormat);
  if (!format.contains(QStringLiteral("yyyy"))) {
    format.replace(QStringLiteral("yy"), QStringLiteral("yyyy"));
  }
  return locale.toString(date, format);
}

// When a high or low was reached: the time alone within one day, else the date and time.
QString WhenText(const QLocale& locale, RecordTimePoint time, bool oneDay) {
  const QDateTime when = ChartDateTime(time);
  const QString clock = locale.toString(when.time(), QLocale::ShortFormat);
  return oneDay ? clock : DateText(locale, when.date()) + QLatin1Char(' ') + clock;
}

QString Dash() {
  return QStringLiteral("--");
}

RecordsCell ExtremeCell(const PeriodStats& stats, const RowPlan& plan, const UnitSettings& units,
                        const QLocale& locale) {
  std::size_t index = StatIndex(plan.stat);
  if (plan.kind == Kind::kPressure && units.pressureType == PressureType::Absolute) {
    index = StatIndex("pressure_absolute");
  }
  const ValueSummary& summary = stats.values.at(index);
  const std::optional<Extreme>& extreme = plan.low ? summary.low : summary.high;
  if (!extreme) {
    return {Dash(), {}};
  }
  return {ValueText(extreme->value, plan.kind, units),
          WhenText(locale, extreme->time, stats.first == stats.last)};
}

QString MonthYear(std::chrono::local_days day) {
  return DateOf(day).toString(QStringLiteral("MM/yyyy"));
}

QString SpanText(RecordsPeriod period, const PeriodStats& stats, LanguageIndex language,
                 const QLocale& locale) {
  switch (period) {
    case RecordsPeriod::kToday:
    case RecordsPeriod::kYesterday:
      return DateText(locale, DateOf(stats.first));
    case RecordsPeriod::kMonth:
      return LanguageLocale(language).toString(DateOf(stats.first), QStringLiteral("MMMM yyyy"));
    case RecordsPeriod::kYear:
      return DateOf(stats.first).toString(QStringLiteral("yyyy"));
    case RecordsPeriod::kSeason:
    case RecordsPeriod::kAllTime:
      break;
  }
  if (period == RecordsPeriod::kAllTime && stats.records == 0) {
    return {};
  }
  return MonthYear(stats.first) + QStringLiteral(" \u2013 ") + MonthYear(stats.last);
}

}  // namespace

QLocale LanguageLocale(LanguageIndex language) {
  constexpr std::array<QLocale::Language, kLanguageCount> kLocales = {
      QLocale::English, QLocale::German, QLocale::French, QLocale::Italian, QLocale::Spanish};
  return QLocale(kLocales.at(static_cast<std::size_t>(language)));
}

RecordsTable MakeRecordsTable(const RecordsFigures& figures, const UnitSettings& units,
                              LanguageIndex language, const QLocale& locale) {
  RecordsTable table;
  for (std::size_t period = 0; period < kRecordsPeriodCount; ++period) {
    table.titles[period] = Own(language, kOwnFirstRecordsPeriod + static_cast<int>(period));
    table.spans[period] =
        SpanText(static_cast<RecordsPeriod>(period), figures[period], language, locale);
  }
  const QString high = Own(language, kOwnMaximum);
  const QString low = Own(language, kOwnMinimum);
  for (const RowPlan& plan : kRows) {
    RecordsRow row;
    int nameKey = plan.nameKey;
    if (plan.kind == Kind::kPressure && units.pressureType == PressureType::Absolute &&
        nameKey != 0) {
      nameKey = kOwnAbsolutePressure;
    }
    row.name = nameKey != 0 ? Own(language, nameKey) : QString();
    row.mark = plan.low ? low : high;
    for (std::size_t period = 0; period < kRecordsPeriodCount; ++period) {
      row.cells[period] = ExtremeCell(figures[period], plan, units, locale);
    }
    table.rows.push_back(std::move(row));
  }

  RecordsRow total{Own(language, kOwnRainTotal), {}, {}};
  RecordsRow wettest{Own(language, kOwnWettestDay), {}, {}};
  for (std::size_t period = 0; period < kRecordsPeriodCount; ++period) {
    const PeriodStats& stats = figures[period];
    total.cells[period] = {stats.rainTotal ? RainText(*stats.rainTotal, units) : Dash(), {}};
    // Within one day the wettest day is that day: its total says it all.
    if (stats.wettestDay && stats.first != stats.last) {
      wettest.cells[period] = {RainText(stats.wettestDay->value, units),
                               DateText(locale, DateOf(stats.wettestDay->day))};
    } else {
      wettest.cells[period] = {Dash(), {}};
    }
  }
  table.rows.push_back(std::move(total));
  table.rows.push_back(std::move(wettest));
  return table;
}

}  // namespace nimbrel::ui
