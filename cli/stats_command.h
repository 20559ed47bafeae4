// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "archive/archive.h"
#include "cli/options.h"

namespace nimbrel::cli {

// stats (--day | --month | --year | --season | --all) [--json]: a period's records and rain.
int RunStatsCommand(const GlobalOptions& options);

// The summaries of the days of [first, last] from the archive the options name, or nothing
// after the reason has been printed: a missing archive, a fault, or no record in the period.
std::optional<std::vector<DaySummary>> ReadPeriodDays(const GlobalOptions& options,
                                                      std::chrono::local_days first,
                                                      std::chrono::local_days last);

}  // namespace nimbrel::cli
