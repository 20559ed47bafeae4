// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <sqlite3.h>

#include <chrono>
#include <cstdint>
#include <vector>

#include "stats/period_stats.h"

namespace nimbrel::archive_detail {

// The summary of each day's records, kept beside them so that statistics of any period read one
// row a day instead of every record. Each row is made from its day's records (those with a time)
// in the log order, as a whole: equal highs keep the time first reached whatever order downloads
// brought them in.

// Creates the table and fills it from every record of the archive. Besides the summary, a row
// keeps the time of its day's newest record (`newest`), after which the day's live samples count.
int CreateDaySummaries(sqlite3* db);

// Makes the rows of the given days (days since 1970-01-01, sorted, each once) anew from their
// records.
int RebuildDays(sqlite3* db, const std::vector<std::int64_t>& days);

// The stored summaries of the days of [first, last] that have records, in day order.
int ReadStoredDays(sqlite3* db, std::chrono::local_days first, std::chrono::local_days last,
                   std::vector<DaySummary>& days);

}  // namespace nimbrel::archive_detail
