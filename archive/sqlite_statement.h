// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace nimbrel::archive_detail {

// A connection, closed when the last statement on it is gone.
struct ConnectionCloser {
  void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
using Connection = std::unique_ptr<sqlite3, ConnectionCloser>;

// One prepared statement. Text bound to it must outlive the next Step.
class Statement {
 public:
  Statement(sqlite3* db, std::string_view sql);
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  ~Statement() { sqlite3_finalize(statement_); }

  // SQLITE_OK when the statement could be prepared.
  int Prepared() const { return prepared_; }

  void Bind(int index, std::int64_t value) { sqlite3_bind_int64(statement_, index, value); }
  void Bind(int index, double value) { sqlite3_bind_double(statement_, index, value); }
  void Bind(int index, std::string_view text);
  void BindNull(int index) { sqlite3_bind_null(statement_, index); }

  // SQLITE_ROW, SQLITE_DONE or an error.
  int Step() { return sqlite3_step(statement_); }
  // Ready to run again with new values.
  void Reset();

  bool IsNull(int column) const { return sqlite3_column_type(statement_, column) == SQLITE_NULL; }
  std::int64_t Int(int column) const { return sqlite3_column_int64(statement_, column); }
  double Double(int column) const { return sqlite3_column_double(statement_, column); }
  std::string_view Text(int column) const;

 private:
  sqlite3_stmt* statement_ = nullptr;
  int prepared_ = SQLITE_OK;
};

// Runs statements without results; the result code of the first that fails.
int Execute(sqlite3* db, const std::string& sql);

// The single integer a query such as a PRAGMA returns.
int QueryInt(sqlite3* db, std::string_view sql, std::int64_t& value);

// An IMMEDIATE transaction: it takes the write lock at once (waiting the busy time for it), so
// that it never fails halfway for want of it. Rolled back unless committed.
class Transaction {
 public:
  explicit Transaction(sqlite3* db) : db_(db) {}
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;
  ~Transaction();

  int Begin();
  int Commit();

 private:
  sqlite3* db_;
};

}  // namespace nimbrel::archive_detail
