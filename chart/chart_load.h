// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "archive/archive.h"
#include "chart/chart_data.h"

namespace nimbrel {

// The chart of a request from the archive: the records of its window and, after the newest
// record, the live samples up to now, in the user's units by the dashboard's converters. The
// daily rain is one bar a day, the largest running total the console wrote that day.
ArchiveStatus LoadChart(Archive& archive, const ChartRequest& request, RecordTimePoint now,
                        ChartData& data);

}  // namespace nimbrel
