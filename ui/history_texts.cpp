// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/history_texts.h"

#include <QStringList>
#include <cmath>

#include "chart/chart_columns.h"
#include "i18n/own_texts.h"
#include "readings/compass.h"
#include "readings/number_text.h"
#include "ui/program.h"

namespace nimbrel::ui {

namespace {

QString Value(double value, int decimals) {
  return QString::fromStdU16String(PrintFixed(value, decimals));
}

QString WithUnit(const QString& value, const ChartSeries& series) {
  if (series.unit.empty()) {
    return value;
  }
  const QString unit = QString::fromUtf16(series.unit.data(), std::ssize(series.unit));
  // A degree sign sits right after the number; every other unit after a blank.
  return unit == QStringLiteral("°") ? value + unit : value + QLatin1Char(' ') + unit;
}

// A value as the dashboard would write it: a wind direction as a compass point when the unit
// setup asks for the 16 points.
QString ValueText(const ChartSeries& series, double value, const UnitSettings& units) {
  if (series.id == ChartSeriesId::kWindDirection &&
      units.windDirectionFormat == WindDirectionFormat::Points16) {
    const int point = CompassSectorFromDegrees(static_cast<int>(std::lround(value)));
    const std::u16string_view name = CompassPoints.at(static_cast<std::size_t>(point - 1));
    return QString::fromUtf16(name.data(), std::ssize(name));
  }
  return WithUnit(Value(value, series.decimals), series);
}

}  // namespace

ChartTexts HistoryChartTexts(const Program& program, const UnitSettings& units) {
  return OwnChartTexts(program.language, units);
}

std::chrono::local_days FromDate(const QDate& date) {
  using namespace std::chrono;
  return local_days{year{date.year()} / month{static_cast<unsigned>(date.month())} /
                    day{static_cast<unsigned>(date.day())}};
}

QString SeriesName(const ChartSeries& series, const ChartTexts& texts) {
  const QString& name = texts.seriesNames.at(static_cast<std::size_t>(series.id));
  return series.channel > 0 ? QString(name).arg(series.channel) : name;
}

QString ReadoutText(const ChartData& data, const ChartTexts& texts, RecordTimePoint time,
                    std::chrono::seconds reach) {
  QStringList parts;
  std::optional<RecordTimePoint> shownTime;
  std::optional<RecordTimePoint> barDay;
  for (const ChartSeries& series : data.series) {
    if (const std::optional<ChartSample> sample = SampleNear(series, time, reach)) {
      // The time of the sample the first series shows: the one a reader lines the rest up with.
      // A bar stands for a whole day, so a sample's own time goes first.
      if (series.style == ChartStyle::kBars) {
        barDay = barDay.value_or(sample->time);
      } else {
        shownTime = shownTime.value_or(sample->time);
      }
      const QString value = SeriesName(series, texts) + QLatin1Char(' ') +
                            ValueText(series, sample->value, data.units);
      parts << value.toHtmlEscaped().replace(QLatin1Char(' '), QStringLiteral("&nbsp;"));
    }
  }
  if (!shownTime && !barDay) {
    return {};
  }
  const QString when =
      shownTime ? ChartTimeText(texts.locale, *shownTime)
                : texts.locale.toString(ChartDateTime(*barDay).date(), QLocale::ShortFormat);
  // The time in bold on its own line, the values after it, wrapped between values only.
  return QStringLiteral("<b>%1</b><br>%2")
      .arg(when.toHtmlEscaped(), parts.join(QStringLiteral(" &nbsp;· ")));
}

}  // namespace nimbrel::ui
