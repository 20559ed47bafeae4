// SPDX-License-Identifier: GPL-3.0-or-later
#include "archive/archive_schema.h"

#include <array>
#include <string>
#include <vector>

#include "archive/day_summaries.h"
#include "archive/record_values.h"
#include "archive/sqlite_statement.h"

namespace nimbrel::archive_detail {
namespace {

// Version 0 to 1: the records, the live samples and the merges. A record's time is the console's
// clock reading in seconds since 1970-01-01 (NULL when unreadable), indexed for date ranges and
// charts; its values are in the console's units, NULL for no reading.
int CreateFirstVersion(sqlite3* db) {
  std::string sql =
      "CREATE TABLE records (id INTEGER PRIMARY KEY, taken INTEGER, text TEXT NOT NULL";
  for (const ValueColumn& column : kValueColumns) {
    sql += ", ";
    sql += column.name;
    sql += " REAL";
  }
  sql +=
      ");"
      "CREATE INDEX records_by_time ON records (taken);"
      "CREATE TABLE live_samples (id INTEGER PRIMARY KEY, received INTEGER NOT NULL, "
      "taken INTEGER, text TEXT NOT NULL);"
      "CREATE INDEX live_samples_by_received ON live_samples (received);"
      "CREATE TABLE merges (id INTEGER PRIMARY KEY, finished INTEGER NOT NULL, "
      "added INTEGER NOT NULL, already_archived INTEGER NOT NULL, undated INTEGER NOT NULL);"
      "PRAGMA application_id = " +
      std::to_string(kApplicationId) + ";";
  return Execute(db, sql);
}

// How many records each merge added, oldest merge first: the records of one merge have
// consecutive ids, in the order of their download.
int ReadMergeSizes(sqlite3* db, std::vector<std::int64_t>& sizes) {
  Statement query(db, "SELECT added FROM merges ORDER BY id");
  int rc = query.Prepared();
  while (rc == SQLITE_OK && (rc = query.Step()) == SQLITE_ROW) {
    sizes.push_back(query.Int(0));
    rc = SQLITE_OK;
  }
  return rc == SQLITE_DONE ? SQLITE_OK : rc;
}

// Places every record as a merge would have: in id order, which within one merge is the order of
// its download, each merge on its own.
int PlaceArchivedRecords(sqlite3* db) {
  std::vector<std::int64_t> sizes;
  int rc = ReadMergeSizes(db, sizes);
  Statement records(db, "SELECT id, text FROM records ORDER BY id");
  Statement update(db, "UPDATE records SET place = ?2, day = ?3 WHERE id = ?1");
  rc = rc == SQLITE_OK ? records.Prepared() : rc;
  rc = rc == SQLITE_OK ? update.Prepared() : rc;
  std::optional<std::int64_t> previous;
  std::optional<std::int64_t> previousDay;
  std::size_t merge = 0;
  std::int64_t leftInMerge = sizes.empty() ? -1 : sizes[0];
  while (rc == SQLITE_OK && (rc = records.Step()) == SQLITE_ROW) {
    while (leftInMerge == 0) {  // the next merge's first record
      previous.reset();
      previousDay.reset();
      leftInMerge = ++merge < sizes.size() ? sizes[merge] : -1;
    }
    leftInMerge -= leftInMerge > 0 ? 1 : 0;
    const RecordWhen when = WhenOfText(records.Text(1));
    const auto place = PlaceAfter(when, previous, previousDay);
    update.Bind(1, records.Int(0));
    if (place) {
      update.Bind(2, *place);
      previous = place;
      previousDay = when.day;
    }
    if (when.day) {
      update.Bind(3, *when.day);
    }
    rc = update.Step();
    update.Reset();
    rc = rc == SQLITE_DONE ? SQLITE_OK : rc;
  }
  return rc == SQLITE_DONE ? SQLITE_OK : rc;
}

// Version 1 to 2: each record's place in the console's log order, which exports and charts
// follow, and its day for date ranges (also when only its time cannot be read).
int AddPlaces(sqlite3* db) {
  int rc = Execute(db,
                   "ALTER TABLE records ADD COLUMN place INTEGER;"
                   "ALTER TABLE records ADD COLUMN day INTEGER;");
  rc = rc == SQLITE_OK ? PlaceArchivedRecords(db) : rc;
  return rc == SQLITE_OK ? Execute(db, "CREATE INDEX records_by_place ON records (place)") : rc;
}

using Migration = int (*)(sqlite3*);
// Step i takes the file from version i to i + 1. Version 2 to 3 adds each day's summary, made
// once from the records and kept by every merge from then on.
constexpr std::array<Migration, kSchemaVersion> kMigrations = {CreateFirstVersion, AddPlaces,
                                                               CreateDaySummaries};

int MigrateOneStep(sqlite3* db, bool& done) {
  Transaction transaction(db);
  std::int64_t version = 0;
  int rc = transaction.Begin();
  if (rc == SQLITE_OK) {
    rc = QueryInt(db, "PRAGMA user_version", version);
  }
  if (rc != SQLITE_OK || version >= kSchemaVersion || version < 0) {
    done = true;
    return rc;
  }
  rc = kMigrations[static_cast<std::size_t>(version)](db);
  if (rc == SQLITE_OK) {
    rc = Execute(db, "PRAGMA user_version = " + std::to_string(version + 1));
  }
  return rc == SQLITE_OK ? transaction.Commit() : rc;
}

}  // namespace

int MigrateSchema(sqlite3* db) {
  std::int64_t version = 0;
  int rc = QueryInt(db, "PRAGMA user_version", version);
  bool done = rc != SQLITE_OK || version >= kSchemaVersion;
  while (!done) {
    rc = MigrateOneStep(db, done);
    done = done || rc != SQLITE_OK;
  }
  return rc;
}

}  // namespace nimbrel::archive_detail
