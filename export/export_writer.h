// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "export/export_file.h"
#include "export/history_store.h"
#include "readings/unit_settings.h"
#include "record/record_fields.h"
#include "settings/export_request.h"
#include "station/messages.h"
#include "station/shared_state.h"

namespace nimbrel {

inline constexpr unsigned WM_EXPORT_FINISHED = WM_APP + 107;

// The outcome of one export, as the dashboard receives it.
inline constexpr int kExportEnded = 12;   // the file was written, or the export was cancelled
inline constexpr int kExportFailed = 13;  // no file could be written: "write file failed !"

// What the export thread hands to the dashboard. The call blocks until it has been handled.
class ExportFinishedSink {
 public:
  virtual ~ExportFinishedSink() = default;
  virtual void ExportFinished(int result) = 0;  // WM_EXPORT_FINISHED
};

// One export: the downloaded log and the shared flags it reads, and its own copies of the request,
// the units and the file name, taken when the export starts, so that the setup panel may change
// them meanwhile.
struct ExportJob {
  const HistoryStore& store;
  SharedState& state;
  ExportRequest request;
  UnitSettings units;
  std::string path;
};

// A job for the export file name chosen last (SharedState::ExportFileName).
ExportJob MakeExportJob(const HistoryStore& store, SharedState& state, const ExportRequest& request,
                        const UnitSettings& units);

// The records an export file is written from, in the order of the file: the downloaded store, or
// any other log of the console's records.
class RecordSource {
 public:
  virtual ~RecordSource() = default;
  // The next record's text, valid until the next call; nothing after the last. An empty text (an
  // empty slot) gives no row.
  virtual std::optional<std::string_view> Next() = 0;
};

// The records 0 to count - 1 of a store, in slot order.
class StoreRecords : public RecordSource {
 public:
  StoreRecords(const HistoryStore& store, std::size_t count) : store_(store), count_(count) {}
  std::optional<std::string_view> Next() override;

 private:
  const HistoryStore& store_;
  std::size_t count_;
  std::size_t next_ = 0;
};

enum class ExportOutcome { kWritten, kCancelled, kFailed };

// Creates the file and writes the byte-order mark, the title row, the unit row and one row per
// record inside the period. `cancelled` is read after every record. A cancel, a failed write or a
// failed close deletes the partial file.
ExportOutcome WriteExportFile(RecordSource& records, const ExportRequest& request,
                              const UnitSettings& units, const std::string& path, ExportFile& file,
                              const std::atomic<bool>& cancelled);

// Writes an export file from records handed to it one at a time, in the order of the file:
// Begin, then Add for each record, then Finish. A failed step, or Abandon, deletes the partial
// file; the rows are gathered into large writes, so no more than a buffer's worth is held.
class ExportFileWriter {
 public:
  ExportFileWriter(ExportFile& file, const ExportRequest& request, const UnitSettings& units);
  ~ExportFileWriter();
  ExportFileWriter(const ExportFileWriter&) = delete;
  ExportFileWriter& operator=(const ExportFileWriter&) = delete;

  // Creates the file and writes the byte-order mark, the title row and the unit row.
  bool Begin(const std::string& path);
  // The row of one record, unless its text is empty or its date outside the period.
  bool Add(std::string_view text);
  // Writes what is left and closes the file.
  bool Finish();
  void Abandon();

 private:
  struct Rows;
  ExportFile& file_;
  const ExportRequest& request_;
  const UnitSettings& units_;
  std::unique_ptr<Rows> rows_;
};

// Writes the export file of the store's records 0 to HistoryTotal - 1. Clears DownloadCancelled
// first; a cancel clears HistoryReady. Returns kExportEnded (written or cancelled), or
// kExportFailed when HistoryReady is not set, the file cannot be opened or a write fails.
int WriteExport(const ExportJob& job, ExportFile& file);

// The whole export as the thread runs it: writes the file, hands the result to the sink and
// waits for it to be handled, then clears DownloadActive.
void RunExport(const ExportJob& job, ExportFile& file, ExportFinishedSink& sink);

// The rows of the file, as UTF-16 text, each ending in LF.
std::u16string ExportTitleRow();
std::u16string ExportUnitRow(const UnitSettings& units);
// The row of one record, whatever its date.
std::u16string ExportDataRow(const RecordFields& fields, const ExportRequest& request,
                             const UnitSettings& units);

// Appends the text as UTF-16 code units, low byte first, without a byte-order mark.
void AppendUtf16Le(std::u16string_view text, std::string& bytes);

}  // namespace nimbrel
