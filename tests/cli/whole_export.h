// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The whole-period, all-data export that the real writer makes from the records a console
// should have delivered: what a download that reaches its end must produce, byte for byte.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "export/export_file.h"
#include "export/export_writer.h"
#include "tests/support/temp_dir.h"

namespace nimbrel::testing {

inline ExportRequest WholeExport() {
  ExportRequest request;
  request.wholePeriod = true;
  request.dataSets.fill(true);
  return request;
}

// `delivered` in slots 0, 1, ... of a log of `total` records, written to `path`.
inline std::string ExpectedExport(const std::vector<std::string>& delivered, std::size_t total,
                                  const std::filesystem::path& path) {
  HistoryStore store;
  for (std::size_t i = 0; i < delivered.size(); ++i) {
    HistoryRecord record{};
    delivered[i].copy(record.data(), record.size() - 1);
    store.Put(i, record);
  }
  SharedState state;
  state.historyTotal = static_cast<int>(total);
  state.historyReady = true;
  state.SetExportFileName(path.string());
  DiskExportFile file;
  EXPECT_EQ(WriteExport(MakeExportJob(store, state, WholeExport(), UnitSettings{}), file),
            kExportEnded);
  return ReadFile(path);
}

}  // namespace nimbrel::testing
