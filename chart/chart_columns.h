// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <optional>
#include <vector>

#include "chart/chart_data.h"

namespace nimbrel {

// The samples of one pixel column of the plot, so that a drawing costs the same for a day as for
// a year of records.
struct ChartColumn {
  bool present = false;  // the column holds a sample; the rest is then meaningful
  double first = 0;
  double last = 0;
  double min = 0;
  double max = 0;
  // No line joins this column's first sample to the previous sample: they are further apart
  // than the gap limit (or there is none before).
  bool gapBefore = true;
};

// The window's time split evenly into `columns` columns; samples outside the window are left out.
// One pass over the samples.
std::vector<ChartColumn> ColumnsOf(const ChartSeries& series, const ChartWindow& window,
                                   int columns);

// The value under the pointer: the sample nearest to a time, if one is within `reach` of it; for
// bars, the bar that stands over the time, however wide.
std::optional<ChartSample> SampleNear(const ChartSeries& series, RecordTimePoint time,
                                      std::chrono::seconds reach);

}  // namespace nimbrel
