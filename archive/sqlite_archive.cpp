// SPDX-License-Identifier: GPL-3.0-or-later
// The archive in one SQLite file, in WAL mode so that one program can read while another writes.
#include <sqlite3.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <deque>
#include <fstream>
#include <limits>
#include <system_error>
#include <thread>
#include <unordered_map>
#include <vector>

#include "archive/archive.h"
#include "archive/archive_schema.h"
#include "archive/day_summaries.h"
#include "archive/record_values.h"
#include "archive/sqlite_statement.h"
#include "i18n/utf8.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace nimbrel {
namespace {

namespace fs = std::filesystem;

// A new file that only the user may read and write, from the start; nothing when there is one
// already (or it cannot be made). Windows names files in UTF-16.
std::FILE* CreateNewFile(const fs::path& path) {
#ifdef _WIN32
  return _wfopen(path.c_str(), L"wbx");
#else
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  return fd < 0 ? nullptr : ::fdopen(fd, "wb");
#endif
}

// Creates the folder and any missing above it, each only for the user from the start, so that
// no moment leaves them open to others.
void CreateFolders(const fs::path& folder, std::error_code& error) {
#ifdef _WIN32
  fs::create_directories(folder, error);
#else
  fs::path made;
  for (const fs::path& part : folder) {
    made /= part;
    if (::mkdir(made.c_str(), 0700) != 0 && errno != EEXIST) {
      error = std::error_code(errno, std::generic_category());
      return;
    }
  }
  if (!fs::is_directory(folder, error) && !error) {
    error = std::make_error_code(std::errc::not_a_directory);
  }
#endif
}
using namespace archive_detail;
using std::chrono::seconds;

// ---- Fault texts -------------------------------------------------------------------------------

std::string Quoted(const fs::path& path) {
  return "\"" + Utf8FromPath(path) + "\"";
}

ArchiveError Damaged(const fs::path& path) {
  return {ArchiveFault::NotADatabase,
          "The archive " + Quoted(path) +
              " is not a database or is damaged. It was left as it is; the archive is not used."};
}

ArchiveError Foreign(const fs::path& path) {
  return {ArchiveFault::NotADatabase,
          "The file " + Quoted(path) +
              " is another program's database, not a Nimbrel archive. It was left as it is; the "
              "archive is not used."};
}

ArchiveError Newer(const fs::path& path) {
  return {ArchiveFault::NewerVersion,
          "The archive " + Quoted(path) +
              " was written by a newer version of Nimbrel. It was left as it is; the archive is "
              "not used."};
}

std::string WaitText(std::chrono::milliseconds wait) {
  return wait.count() % 1000 == 0 ? std::to_string(wait.count() / 1000) + " s"
                                  : std::to_string(wait.count()) + " ms";
}

ArchiveError Busy(const ArchiveOptions& options) {
  return {ArchiveFault::Busy, "Another program is writing to the archive " + Quoted(options.path) +
                                  " and did not finish within " + WaitText(options.busyWait) +
                                  ". Nothing was changed; try again later."};
}

ArchiveError NotWritable(const fs::path& path, const std::string& reason) {
  return {ArchiveFault::NotWritable, "The archive " + Quoted(path) + " cannot be written (" +
                                         reason + "). Nothing was changed."};
}

ArchiveError DiskFull(const fs::path& path) {
  return {ArchiveFault::DiskFull,
          "The disk that holds the archive " + Quoted(path) + " is full. Nothing was changed."};
}

ArchiveError NoFolder(const fs::path& folder, const std::string& reason) {
  return {ArchiveFault::NoFolder,
          "The folder " + Quoted(folder) + " for the archive cannot be created (" + reason + ")."};
}

ArchiveError ErrorFor(int rc, sqlite3* db, const ArchiveOptions& options) {
  switch (rc & 0xFF) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      return Busy(options);
    case SQLITE_FULL:
      return DiskFull(options.path);
    case SQLITE_NOTADB:
    case SQLITE_CORRUPT:
      return Damaged(options.path);
    default:
      break;
  }
  if (db != nullptr && sqlite3_system_errno(db) == ENOSPC) {
    return DiskFull(options.path);
  }
  return NotWritable(options.path, db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
}

// ---- Opening -----------------------------------------------------------------------------------

// Every database file starts with these 16 bytes, in a header of 100.
constexpr std::string_view kDatabaseMagic{"SQLite format 3\0", 16};
constexpr std::uintmax_t kHeaderSize = 100;

ArchiveStatus CheckHeader(const fs::path& path, std::uintmax_t size) {
  if (size == 0) {
    return std::nullopt;  // an empty file is an empty database
  }
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    return NotWritable(path, "it cannot be read");
  }
  std::array<char, kDatabaseMagic.size()> magic{};
  file.read(magic.data(), magic.size());
  if (size < kHeaderSize || !file ||
      std::string_view(magic.data(), magic.size()) != kDatabaseMagic) {
    return Damaged(path);
  }
  return std::nullopt;
}

// Whether the file is ours, in a version this program knows.
ArchiveStatus CheckIdentity(sqlite3* db, const ArchiveOptions& options) {
  std::int64_t application = 0;
  std::int64_t version = 0;
  std::int64_t objects = 0;
  // One read, so that another program's first migration is seen whole or not at all, never as
  // tables without the mark that makes them ours.
  int rc = Execute(db, "BEGIN");
  if (rc == SQLITE_OK) {
    rc = QueryInt(db, "PRAGMA application_id", application);
  }
  if (rc == SQLITE_OK) {
    rc = QueryInt(db, "PRAGMA user_version", version);
  }
  if (rc == SQLITE_OK) {
    rc = QueryInt(db, "SELECT count(*) FROM sqlite_master", objects);
  }
  Execute(db, "COMMIT");
  if (rc != SQLITE_OK) {
    return ErrorFor(rc, db, options);
  }
  const bool ours = application == kApplicationId || (application == 0 && objects == 0);
  if (!ours || version < 0) {
    return Foreign(options.path);
  }
  if (version > kSchemaVersion) {
    return Newer(options.path);
  }
  return std::nullopt;
}

// A URI that opens the file read-only as immutable: no lock, no journal, no -wal or -shm file.
std::string ImmutableUri(const fs::path& path) {
  constexpr std::string_view kHex = "0123456789ABCDEF";
  const std::u8string generic = fs::absolute(path).generic_u8string();
  std::string name(generic.begin(), generic.end());
  if (!name.starts_with('/')) {
    name.insert(0, 1, '/');  // a Windows drive: file:/C:/...
  }
  std::string uri = "file:";
  for (const char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    const bool plain = (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
                       (byte >= '0' && byte <= '9') ||
                       std::string_view("/-._~").find(c) != std::string_view::npos;
    if (plain) {
      uri += c;
    } else {
      uri += '%';
      uri += kHex[byte >> 4];
      uri += kHex[byte & 0xF];
    }
  }
  return uri + "?immutable=1";
}

// Looks at an existing file without changing it or creating anything beside it, so that a file
// that is not an archive of ours is left exactly as it was.
ArchiveStatus ProbeExisting(const ArchiveOptions& options) {
  std::error_code error;
  if (!fs::is_regular_file(options.path, error)) {
    return Damaged(options.path);
  }
  const std::uintmax_t size = fs::file_size(options.path, error);
  if (error) {
    return NotWritable(options.path, error.message());
  }
  if (ArchiveStatus header = CheckHeader(options.path, size); header || size == 0) {
    return header;
  }
  sqlite3* raw = nullptr;
  const int rc = sqlite3_open_v2(ImmutableUri(options.path).c_str(), &raw,
                                 SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, nullptr);
  const Connection probe(raw);
  ArchiveStatus identity =
      rc == SQLITE_OK ? CheckIdentity(raw, options) : ErrorFor(rc, raw, options);
  // With a -wal beside it, SQLite has the file open (or was stopped while it had), and the file
  // alone may be read halfway through a checkpoint: the connection, which reads both, decides
  // whether it is damaged. Whose file it is, the file alone tells.
  const int read = sqlite3_errcode(raw) & 0xFF;
  if ((read == SQLITE_CORRUPT || read == SQLITE_NOTADB) &&
      fs::exists(fs::path(options.path) += "-wal", error)) {
    return std::nullopt;
  }
  return identity;
}

// Creates the folder and an empty file that only the user may read and write (the file, its
// -wal and -shm take that mode); a file that another program created meanwhile is used as it is.
ArchiveStatus CreateArchiveFile(const ArchiveOptions& options) {
  const fs::path folder = options.path.parent_path();
  std::error_code error;
  if (!folder.empty() && !fs::is_directory(folder, error)) {
    CreateFolders(folder, error);
    if (error) {
      return NoFolder(folder, error.message());
    }
  }
  std::FILE* file = CreateNewFile(options.path);
  if (file == nullptr) {
    const int reason = errno;
    return reason == EEXIST
               ? std::nullopt
               : ArchiveStatus(NotWritable(options.path, std::generic_category().message(reason)));
  }
  std::fclose(file);
  return std::nullopt;
}

int SwitchToWal(sqlite3* db) {
  Statement mode(db, "PRAGMA journal_mode = WAL");
  if (mode.Prepared() != SQLITE_OK) {
    return mode.Prepared();
  }
  const int rc = mode.Step();
  if (rc != SQLITE_ROW) {
    return rc;
  }
  return mode.Text(0) == "wal" ? SQLITE_OK : SQLITE_READONLY;
}

// Two programs that open a new archive at once both switch it to WAL; the switch needs the file to
// itself, and SQLite refuses it at once, without its busy wait, while the other holds it: so wait
// here, as long as for any other write.
int EnableWal(sqlite3* db, std::chrono::milliseconds busyWait) {
  constexpr auto kStep = std::chrono::milliseconds(20);
  int rc = SwitchToWal(db);
  for (auto waited = std::chrono::milliseconds(0); (rc & 0xFF) == SQLITE_BUSY && waited < busyWait;
       waited += kStep) {
    std::this_thread::sleep_for(kStep);
    rc = SwitchToWal(db);
  }
  return rc;
}

ArchiveStatus Connect(const ArchiveOptions& options, Connection& db) {
  sqlite3* raw = nullptr;
  int rc = sqlite3_open_v2(Utf8FromPath(options.path).c_str(), &raw,
                           SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
  db.reset(raw);
  if (rc != SQLITE_OK) {
    return ErrorFor(rc, raw, options);
  }
  if (sqlite3_db_readonly(raw, "main") == 1) {
    return NotWritable(options.path, "the file is read-only");
  }
  sqlite3_busy_timeout(raw, static_cast<int>(options.busyWait.count()));
  // Closing the last connection copies the -wal into the file: not before the file is known to
  // be an archive of ours, so that a foreign file with a -wal beside it stays as it was.
  sqlite3_db_config(raw, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
  if (ArchiveStatus identity = CheckIdentity(raw, options)) {
    return identity;
  }
  sqlite3_db_config(raw, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 0, nullptr);
  // Larger pages than the default: fewer writes for a merge, fewer reads for a chart. Only a new,
  // empty file takes the size.
  rc = Execute(raw, "PRAGMA page_size = 65536");
  rc = rc == SQLITE_OK ? EnableWal(raw, options.busyWait) : rc;
  // A power cut may then cost the last merge, never the file's consistency; FULL makes a merge
  // that was reported as done survive it too.
  if (rc == SQLITE_OK) {
    // Charts read whole years: mapped pages save copying each of them on every read.
    rc = Execute(raw,
                 "PRAGMA synchronous = FULL; PRAGMA cache_size = -16384; "
                 "PRAGMA mmap_size = 268435456");
  }
  if (rc == SQLITE_OK) {
    rc = MigrateSchema(raw);
  }
  // The live samples of a chart are found by their time. An index alone changes nothing an older
  // version reads, so it comes without a new layout version.
  if (rc == SQLITE_OK) {
    rc = Execute(raw, "CREATE INDEX IF NOT EXISTS live_samples_by_taken ON live_samples (taken)");
  }
  return rc == SQLITE_OK ? std::nullopt : ArchiveStatus(ErrorFor(rc, raw, options));
}

// ---- Queries -----------------------------------------------------------------------------------

std::int64_t Seconds(RecordTimePoint time) {
  return std::chrono::floor<seconds>(time).time_since_epoch().count();
}

constexpr std::size_t kFirstValueParameter = 5;

std::string InsertRecordSql() {
  std::string sql = "INSERT INTO records (taken, text, place, day";
  std::string values = "?1, ?2, ?3, ?4";
  for (std::size_t i = 0; i < kValueColumns.size(); ++i) {
    sql += ", ";
    sql += kValueColumns[i].name;
    values += ", ?" + std::to_string(i + kFirstValueParameter);
  }
  return sql + ") VALUES (" + values + ")";
}

// The records of the days of a range, as ?1 to ?4, in log order. The place's span makes the
// index of places find them in that order; their day (not to be looked up by an index, hence the
// +) tells which of them belong.
constexpr std::string_view kOfDays =
    " WHERE place >= ?1 AND place < ?2 AND +day >= ?3 AND +day <= ?4";
constexpr std::string_view kPlaced = " WHERE place IS NOT NULL";
constexpr std::string_view kInLogOrder = " ORDER BY place, id";

void BindRange(Statement& statement, const ArchiveRange& range) {
  const PlaceSpan places = PlacesOfDays(range.first, range.last);
  statement.Bind(1, places.first);
  statement.Bind(2, places.end);
  statement.Bind(3, static_cast<std::int64_t>(range.first.time_since_epoch().count()));
  statement.Bind(4, static_cast<std::int64_t>(range.last.time_since_epoch().count()));
}

int Finished(int rc) {
  return rc == SQLITE_DONE || rc == SQLITE_ROW ? SQLITE_OK : rc;
}

// The text of each row to the visitor until it says stop; `stopped` tells it did.
int VisitTexts(Statement& query, const RecordTextVisitor& visit, bool& stopped) {
  if (query.Prepared() != SQLITE_OK) {
    return query.Prepared();
  }
  int rc = SQLITE_ROW;
  while (!stopped && (rc = query.Step()) == SQLITE_ROW) {
    stopped = !visit(query.Text(0));
  }
  return Finished(rc);
}

// The integer of a one-row query; nothing for NULL.
int QueryOptional(sqlite3* db, std::string_view sql, std::optional<std::int64_t>& value) {
  Statement query(db, sql);
  if (query.Prepared() != SQLITE_OK) {
    return query.Prepared();
  }
  const int rc = query.Step();
  value = rc == SQLITE_ROW && !query.IsNull(0) ? std::optional(query.Int(0)) : std::nullopt;
  return Finished(rc);
}

class SqliteArchive final : public Archive {
 public:
  SqliteArchive(ArchiveOptions options, Connection db)
      : options_(std::move(options)), db_(std::move(db)) {}

  ArchiveStatus Merge(std::span<const std::string_view> records, MergeCounts& counts) override;
  ArchiveStatus AddLiveSample(std::string_view text, std::chrono::sys_seconds received,
                              bool& kept) override;
  ArchiveStatus ReadRecords(const ArchiveRange& range, const RecordTextVisitor& visit) override;
  ArchiveStatus ReadSeries(const ArchiveRange& range, std::span<const RecordField> fields,
                           const SeriesVisitor& visit) override;
  ArchiveStatus ReadLiveSeries(RecordTimePoint begin, RecordTimePoint end,
                               std::span<const RecordField> fields,
                               const SeriesVisitor& visit) override;
  ArchiveStatus ReadDays(std::chrono::local_days first, std::chrono::local_days last,
                         std::vector<DaySummary>& days) override;
  ArchiveStatus ReadInfo(ArchiveInfo& info) override;

 private:
  ArchiveStatus Status(int rc) const {
    return rc == SQLITE_OK ? std::nullopt : ArchiveStatus(ErrorFor(rc, db_.get(), options_));
  }
  int MergeRecords(std::span<const std::string_view> records, MergeCounts& counts,
                   DayRebuild& days);
  int NoteMerge(const MergeCounts& counts);
  int LastLiveBucket(std::int64_t period, std::optional<std::int64_t>& bucket);

  ArchiveOptions options_;
  Connection db_;
  // The period of the live sample added last, once known.
  std::optional<std::int64_t> lastLiveBucket_;
};

std::string_view UpToZero(std::string_view text) {
  return text.substr(0, text.find('\0'));
}

// The times of a download's records, sorted, each once, and whether it holds records without
// one.
struct DownloadTimes {
  std::vector<std::int64_t> times;
  bool untimed = false;
};

DownloadTimes TimesOf(std::span<const std::string_view> records) {
  DownloadTimes download;
  download.times.reserve(records.size());
  for (const std::string_view record : records) {
    if (const auto taken = RecordTimeOfText(UpToZero(record))) {
      download.times.push_back(Seconds(*taken));
    } else {
      download.untimed = true;
    }
  }
  std::sort(download.times.begin(), download.times.end());
  download.times.erase(std::unique(download.times.begin(), download.times.end()),
                       download.times.end());
  return download;
}

// Times of a download this close together are read as one range of the time index; a record
// dated far from the rest (a clock reset to 2000-01-01, a date in 2035) is looked up on its own,
// so that the archive's years between are never read.
constexpr std::int64_t kSpanGap = 6 * 60 * 60;

// The archived records whose fields 1 to 35 equal one of the download's, by body, each copy with
// its place: equal bodies have equal dates and times, so only the download's own times (and the
// records without a time, if it has such) are read.
class ArchivedBodies {
 public:
  explicit ArchivedBodies(std::size_t expected) { places_.reserve(expected); }

  int Read(sqlite3* db, const DownloadTimes& download);

  // Takes one archived copy of the body: false when none is left, else its place (nothing for a
  // record without a date).
  bool Take(std::string_view body, std::optional<std::int64_t>& place) {
    const auto [first, last] = places_.equal_range(body);
    if (first == last) {
      return false;
    }
    // Of equal copies, the one placed first stands for the first in the download.
    auto taken = first;
    for (auto copy = first; copy != last; ++copy) {
      taken = copy->second.value_or(kNoPlace) < taken->second.value_or(kNoPlace) ? copy : taken;
    }
    place = taken->second;
    places_.erase(taken);
    return true;
  }

 private:
  static constexpr std::int64_t kNoPlace = std::numeric_limits<std::int64_t>::max();

  int ReadRows(Statement& query, const std::vector<std::int64_t>* times);

  std::unordered_multimap<std::string_view, std::optional<std::int64_t>> places_;
  std::deque<std::string> bodies_;  // never moves what it holds
};

int ArchivedBodies::ReadRows(Statement& query, const std::vector<std::int64_t>* times) {
  int rc = SQLITE_ROW;
  std::string storage;
  while ((rc = query.Step()) == SQLITE_ROW) {
    if (times != nullptr && !std::binary_search(times->begin(), times->end(), query.Int(0))) {
      continue;
    }
    const std::string_view text = query.Text(1);
    const std::string& body = bodies_.emplace_back(RecordBody(text, SplitRecord(text), storage));
    places_.emplace(body, query.IsNull(2) ? std::nullopt : std::optional(query.Int(2)));
  }
  return Finished(rc);
}

int ArchivedBodies::Read(sqlite3* db, const DownloadTimes& download) {
  Statement span(db, "SELECT taken, text, place FROM records WHERE taken BETWEEN ?1 AND ?2");
  int rc = span.Prepared();
  const std::vector<std::int64_t>& times = download.times;
  for (auto first = times.begin(); rc == SQLITE_OK && first != times.end();) {
    auto last = first;
    while (last + 1 != times.end() && last[1] - last[0] <= kSpanGap) {
      ++last;
    }
    span.Bind(1, *first);
    span.Bind(2, *last);
    rc = ReadRows(span, &times);
    span.Reset();
    first = last + 1;
  }
  if (rc == SQLITE_OK && download.untimed) {
    Statement untimed(db, "SELECT NULL, text, place FROM records WHERE taken IS NULL");
    rc = untimed.Prepared() == SQLITE_OK ? ReadRows(untimed, nullptr) : untimed.Prepared();
  }
  return rc;
}

struct NewRecord {
  std::string_view text;
  const RecordFields& fields;
  std::optional<RecordTimePoint> taken;
  std::optional<std::int64_t> place;
  std::optional<std::int64_t> day;
};

// Adds the record; `values` gets its values.
int InsertRecord(Statement& insert, const NewRecord& record, ColumnValues& values) {
  if (record.taken) {
    insert.Bind(1, Seconds(*record.taken));
  }
  insert.Bind(2, record.text);
  if (record.place) {
    insert.Bind(3, *record.place);
  }
  if (record.day) {
    insert.Bind(4, *record.day);
  }
  for (std::size_t i = 0; i < kValueColumns.size(); ++i) {
    const ValueColumn& column = kValueColumns[i];
    values[i] = ReadValue(record.fields[column.field].View(), column.test);
    if (values[i]) {
      insert.Bind(static_cast<int>(i + kFirstValueParameter), *values[i]);
    }
  }
  const int rc = insert.Step();
  insert.Reset();  // unbound parameters are NULL
  return Finished(rc);
}

// Each record of the download in the order the console sent it: one that an earlier download
// brought (as many times as the archive holds it) is counted, any other is added, placed after
// the record before it in the download when the console's clock stepped back. `days` is told of
// each record added with a time.
int SqliteArchive::MergeRecords(std::span<const std::string_view> records, MergeCounts& counts,
                                DayRebuild& days) {
  ArchivedBodies archived(records.size());
  int rc = archived.Read(db_.get(), TimesOf(records));
  Statement insert(db_.get(), InsertRecordSql());
  rc = rc == SQLITE_OK ? insert.Prepared() : rc;
  std::string storage;
  ColumnValues values;
  std::optional<std::int64_t> previous;
  std::optional<std::int64_t> previousDay;
  for (auto record = records.begin(); rc == SQLITE_OK && record != records.end(); ++record) {
    const std::string_view text = UpToZero(*record);
    if (text.empty()) {
      continue;
    }
    const RecordFields fields = SplitRecord(text);
    const std::optional<RecordTimePoint> taken = RecordTime(fields);
    const RecordWhen when = WhenOf(fields);
    counts.undated += taken ? 0 : 1;
    std::optional<std::int64_t> place;
    if (archived.Take(RecordBody(text, fields, storage), place)) {
      ++counts.alreadyArchived;
    } else {
      place = PlaceAfter(when, previous, previousDay);
      rc = InsertRecord(insert, {text, fields, taken, place, when.day}, values);
      counts.added += rc == SQLITE_OK ? 1 : 0;
      if (rc == SQLITE_OK && taken) {
        rc = days.Add(Seconds(*taken), *place, values);
      }
    }
    if (place) {
      previous = place;
      previousDay = when.day;
    }
  }
  return rc;
}

int SqliteArchive::NoteMerge(const MergeCounts& counts) {
  Statement note(db_.get(),
                 "INSERT INTO merges (finished, added, already_archived, undated) "
                 "VALUES (?1, ?2, ?3, ?4)");
  if (note.Prepared() != SQLITE_OK) {
    return note.Prepared();
  }
  const auto now = std::chrono::floor<seconds>(std::chrono::system_clock::now());
  note.Bind(1, static_cast<std::int64_t>(now.time_since_epoch().count()));
  note.Bind(2, static_cast<std::int64_t>(counts.added));
  note.Bind(3, static_cast<std::int64_t>(counts.alreadyArchived));
  note.Bind(4, static_cast<std::int64_t>(counts.undated));
  return Finished(note.Step());
}

ArchiveStatus SqliteArchive::Merge(std::span<const std::string_view> records, MergeCounts& counts) {
  counts = {};
  Transaction transaction(db_.get());
  int rc = transaction.Begin();
  // The summaries change with the records they are made of, in the same transaction.
  DayRebuild days(db_.get());
  if (rc == SQLITE_OK) {
    rc = MergeRecords(records, counts, days);
  }
  if (rc == SQLITE_OK) {
    rc = days.Finish();
  }
  if (rc == SQLITE_OK) {
    rc = NoteMerge(counts);
  }
  if (rc == SQLITE_OK) {
    rc = transaction.Commit();
  }
  if (rc != SQLITE_OK) {
    counts = {};
  }
  return Status(rc);
}

int SqliteArchive::LastLiveBucket(std::int64_t period, std::optional<std::int64_t>& bucket) {
  std::optional<std::int64_t> received;
  const int rc = QueryOptional(
      db_.get(), "SELECT received FROM live_samples ORDER BY id DESC LIMIT 1", received);
  bucket = received ? std::optional(*received / period) : std::nullopt;
  return rc;
}

ArchiveStatus SqliteArchive::AddLiveSample(std::string_view text, std::chrono::sys_seconds received,
                                           bool& kept) {
  kept = false;
  const std::int64_t period = seconds(options_.liveEvery).count();
  text = UpToZero(text);
  if (period <= 0 || text.empty()) {
    return std::nullopt;
  }
  const std::int64_t when = received.time_since_epoch().count();
  if (!lastLiveBucket_) {
    if (const int rc = LastLiveBucket(period, lastLiveBucket_); rc != SQLITE_OK) {
      return Status(rc);
    }
  }
  // One sample a period; a clock set back into another period starts a new one.
  if (lastLiveBucket_ == when / period) {
    return std::nullopt;
  }
  Statement insert(db_.get(),
                   "INSERT INTO live_samples (received, taken, text) VALUES (?1, ?2, ?3)");
  if (insert.Prepared() != SQLITE_OK) {
    return Status(insert.Prepared());
  }
  insert.Bind(1, when);
  if (const auto taken = RecordTime(SplitRecord(text))) {
    insert.Bind(2, Seconds(*taken));
  }
  insert.Bind(3, text);
  const int rc = Finished(insert.Step());
  if (rc == SQLITE_OK) {
    lastLiveBucket_ = when / period;
    kept = true;
  }
  return Status(rc);
}

// A read sees one state of the file, even while another program merges.
ArchiveStatus SqliteArchive::ReadRecords(const ArchiveRange& range,
                                         const RecordTextVisitor& visit) {
  int rc = Execute(db_.get(), "BEGIN");
  bool stopped = false;
  if (rc == SQLITE_OK && range.whole) {
    Statement placed(db_.get(), std::string("SELECT text FROM records") + std::string(kPlaced) +
                                    std::string(kInLogOrder));
    rc = VisitTexts(placed, visit, stopped);
    // Records whose date cannot be read come last, in the order they were archived.
    Statement undated(db_.get(), "SELECT text FROM records WHERE place IS NULL ORDER BY id");
    rc = rc == SQLITE_OK ? VisitTexts(undated, visit, stopped) : rc;
  } else if (rc == SQLITE_OK) {
    Statement ofDays(db_.get(), std::string("SELECT text FROM records") + std::string(kOfDays) +
                                    std::string(kInLogOrder));
    BindRange(ofDays, range);
    rc = VisitTexts(ofDays, visit, stopped);
  }
  Execute(db_.get(), "COMMIT");
  return Status(rc);
}

ArchiveStatus SqliteArchive::ReadSeries(const ArchiveRange& range,
                                        std::span<const RecordField> fields,
                                        const SeriesVisitor& visit) {
  std::string sql = "SELECT taken";
  for (const RecordField field : fields) {
    const ValueColumn* column = ColumnOf(field);
    sql += ", ";
    sql += column != nullptr ? column->name : "NULL";
  }
  // Only records with a time have a place on a chart's time axis.
  sql += " FROM records";
  sql += range.whole ? kPlaced : kOfDays;
  sql += " AND +taken IS NOT NULL";
  sql += kInLogOrder;
  Statement query(db_.get(), sql);
  if (query.Prepared() != SQLITE_OK) {
    return Status(query.Prepared());
  }
  if (!range.whole) {
    BindRange(query, range);
  }
  std::vector<double> values(fields.size());
  int rc = SQLITE_ROW;
  while ((rc = query.Step()) == SQLITE_ROW) {
    for (std::size_t i = 0; i < values.size(); ++i) {
      const int column = static_cast<int>(i + 1);
      values[i] =
          query.IsNull(column) ? std::numeric_limits<double>::quiet_NaN() : query.Double(column);
    }
    visit(RecordTimePoint{seconds{query.Int(0)}}, values);
  }
  return Status(Finished(rc));
}

// Each row of a query of live samples (time, text) with the values of the given fields read from
// the text by the records' rules.
int VisitLiveRows(Statement& query, std::span<const RecordField> fields,
                  const SeriesVisitor& visit) {
  std::vector<double> values(fields.size());
  int rc = SQLITE_ROW;
  while ((rc = query.Step()) == SQLITE_ROW) {
    const RecordFieldViews texts = SplitRecordInPlace(query.Text(1));
    for (std::size_t i = 0; i < values.size(); ++i) {
      const ValueColumn* column = ColumnOf(fields[i]);
      const auto value =
          column != nullptr ? ReadValue(texts[fields[i]], column->test) : std::nullopt;
      values[i] = value.value_or(std::numeric_limits<double>::quiet_NaN());
    }
    visit(RecordTimePoint{seconds{query.Int(0)}}, values);
  }
  return Finished(rc);
}

ArchiveStatus SqliteArchive::ReadLiveSeries(RecordTimePoint begin, RecordTimePoint end,
                                            std::span<const RecordField> fields,
                                            const SeriesVisitor& visit) {
  Statement query(
      db_.get(),
      "SELECT taken, text FROM live_samples WHERE taken >= ?1 AND taken < ?2 AND "
      "taken > coalesce((SELECT max(taken) FROM records WHERE taken >= ?1 AND taken < ?2), "
      "?1 - 1) ORDER BY taken, id");
  if (query.Prepared() != SQLITE_OK) {
    return Status(query.Prepared());
  }
  query.Bind(1, Seconds(begin));
  query.Bind(2, Seconds(end));
  return Status(VisitLiveRows(query, fields, visit));
}

// Each day of the live samples goes on from the records of the same day, or stands on its own.
void MergeLiveDays(std::vector<DaySummary>& days, const std::vector<DaySummary>& live) {
  for (const DaySummary& day : live) {
    const auto at =
        std::lower_bound(days.begin(), days.end(), day.day,
                         [](const DaySummary& recorded, std::chrono::local_days wanted) {
                           return recorded.day < wanted;
                         });
    if (at != days.end() && at->day == day.day) {
      at->Merge(day);
    } else {
      days.insert(at, day);
    }
  }
}

// Adds a sample to the summary of its day, starting a new one for a new day.
void AddToDays(std::vector<DaySummary>& days, RecordTimePoint time,
               std::span<const double> readings) {
  const auto day = std::chrono::floor<std::chrono::days>(time);
  if (days.empty() || days.back().day != day) {
    days.emplace_back().day = day;
  }
  days.back().Add(time, readings);
}

// The live samples of [?1, ?2) later than the newest record of their own day. A day is the
// sample's time floored to a multiple of 86,400 s, also before 1970.
constexpr std::string_view kLiveAfterTheirDay =
    "SELECT taken, text FROM live_samples AS s WHERE taken >= ?1 AND taken < ?2 AND taken > "
    "coalesce((SELECT newest FROM day_summaries WHERE day = (s.taken - ((s.taken % 86400) + "
    "86400) % 86400) / 86400), ?1 - 1) ORDER BY taken, id";

int ReadLiveDays(sqlite3* db, std::chrono::local_days first, std::chrono::local_days last,
                 std::vector<DaySummary>& live) {
  Statement query(db, kLiveAfterTheirDay);
  if (query.Prepared() != SQLITE_OK) {
    return query.Prepared();
  }
  query.Bind(1, Seconds(first));
  query.Bind(2, Seconds(last + std::chrono::days{1}));
  return VisitLiveRows(query, kDayFields,
                       [&live](RecordTimePoint time, std::span<const double> readings) {
                         AddToDays(live, time, readings);
                       });
}

ArchiveStatus SqliteArchive::ReadDays(std::chrono::local_days first, std::chrono::local_days last,
                                      std::vector<DaySummary>& days) {
  days.clear();
  std::vector<DaySummary> live;
  int rc = Execute(db_.get(), "BEGIN");
  rc = rc == SQLITE_OK ? ReadStoredDays(db_.get(), first, last, days) : rc;
  rc = rc == SQLITE_OK ? ReadLiveDays(db_.get(), first, last, live) : rc;
  Execute(db_.get(), "COMMIT");
  MergeLiveDays(days, live);
  if (rc != SQLITE_OK) {
    days.clear();
  }
  return Status(rc);
}

ArchiveStatus SqliteArchive::ReadInfo(ArchiveInfo& info) {
  info = {};
  info.path = options_.path;
  sqlite3* db = db_.get();
  std::optional<std::int64_t> first;
  std::optional<std::int64_t> last;
  std::optional<std::int64_t> merged;
  int rc = Execute(db, "BEGIN");
  for (const auto& [sql, value] :
       {std::pair{"SELECT count(*) FROM records", &info.records},
        std::pair{"SELECT count(*) FROM live_samples", &info.liveSamples},
        std::pair{"SELECT count(*) FROM records WHERE taken IS NULL", &info.undated}}) {
    rc = rc == SQLITE_OK ? QueryInt(db, sql, *value) : rc;
  }
  rc = rc == SQLITE_OK ? QueryOptional(db, "SELECT min(taken) FROM records", first) : rc;
  rc = rc == SQLITE_OK ? QueryOptional(db, "SELECT max(taken) FROM records", last) : rc;
  rc = rc == SQLITE_OK ? QueryOptional(db, "SELECT max(finished) FROM merges", merged) : rc;
  Execute(db, "COMMIT");
  const auto time = [](std::optional<std::int64_t> value) {
    return value ? std::optional(RecordTimePoint{seconds{*value}}) : std::nullopt;
  };
  info.firstRecord = time(first);
  info.lastRecord = time(last);
  if (merged) {
    info.lastMerge = std::chrono::sys_seconds{seconds{*merged}};
  }
  std::error_code error;
  info.fileBytes = fs::file_size(options_.path, error);
  return Status(rc);
}

}  // namespace

std::unique_ptr<Archive> OpenArchive(const ArchiveOptions& options, ArchiveError& error) {
  std::error_code missing;
  ArchiveStatus status =
      fs::exists(options.path, missing) ? ProbeExisting(options) : CreateArchiveFile(options);
  Connection db;
  if (!status) {
    status = Connect(options, db);
  }
  if (status) {
    error = *std::move(status);
    return nullptr;
  }
  return std::make_unique<SqliteArchive>(options, std::move(db));
}

}  // namespace nimbrel
