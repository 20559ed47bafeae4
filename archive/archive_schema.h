// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <sqlite3.h>

#include <cstdint>

namespace nimbrel::archive_detail {

// The version of the file layout this program writes, kept in PRAGMA user_version.
inline constexpr std::int64_t kSchemaVersion = 3;
// PRAGMA application_id of every archive: "NMBL".
inline constexpr std::int64_t kApplicationId = 0x4E4D424C;

// Brings the file up to kSchemaVersion, one step at a time, each in its own transaction; another
// program may take a step meanwhile. The result code of the first failure.
int MigrateSchema(sqlite3* db);

}  // namespace nimbrel::archive_detail
