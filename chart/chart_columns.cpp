// SPDX-License-Identifier: GPL-3.0-or-later
#include "chart/chart_columns.h"

namespace nimbrel {

std::vector<ChartColumn> ColumnsOf(const ChartSeries& /*series*/, const ChartWindow& /*window*/,
                                   int columns) {
  return std::vector<ChartColumn>(static_cast<std::size_t>(std::max(columns, 0)));
}

std::optional<ChartSample> SampleNear(const ChartSeries& /*series*/, RecordTimePoint /*time*/,
                                      std::chrono::seconds /*reach*/) {
  return std::nullopt;
}

}  // namespace nimbrel
