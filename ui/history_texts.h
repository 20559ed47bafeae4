// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDate>
#include <QString>

#include "chart/chart_data.h"
#include "ui/chart/chart_painter.h"

namespace nimbrel::ui {

struct Program;

// The chart's words in the program's language, the pressure named as the units say, with the
// user's locale for dates and times.
ChartTexts HistoryChartTexts(const Program& program, const UnitSettings& units);

std::chrono::local_days FromDate(const QDate& date);

// A series' name as the chart shows it ("CH2" for channel 2).
QString SeriesName(const ChartSeries& series, const ChartTexts& texts);

// The time and, for each series with a sample near it, the value: what lies under the pointer,
// as rich text. Empty when no series has one. Over a day's bar alone, the time is its date.
QString ReadoutText(const ChartData& data, const ChartTexts& texts, RecordTimePoint time,
                    std::chrono::seconds reach);

}  // namespace nimbrel::ui
