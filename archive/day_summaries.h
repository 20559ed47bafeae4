// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <sqlite3.h>

#include <chrono>
#include <cstdint>
#include <map>
#include <vector>

#include "archive/record_values.h"
#include "archive/sqlite_statement.h"
#include "stats/period_stats.h"

namespace nimbrel::archive_detail {

// The summary of each day's records, kept beside them so that statistics of any period read one
// row a day instead of every record. Each row is made from its day's records (those with a time)
// in the log order, as a whole: equal highs keep the time first reached whatever order downloads
// brought them in.

// Creates the table and fills it from every record of the archive. Besides the summary, a row
// keeps the time of its day's newest record (`newest`), after which the day's live samples count.
int CreateDaySummaries(sqlite3* db);

// The rows of the days a merge adds records to, made anew from each day's records in log order
// (place, then id). A day the archive held no record of is summed up from the merge's records as
// they are added, which saves reading them back, as long as they come in that order; any other
// day is read from the archive at the end.
class DayRebuild {
 public:
  explicit DayRebuild(sqlite3* db);

  // A record with a time that the merge added, with its values.
  int Add(std::int64_t taken, std::int64_t place, const ColumnValues& values);
  // Writes the rows of every day records were added to.
  int Finish();

 private:
  struct Day {
    DaySummary summary;
    std::int64_t newest = 0;
    std::int64_t lastPlace = 0;
    bool fromArchive = false;  // held records before, or got them out of log order
  };
  int Start(std::int64_t day, Day& started);

  sqlite3* db_;
  Statement known_;
  std::map<std::int64_t, Day> days_;
};

// The stored summaries of the days of [first, last] that have records, in day order.
int ReadStoredDays(sqlite3* db, std::chrono::local_days first, std::chrono::local_days last,
                   std::vector<DaySummary>& days);

}  // namespace nimbrel::archive_detail
