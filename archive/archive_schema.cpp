// SPDX-License-Identifier: GPL-3.0-or-later
#include "archive/archive_schema.h"

#include <array>
#include <string>

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

using Migration = int (*)(sqlite3*);
// Step i takes the file from version i to i + 1.
constexpr std::array<Migration, kSchemaVersion> kMigrations = {CreateFirstVersion};

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
