// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/records_texts.h"

#include <algorithm>
#include <string_view>

#include "chart/chart_data.h"
#include "i18n/own_texts.h"
#include "stats/stat_units.h"
#include "ui/chart/chart_painter.h"

namespace nimbrel::ui {

namespace {

// A value's row: its name, the key of the value, and whether it shows the low.
struct RowPlan {
  int nameKey;
  std::string_view stat;
  bool low;
};

// The pressure's row shows the pressure of the type the units choose.
constexpr std::string_view kPressureRow = "pressure_relative";

constexpr int SeriesKey(ChartSeriesId id) {
  return kOwnFirstSeries + static_cast<int>(id);
}

// The values a station owner asks for first, highs before lows.
constexpr std::array<RowPlan, 13> kRows = {{
    {kOwnOutdoorTemperature, "outdoor_temperature", false},
    {0, "outdoor_temperature", true},
    {kOwnOutdoorHumidity, "outdoor_humidity", false},
    {0, "outdoor_humidity", true},
    {SeriesKey(ChartSeriesId::kDewPoint), "dew_point", false},
    {0, "dew_point", true},
    {SeriesKey(ChartSeriesId::kPressure), kPressureRow, false},
    {0, kPressureRow, true},
    {kOwnWindSpeed, "wind_speed", false},
    {SeriesKey(ChartSeriesId::kWindGust), "wind_gust", false},
    {SeriesKey(ChartSeriesId::kRainRate), "rain_rate", false},
    {kOwnIndoorTemperature, "indoor_temperature", false},
    {0, "indoor_temperature", true},
}};

QString Own(LanguageIndex language, int key) {
  const std::u16string_view text = OwnText(language, key);
  return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

std::size_t StatIndex(std::string_view name) {
  const auto found = std::find_if(kStatKeys.begin(), kStatKeys.end(),
                                  [name](const StatKey& key) { return key.name == name; });
  return static_cast<std::size_t>(found - kStatKeys.begin());
}

// A figure in the console's unit as every page of the program shows it in the user's unit. A
// degree sign sits right after the number, as on the dashboard; other units after a blank.
QString FigureText(double value, const ShownUnit& shown) {
  const QString number = QString::fromStdString(ShownText(InShownUnit(value, shown), shown));
  const QString unit = QString::fromStdString(shown.unit);
  return unit.startsWith(QChar(0x00B0)) ? number + unit : number + QLatin1Char(' ') + unit;
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
  if (plan.stat == kPressureRow && units.pressureType == PressureType::Absolute) {
    index = StatIndex("pressure_absolute");
  }
  const ValueSummary& summary = stats.values.at(index);
  const std::optional<Extreme>& extreme = plan.low ? summary.low : summary.high;
  if (!extreme) {
    return {Dash(), {}};
  }
  return {FigureText(extreme->value, ShownUnitOfKey(index, units)),
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
    if (plan.stat == kPressureRow && units.pressureType == PressureType::Absolute && nameKey != 0) {
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
    total.cells[period] = {
        stats.rainTotal ? FigureText(*stats.rainTotal, ShownRain(units)) : Dash(), {}};
    // Within one day the wettest day is that day: its total says it all.
    if (stats.wettestDay && stats.first != stats.last) {
      wettest.cells[period] = {FigureText(stats.wettestDay->value, ShownRain(units)),
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
