// SPDX-License-Identifier: GPL-3.0-or-later
#include "archive/sqlite_statement.h"

namespace nimbrel::archive_detail {

Statement::Statement(sqlite3* db, std::string_view sql) {
  prepared_ =
      sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &statement_, nullptr);
}

void Statement::Bind(int index, std::string_view text) {
  sqlite3_bind_text(statement_, index, text.data(), static_cast<int>(text.size()), SQLITE_STATIC);
}

void Statement::Reset() {
  sqlite3_reset(statement_);
  sqlite3_clear_bindings(statement_);
}

std::string_view Statement::Text(int column) const {
  const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement_, column));
  return text == nullptr
             ? std::string_view()
             : std::string_view(text,
                                static_cast<std::size_t>(sqlite3_column_bytes(statement_, column)));
}

int Execute(sqlite3* db, const std::string& sql) {
  return sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
}

int QueryInt(sqlite3* db, std::string_view sql, std::int64_t& value) {
  Statement query(db, sql);
  if (query.Prepared() != SQLITE_OK) {
    return query.Prepared();
  }
  const int rc = query.Step();
  if (rc == SQLITE_ROW) {
    value = query.Int(0);
    return SQLITE_OK;
  }
  return rc == SQLITE_DONE ? SQLITE_OK : rc;
}

Transaction::~Transaction() {
  // A failed COMMIT may already have rolled back.
  if (db_ != nullptr && sqlite3_get_autocommit(db_) == 0) {
    Execute(db_, "ROLLBACK");
  }
}

int Transaction::Begin() {
  return Execute(db_, "BEGIN IMMEDIATE");
}

int Transaction::Commit() {
  return Execute(db_, "COMMIT");
}

}  // namespace nimbrel::archive_detail
