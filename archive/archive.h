// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "export/history_store.h"
#include "record/record_fields.h"
#include "record/record_time.h"
#include "settings/export_request.h"
#include "stats/period_stats.h"

namespace nimbrel {

// The weather archive: every history record of every download and the live readings, kept in one
// file across runs. This header is all the rest of the program sees of it.

enum class ArchiveFault : std::uint8_t {
  NotADatabase,  // not a database, another program's database, or damaged: left as it was
  NewerVersion,  // written by a newer version of the program: left as it was
  Busy,          // another program held the write lock for longer than the wait
  NotWritable,   // the file cannot be written: nothing was changed
  DiskFull,      // nothing was changed
  NoFolder,      // the folder for the file cannot be created
};

// A fault and the text to show for it, which names the file.
struct ArchiveError {
  ArchiveFault fault;
  std::string message;
};
using ArchiveStatus = std::optional<ArchiveError>;  // nothing: it worked

struct ArchiveOptions {
  std::filesystem::path path;
  // How long to wait for another program's write to end before giving up.
  std::chrono::milliseconds busyWait{5000};
  // Live readings are kept one every this many minutes; 0 keeps none.
  std::chrono::minutes liveEvery{5};
};

// What one merge found in a download. `undated` counts the records of the download whose date or
// time cannot be read, new or not; they are kept, but left out of charts, and out of every date
// range unless their date reads.
struct MergeCounts {
  std::size_t added = 0;
  std::size_t alreadyArchived = 0;
  std::size_t undated = 0;
};

// The records of a whole archive, those without a date last, or those of the days first to last.
struct ArchiveRange {
  bool whole = true;
  std::chrono::local_days first{};
  std::chrono::local_days last{};
};

// The range of an export request. A period such as 2018-2-31 to 2018-3-31 is read as the dates
// between those numbers compare (here 2018-3-1 to 2018-3-31); a period that cannot be read
// holds no day.
ArchiveRange RangeOf(const ExportRequest& request);

struct ArchiveInfo {
  std::filesystem::path path;
  std::int64_t records = 0;
  std::int64_t liveSamples = 0;
  std::int64_t undated = 0;
  std::optional<RecordTimePoint> firstRecord;
  std::optional<RecordTimePoint> lastRecord;
  std::optional<std::chrono::sys_seconds> lastMerge;
  std::uintmax_t fileBytes = 0;
};

// A record's text, in time order; return false to stop reading.
using RecordTextVisitor = std::function<bool(std::string_view text)>;
// A record's time and the values asked for, in the console's units; NaN for no reading.
using SeriesVisitor = std::function<void(RecordTimePoint time, std::span<const double> values)>;

class Archive {
 public:
  virtual ~Archive() = default;

  // Adds the records of one download that are not archived yet, in one transaction: all of them
  // or, on any fault, none. A record is archived when one with the same fields 1 to 35 is (field 0,
  // the logger's fill, does not count); one with the same time but other values is new. Equal
  // records are counted, not collapsed: a download that holds one twice while the archive holds it
  // once adds one (the repeated hour of the autumn clock change makes such pairs).
  virtual ArchiveStatus Merge(std::span<const std::string_view> records, MergeCounts& counts) = 0;

  // Keeps a live reading's text when it is the first of its period of ArchiveOptions::liveEvery
  // minutes (by the time it was received); `kept` says whether it was.
  virtual ArchiveStatus AddLiveSample(std::string_view text, std::chrono::sys_seconds received,
                                      bool& kept) = 0;

  // The texts of the records in the range, oldest first, with no limit on their number. Where
  // the console's clock stepped back a little (the autumn clock change), they keep the order of
  // the console's log: the repeated hour's second pass follows its first.
  virtual ArchiveStatus ReadRecords(const ArchiveRange& range, const RecordTextVisitor& visit) = 0;

  // The dated records in the range with the values of the given fields (numeric fields only: 3 to
  // 11 and 13 to 35), in the order of ReadRecords, read without the record texts.
  virtual ArchiveStatus ReadSeries(const ArchiveRange& range, std::span<const RecordField> fields,
                                   const SeriesVisitor& visit) = 0;

  // The live samples taken (by the console's clock) in [begin, end) after the newest record of
  // that period, with the values of the given fields read from their texts by the records' rules,
  // oldest first. They carry a chart on from the last download up to now; a record with a wrong
  // date outside the period hides none of them.
  virtual ArchiveStatus ReadLiveSeries(RecordTimePoint begin, RecordTimePoint end,
                                       std::span<const RecordField> fields,
                                       const SeriesVisitor& visit) = 0;

  // The figures of each day of [first, last] that has dated records or live samples, in day
  // order. After the newest record of its day, a live sample stands in for the records still to
  // come, so that today's figures follow the live readings between downloads; a sample at or
  // before a record of its day never counts, nor does a record on another day hide one.
  // Quick for any period: the archive keeps each day's figures as its merges change them.
  virtual ArchiveStatus ReadDays(std::chrono::local_days first, std::chrono::local_days last,
                                 std::vector<DaySummary>& days) = 0;

  virtual ArchiveStatus ReadInfo(ArchiveInfo& info) = 0;
};

// Opens the archive file, or creates it (mode 0600) with its folder. A file that is not an
// archive this program can read is never written, and nothing is created beside it.
std::unique_ptr<Archive> OpenArchive(const ArchiveOptions& options, ArchiveError& error);

// $XDG_DATA_HOME/nimbrel/archive.sqlite, or ~/.local/share/nimbrel/archive.sqlite when that is not
// set; nothing without either.
std::optional<std::filesystem::path> DefaultArchivePath();

// The texts of the downloaded records in slots 0 to count - 1, empty slots left out.
std::vector<std::string_view> RecordTexts(const HistoryStore& store, std::size_t count);

}  // namespace nimbrel
