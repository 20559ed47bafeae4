// SPDX-License-Identifier: GPL-3.0-or-later
#include "archive/day_summaries.h"

#include <algorithm>
#include <array>
#include <limits>
#include <map>
#include <string>

namespace nimbrel::archive_detail {
namespace {

using std::chrono::seconds;

// One named column for each figure rather than a packed value: the rows stay readable with any
// SQLite tool, and reading a decade of them (some 3,650 rows) is still quick. The columns are
// those of the 27 keys when this table was made; another key needs a step that adds its columns.
static_assert(kStatKeys.size() == 27, "a new key needs its columns added by a migration");

constexpr std::array<std::string_view, 6> kFigureSuffixes = {"_high",   "_high_at", "_low",
                                                             "_low_at", "_sum",     "_count"};
constexpr std::array<std::string_view, 16> kWindColumns = {
    "wind_n", "wind_nne", "wind_ne", "wind_ene", "wind_e", "wind_ese", "wind_se", "wind_sse",
    "wind_s", "wind_ssw", "wind_sw", "wind_wsw", "wind_w", "wind_wnw", "wind_nw", "wind_nnw"};
static_assert(kWindColumns.size() == std::tuple_size_v<WindPointCounts>);

// Row layout: day, records, newest, rain, then each key's figures, then the wind point counts.
constexpr int kFirstFigureColumn = 4;
constexpr int kFirstWindColumn =
    kFirstFigureColumn + static_cast<int>(kStatKeys.size() * kFigureSuffixes.size());

// The column names after the day, comma-separated, and their SQL types when `typed`.
std::string Columns(bool typed) {
  const auto type = [typed](std::string_view name) -> std::string {
    if (!typed) {
      return "";
    }
    const bool windPoint =
        std::find(kWindColumns.begin(), kWindColumns.end(), name) != kWindColumns.end();
    if (name == "records" || name == "newest" || windPoint) {
      return " INTEGER NOT NULL";
    }
    return name.ends_with("_at")      ? " INTEGER"
           : name.ends_with("_count") ? " INTEGER NOT NULL"
           : name.ends_with("_sum")   ? " REAL NOT NULL"
                                      : " REAL";
  };
  std::string sql;
  const auto add = [&](std::string_view name) {
    sql += sql.empty() ? "" : ", ";
    sql += name;
    sql += type(name);
  };
  add("records");
  add("newest");
  add("rain");
  for (const StatKey& key : kStatKeys) {
    for (const std::string_view suffix : kFigureSuffixes) {
      add(std::string(key.name) + std::string(suffix));
    }
  }
  for (const std::string_view wind : kWindColumns) {
    add(wind);
  }
  return sql;
}

struct StoredDay {
  DaySummary summary;
  std::int64_t newest = std::numeric_limits<std::int64_t>::min();
};
using StoredDays = std::map<std::int64_t, StoredDay>;

// Where each of a day's readings (kDayFields) is among the columns.
constexpr std::array<std::size_t, kDayReadingCount> DayColumns() {
  std::array<std::size_t, kDayReadingCount> columns{};
  for (std::size_t i = 0; i < kDayFields.size(); ++i) {
    for (std::size_t c = 0; c < kValueColumns.size(); ++c) {
      columns[i] = kValueColumns[c].field == kDayFields[i] ? c : columns[i];
    }
  }
  return columns;
}
constexpr std::array<std::size_t, kDayReadingCount> kDayColumns = DayColumns();

std::int64_t DayOf(std::int64_t taken) {
  return std::chrono::floor<std::chrono::days>(RecordTimePoint{seconds{taken}})
      .time_since_epoch()
      .count();
}

// The records a query (time, then the values of kDayFields) returns, in log order, each added
// to its own day's summary.
int AddRecords(Statement& query, StoredDays& days) {
  std::array<double, kDayReadingCount> readings{};
  int rc = SQLITE_ROW;
  while ((rc = query.Step()) == SQLITE_ROW) {
    const std::int64_t taken = query.Int(0);
    for (std::size_t i = 0; i < readings.size(); ++i) {
      const int column = static_cast<int>(i + 1);
      readings[i] =
          query.IsNull(column) ? std::numeric_limits<double>::quiet_NaN() : query.Double(column);
    }
    const std::int64_t day = DayOf(taken);
    StoredDay& stored = days[day];
    stored.summary.day = std::chrono::local_days{std::chrono::days{day}};
    stored.summary.Add(RecordTimePoint{seconds{taken}}, readings);
    stored.newest = std::max(stored.newest, taken);
  }
  return rc == SQLITE_DONE ? SQLITE_OK : rc;
}

std::string RecordsSql(std::string_view where) {
  std::string sql = "SELECT taken";
  for (const RecordField field : kDayFields) {
    sql += ", ";
    sql += ColumnOf(field)->name;
  }
  return sql + " FROM records" + std::string(where) + " AND +taken IS NOT NULL ORDER BY place, id";
}

void BindOptional(Statement& statement, int index, const std::optional<Extreme>& extreme) {
  if (extreme) {
    statement.Bind(index, extreme->value);
    statement.Bind(index + 1, static_cast<std::int64_t>(extreme->time.time_since_epoch().count()));
  }
}

int WriteDay(Statement& insert, std::int64_t day, const StoredDay& stored) {
  const DaySummary& summary = stored.summary;
  insert.Bind(1, day);
  insert.Bind(2, summary.records);
  insert.Bind(3, stored.newest);
  if (summary.rain) {
    insert.Bind(4, *summary.rain);
  }
  int index = kFirstFigureColumn + 1;
  for (const ValueSummary& value : summary.values) {
    BindOptional(insert, index, value.high);
    BindOptional(insert, index + 2, value.low);
    insert.Bind(index + 4, value.sum);
    insert.Bind(index + 5, value.count);
    index += static_cast<int>(kFigureSuffixes.size());
  }
  for (const std::int64_t count : summary.windPoints) {
    insert.Bind(index++, count);
  }
  const int rc = insert.Step();
  insert.Reset();  // unbound parameters are NULL
  return rc == SQLITE_DONE ? SQLITE_OK : rc;
}

int WriteDays(sqlite3* db, const StoredDays& days) {
  if (days.empty()) {
    return SQLITE_OK;  // a sync that brought nothing new need not prepare the long statement
  }
  std::string values = "?1";
  for (int i = 2; i <= kFirstWindColumn + static_cast<int>(kWindColumns.size()); ++i) {
    values += ", ?" + std::to_string(i);
  }
  Statement insert(db, "INSERT OR REPLACE INTO day_summaries (day, " + Columns(false) +
                           ") VALUES (" + values + ")");
  int rc = insert.Prepared();
  for (auto day = days.begin(); rc == SQLITE_OK && day != days.end(); ++day) {
    rc = WriteDay(insert, day->first, day->second);
  }
  return rc;
}

std::optional<Extreme> ReadExtreme(const Statement& row, int column) {
  if (row.IsNull(column)) {
    return std::nullopt;
  }
  return Extreme{row.Double(column), RecordTimePoint{seconds{row.Int(column + 1)}}};
}

DaySummary ReadDay(const Statement& row) {
  DaySummary summary;
  summary.day = std::chrono::local_days{std::chrono::days{row.Int(0)}};
  summary.records = row.Int(1);
  if (!row.IsNull(3)) {
    summary.rain = row.Double(3);
  }
  int column = kFirstFigureColumn;
  for (ValueSummary& value : summary.values) {
    value.high = ReadExtreme(row, column);
    value.low = ReadExtreme(row, column + 2);
    value.sum = row.Double(column + 4);
    value.count = row.Int(column + 5);
    column += static_cast<int>(kFigureSuffixes.size());
  }
  for (std::int64_t& count : summary.windPoints) {
    count = row.Int(column++);
  }
  return summary;
}

// Makes the rows of the given days (sorted, each once) anew from their records.
int RebuildDays(sqlite3* db, const std::vector<std::int64_t>& days) {
  if (days.empty()) {
    return SQLITE_OK;
  }
  // Consecutive days are read with one query, through the index of places.
  Statement records(db, RecordsSql(" WHERE place >= ?1 AND place < ?2 AND +day >= ?3 AND "
                                   "+day <= ?4"));
  int rc = records.Prepared();
  StoredDays rebuilt;
  for (auto first = days.begin(); rc == SQLITE_OK && first != days.end();) {
    auto last = first;
    while (last + 1 != days.end() && last[1] == last[0] + 1) {
      ++last;
    }
    const PlaceSpan places = PlacesOfDays(std::chrono::local_days{std::chrono::days{*first}},
                                          std::chrono::local_days{std::chrono::days{*last}});
    records.Bind(1, places.first);
    records.Bind(2, places.end);
    records.Bind(3, *first);
    records.Bind(4, *last);
    rc = AddRecords(records, rebuilt);
    records.Reset();
    first = last + 1;
  }
  return rc == SQLITE_OK ? WriteDays(db, rebuilt) : rc;
}

}  // namespace

DayRebuild::DayRebuild(sqlite3* db)
    : db_(db), known_(db, "SELECT count(*) FROM day_summaries WHERE day = ?1") {}

// A day's first record of the merge: the archive is read for it when it holds records already.
int DayRebuild::Start(std::int64_t day, Day& started) {
  started.summary.day = std::chrono::local_days{std::chrono::days{day}};
  if (known_.Prepared() != SQLITE_OK) {
    return known_.Prepared();
  }
  known_.Bind(1, day);
  const int rc = known_.Step();
  started.fromArchive = rc == SQLITE_ROW && known_.Int(0) > 0;
  known_.Reset();
  return rc == SQLITE_ROW ? SQLITE_OK : rc;
}

int DayRebuild::Add(std::int64_t taken, std::int64_t place, const ColumnValues& values) {
  const std::int64_t number = DayOf(taken);
  const auto [at, first] = days_.try_emplace(number);
  Day& day = at->second;
  if (first) {
    if (const int rc = Start(number, day); rc != SQLITE_OK) {
      return rc;
    }
  } else if (place < day.lastPlace) {
    day.fromArchive = true;  // before a record added earlier: only the archive has the order
  }
  if (day.fromArchive) {
    return SQLITE_OK;
  }
  std::array<double, kDayReadingCount> readings{};
  for (std::size_t i = 0; i < readings.size(); ++i) {
    readings[i] = values[kDayColumns[i]].value_or(std::numeric_limits<double>::quiet_NaN());
  }
  day.summary.Add(RecordTimePoint{seconds{taken}}, readings);
  day.newest = first ? taken : std::max(day.newest, taken);
  day.lastPlace = place;
  return SQLITE_OK;
}

int DayRebuild::Finish() {
  std::vector<std::int64_t> fromArchive;
  StoredDays summed;
  for (auto& [number, day] : days_) {
    if (day.fromArchive) {
      fromArchive.push_back(number);
    } else {
      summed.emplace(number, StoredDay{std::move(day.summary), day.newest});
    }
  }
  const int rc = WriteDays(db_, summed);
  return rc == SQLITE_OK ? RebuildDays(db_, fromArchive) : rc;
}

int CreateDaySummaries(sqlite3* db) {
  int rc =
      Execute(db, "CREATE TABLE day_summaries (day INTEGER PRIMARY KEY, " + Columns(true) + ")");
  StoredDays days;
  Statement records(db, RecordsSql(" WHERE place IS NOT NULL"));
  rc = rc == SQLITE_OK ? records.Prepared() : rc;
  rc = rc == SQLITE_OK ? AddRecords(records, days) : rc;
  return rc == SQLITE_OK ? WriteDays(db, days) : rc;
}

int ReadStoredDays(sqlite3* db, std::chrono::local_days first, std::chrono::local_days last,
                   std::vector<DaySummary>& days) {
  Statement rows(db, "SELECT day, " + Columns(false) +
                         " FROM day_summaries WHERE day >= ?1 AND day <= ?2 ORDER BY day");
  if (rows.Prepared() != SQLITE_OK) {
    return rows.Prepared();
  }
  rows.Bind(1, static_cast<std::int64_t>(first.time_since_epoch().count()));
  rows.Bind(2, static_cast<std::int64_t>(last.time_since_epoch().count()));
  int rc = SQLITE_ROW;
  while ((rc = rows.Step()) == SQLITE_ROW) {
    days.push_back(ReadDay(rows));
  }
  return rc == SQLITE_DONE ? SQLITE_OK : rc;
}

}  // namespace nimbrel::archive_detail
