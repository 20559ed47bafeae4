// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/chart/chart_painter.h"

namespace nimbrel {

ChartTexts EnglishChartTexts() {
  ChartTexts texts;
  texts.kindTitles = {"Temperature", "Humidity", "Pressure", "Wind", "Rain", "UV index"};
  texts.seriesNames = {"Indoor",     "Outdoor",    "Dew point",  "Heat index",
                       "Wind chill", "Channel %1", "Indoor",     "Outdoor",
                       "Channel %1", "Pressure",   "Wind speed", "Gust",
                       "Direction",  "Rain rate",  "Daily rain", "UV index"};
  texts.minimum = "min";
  texts.maximum = "max";
  texts.mean = "mean";
  texts.noRecords = "No records in this period";
  texts.locale = QLocale(QLocale::English, QLocale::UnitedKingdom);
  return texts;
}

ChartFrame FrameOf(const QRectF& rect, const ChartData& data) {
  return {rect, data.window};
}

RecordTimePoint TimeAtX(const ChartFrame& frame, double /*x*/) {
  return frame.window.begin;
}

double XOfTime(const ChartFrame& frame, RecordTimePoint /*time*/) {
  return frame.plot.left();
}

void PaintChart(QPainter& /*painter*/, const QRectF& /*rect*/, const ChartData& /*data*/,
                const ChartTexts& /*texts*/) {}

bool SaveChart(const ChartData& /*data*/, const ChartTexts& /*texts*/, QSize /*size*/,
               const QString& /*path*/, QString& error) {
  error = "Not yet";
  return false;
}

}  // namespace nimbrel
