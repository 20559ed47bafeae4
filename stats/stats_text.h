// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

#include "readings/unit_settings.h"
#include "stats/period_stats.h"

namespace nimbrel {

// A period's figures in the user's units, with the decimals the dashboard shows for each kind.

// One JSON object: the period, its record count, the days without records (their number instead
// of the list past kMostMissingDaysListed), each value's high and low with their times, mean and
// count, and the rain. A figure without any reading is null.
std::string StatsJson(const PeriodStats& stats, const UnitSettings& units);

// The same as a table to read, one line a value; values without any reading are named at the end.
std::string StatsTable(const PeriodStats& stats, const UnitSettings& units);

}  // namespace nimbrel
