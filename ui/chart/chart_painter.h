// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QLocale>
#include <QPainter>
#include <QRectF>
#include <QSize>
#include <QString>
#include <array>

#include "chart/chart_data.h"
#include "i18n/language.h"

namespace nimbrel {

// The words of a chart in the user's language; numbers, units and dates are not among them (the
// units are the dashboard's, the dates the locale's).
struct ChartTexts {
  // The heading of each kind, in ChartKind order.
  std::array<QString, kChartKinds.size()> kindTitles;
  // The name of each series, in ChartSeriesId order; a channel's name holds "%1" for its number.
  std::array<QString, kChartSeriesIdCount> seriesNames;
  QString minimum;    // "min"
  QString maximum;    // "max"
  QString mean;       // "mean"
  QString noRecords;  // drawn in the middle of an empty chart
  QLocale locale;     // the form of dates, times and numbers on the axes
};

// The texts of our own table in `language`, the pressure named absolute or relative as the units
// say, with the system's locale; the window and the command line draw with the same words.
ChartTexts OwnChartTexts(LanguageIndex language, const UnitSettings& units);

// A record's time as a date and time without a zone: the console's clock reads like local time
// but never falls into a clock change's gap, where a local QDateTime would be invalid.
QDateTime ChartDateTime(RecordTimePoint time);
// The locale's short date and time of a record's time.
QString ChartTimeText(const QLocale& locale, RecordTimePoint time);

// Where the plot area lies in a chart drawn into `rect`, and the times it spans.
struct ChartFrame {
  QRectF plot;
  ChartWindow window;
};
ChartFrame FrameOf(const QRectF& rect, const ChartData& data);
// The time at a horizontal position of the plot and back, for the readout under the pointer.
RecordTimePoint TimeAtX(const ChartFrame& frame, double x);
double XOfTime(const ChartFrame& frame, RecordTimePoint time);

// Draws the whole chart into `rect`: title, axes and grid, the series (gaps left open), legend
// with minimum, maximum and mean, or the no-records text.
void PaintChart(QPainter& painter, const QRectF& rect, const ChartData& data,
                const ChartTexts& texts);

// Writes the chart as a PNG or SVG file, by the path's extension (any case). False with a text for
// the user in `error` when the extension is neither or the file cannot be written; a file already
// at `path` is then left as it was.
bool SaveChart(const ChartData& data, const ChartTexts& texts, QSize size, const QString& path,
               QString& error);

}  // namespace nimbrel
