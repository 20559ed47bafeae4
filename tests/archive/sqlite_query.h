// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <sqlite3.h>

#include <filesystem>
#include <string>

namespace nimbrel::testing {

// The first value of a query's last row, through a connection of its own, as the next run of the
// program would see the file; empty when the file does not exist.
inline std::string QueryText(const std::filesystem::path& path, const char* sql) {
  sqlite3* db = nullptr;
  std::string value;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK) {
    sqlite3_exec(
        db, sql,
        [](void* out, int, char** values, char**) {
          *static_cast<std::string*>(out) = values[0] != nullptr ? values[0] : "";
          return 0;
        },
        &value, nullptr);
  }
  sqlite3_close(db);
  return value;
}

}  // namespace nimbrel::testing
