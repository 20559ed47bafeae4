// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

#include "chart/chart_data.h"

namespace nimbrel {

// A chart's readings for data tools, in the plain export's form: UTF-8, comma-separated, lines
// ending in CR LF, one header line. The first column is the time in ISO 8601 to the second
// ("2025-01-12T00:05:00"), then a column per series named by its key in the live state object
// and its unit ("outdoor_temperature_f", "ch3_humidity_pct", "pressure_relative_hpa"), a row for
// each time any series has a sample and an empty cell where a series has none. Values in the
// dashboard's decimals, with a dot.
std::string ChartCsv(const ChartData& data);

}  // namespace nimbrel
