// SPDX-License-Identifier: GPL-3.0-or-later
#include "chart/chart_load.h"

namespace nimbrel {

ArchiveStatus LoadChart(Archive& /*archive*/, const ChartRequest& request, RecordTimePoint now,
                        ChartData& data) {
  data = {};
  data.kind = request.kind;
  data.units = request.units;
  data.window = WindowOf(request.period, now);
  return std::nullopt;
}

}  // namespace nimbrel
