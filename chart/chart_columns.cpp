// SPDX-License-Identifier: GPL-3.0-or-later
#include "chart/chart_columns.h"

#include <algorithm>

namespace nimbrel {

std::vector<ChartColumn> ColumnsOf(const ChartSeries& series, const ChartWindow& window,
                                   int columns) {
  std::vector<ChartColumn> result(static_cast<std::size_t>(std::max(columns, 0)));
  const auto span = (window.end - window.begin).count();
  if (result.empty() || span <= 0) {
    return result;
  }
  const auto begin = std::lower_bound(
      series.samples.begin(), series.samples.end(), window.begin,
      [](const ChartSample& sample, RecordTimePoint time) { return sample.time < time; });
  const ChartSample* previous = nullptr;
  for (auto sample = begin; sample != series.samples.end() && sample->time < window.end; ++sample) {
    // 64 bits hold a century in seconds times a screen's width many times over.
    const auto offset = (sample->time - window.begin).count();
    ChartColumn& column = result[static_cast<std::size_t>(offset * columns / span)];
    const double value = sample->value;
    if (!column.present) {
      column = {true,  value,
                value, value,
                value, previous == nullptr || sample->time - previous->time > series.gapLimit};
    } else {
      column.last = value;
      column.min = std::min(column.min, value);
      column.max = std::max(column.max, value);
    }
    previous = &*sample;
  }
  return result;
}

std::optional<ChartSample> SampleNear(const ChartSeries& series, RecordTimePoint time,
                                      std::chrono::seconds reach) {
  const auto& samples = series.samples;
  if (series.style == ChartStyle::kBars) {
    const auto after = std::upper_bound(
        samples.begin(), samples.end(), time,
        [](RecordTimePoint t, const ChartSample& sample) { return t < sample.time; });
    if (after == samples.begin() || time >= std::prev(after)->time + kBarSpan) {
      return std::nullopt;
    }
    return *std::prev(after);
  }
  const auto after = std::lower_bound(
      samples.begin(), samples.end(), time,
      [](const ChartSample& sample, RecordTimePoint t) { return sample.time < t; });
  std::optional<ChartSample> nearest;
  std::chrono::seconds distance = reach;
  const auto consider = [&](const ChartSample& sample) {
    const auto d = sample.time > time ? sample.time - time : time - sample.time;
    if (d <= distance) {
      distance = d;
      nearest = sample;
    }
  };
  if (after != samples.end()) {
    consider(*after);
  }
  if (after != samples.begin()) {
    consider(*std::prev(after));
  }
  return nearest;
}

}  // namespace nimbrel
