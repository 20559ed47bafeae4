// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "archive/archive.h"
#include "simulator/weather_model.h"
#include "tests/archive/sqlite_query.h"
#include "tests/export/export_test_support.h"

namespace nimbrel::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono;

// A record with a negative dew point, no rain rate ("-"), no heat index ("--.-") and channels 2
// to 7 without a sensor.
std::string Line(std::string_view date, std::string_view time, std::string_view outdoor = "1.5",
                 std::string_view fill = "10") {
  std::string text = std::string(fill) + " " + std::string(date) + " " + std::string(time) +
                     " 21.5 40 " + std::string(outdoor) +
                     " 80 0.3 - 5.0 7.2 180 S 1013.2 1004.7 1 -0.5 --.- 22.0 45";
  for (int channel = 2; channel <= 7; ++channel) {
    text += " --.- --";
  }
  return text + " -1.2 0.0 2.5 40.1";
}

std::unique_ptr<Archive> Open(const ArchiveOptions& options) {
  ArchiveError error{};
  auto archive = OpenArchive(options, error);
  EXPECT_TRUE(archive) << error.message;
  return archive;
}

std::vector<std::string> Texts(Archive& archive, const ArchiveRange& range) {
  std::vector<std::string> texts;
  EXPECT_FALSE(archive.ReadRecords(range, [&](std::string_view text) {
    texts.emplace_back(text);
    return true;
  }));
  return texts;
}

ArchiveRange Period(std::string_view from, std::string_view to) {
  ExportRequest request;
  request.startDate = std::u16string(from.begin(), from.end());
  request.endDate = std::u16string(to.begin(), to.end());
  return RangeOf(request);
}

// Through a connection of its own, as the next run of the program would see the file.
struct FileState {
  std::string integrity;
  std::int64_t records = -1;
  std::int64_t timed = -1;       // records with a time
  std::int64_t summarized = -1;  // records the day summaries count
};
std::int64_t Count(const fs::path& path, const char* sql) {
  return std::stoll("0" + QueryText(path, sql));
}
FileState Inspect(const fs::path& path) {
  return {QueryText(path, "PRAGMA integrity_check"), Count(path, "SELECT count(*) FROM records"),
          Count(path, "SELECT count(*) FROM records WHERE taken IS NOT NULL"),
          Count(path, "SELECT coalesce(sum(records), 0) FROM day_summaries")};
}

void Sql(const fs::path& path, const char* sql) {
  sqlite3* db = nullptr;
  sqlite3_open(path.c_str(), &db);
  ASSERT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
  sqlite3_close(db);
}

TEST(Archive, KeepsEachRecordOnceAndReadsThemInTimeOrder) {
  const TempDir dir;
  const ArchiveOptions options{dir.Path() / "data" / "nimbrel" / "archive.sqlite"};
  // Made for the user alone from the start, whatever the umask would let others have.
  const mode_t umaskBefore = umask(0);
  Open(options);
  umask(umaskBefore);
  for (const fs::path& folder : {dir.Path() / "data", dir.Path() / "data" / "nimbrel"}) {
    EXPECT_EQ(fs::status(folder).permissions() & fs::perms::all, fs::perms::owner_all) << folder;
  }
  const std::string a = Line("2018-01-02", "08:05");
  const std::string aRefilled = Line("2018-01-02", "08:05", "1.5", "11");
  const std::string b = Line("2018-01-02", "08:05", "2.0");  // same time, another value
  const std::string c = Line("2018-1-1", "23:55");
  // No outdoor temperature, and a rain rate whose dash alone marks it as none.
  std::string d = Line("2018-01-03", "00:00", "--.-");
  d.replace(d.find(" - 5.0 "), 7, " -0.4 5.0 ");
  const std::string undated = Line("2018-02-30", "08:05");

  struct Step {
    std::vector<std::string_view> download;
    std::size_t added, alreadyArchived, undated;
  };
  const Step steps[] = {
      {{a, c, undated}, 3, 0, 1},
      {{c, undated, a}, 0, 3, 1},
      {{aRefilled, b, d}, 2, 1, 0},
  };
  for (const Step& step : steps) {
    const auto archive = Open(options);  // a new run each time
    ASSERT_TRUE(archive);
    MergeCounts counts;
    EXPECT_FALSE(archive->Merge(step.download, counts));
    EXPECT_EQ(counts.added, step.added);
    EXPECT_EQ(counts.alreadyArchived, step.alreadyArchived);
    EXPECT_EQ(counts.undated, step.undated);
  }

  const auto archive = Open(options);
  ASSERT_TRUE(archive);
  struct Read {
    ArchiveRange range;
    std::vector<std::string> texts;
  };
  const Read reads[] = {
      {{}, {c, a, b, d, undated}},
      {Period("2018-1-2", "2018-01-02"), {a, b}},
      {Period("2018-1-1", "2018-2-31"), {c, a, b, d}},
      {Period("2018-1-4", "2018-1-3"), {}},
  };
  for (const Read& read : reads) {
    EXPECT_EQ(Texts(*archive, read.range), read.texts);
  }

  // Outdoor temperature, rain rate, dew point and heat index, without the texts.
  const RecordField fields[] = {kFieldOutdoorTemperature, kFieldRainRate, kFieldDewPoint,
                                kFieldHeatIndex};
  std::vector<std::string> rows;
  EXPECT_FALSE(archive->ReadSeries(
      Period("2018-1-2", "2018-1-3"), fields, [&](RecordTimePoint time, std::span<const double> v) {
        std::string row = IsoMinuteText(time);
        for (const double value : v) {
          row += std::isnan(value) ? " -" : " " + std::to_string(value);
        }
        rows.push_back(row);
      }));
  EXPECT_EQ(rows, (std::vector<std::string>{"2018-01-02T08:05 1.500000 - -0.500000 -",
                                            "2018-01-02T08:05 2.000000 - -0.500000 -",
                                            "2018-01-03T00:00 - - -0.500000 -"}));

  ArchiveInfo info;
  EXPECT_FALSE(archive->ReadInfo(info));
  EXPECT_EQ(info.records, 5);
  EXPECT_EQ(info.undated, 1);
  EXPECT_EQ(IsoMinuteText(info.firstRecord.value()), "2018-01-01T23:55");
  EXPECT_EQ(IsoMinuteText(info.lastRecord.value()), "2018-01-03T00:00");
  EXPECT_TRUE(info.lastMerge.has_value());
  EXPECT_GT(info.fileBytes, 0U);
  EXPECT_EQ(fs::status(options.path).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);
}

std::vector<std::string> SeriesTimes(Archive& archive, const ArchiveRange& range) {
  std::vector<std::string> times;
  const RecordField fields[] = {kFieldOutdoorTemperature};
  EXPECT_FALSE(archive.ReadSeries(range, fields, [&](RecordTimePoint time, auto) {
    times.push_back(IsoMinuteText(time).substr(11));
  }));
  return times;
}

// The autumn clock change repeats 02:00-02:59. Exports and charts keep the console's log order
// (first pass, then second), and a reading of the second pass equal to one of the first is a
// reading of its own; only what an earlier download brought is not stored again. A record with a
// readable date but not time stays in its day's place.
TEST(Archive, KeepsTheConsolesLogOrderWhereItsClockStepsBack) {
  const TempDir dir;
  const fs::path path = dir.Path() / "archive.sqlite";
  const std::string old = Line("2000-01-01", "00:05");  // a clock reset after a battery change
  const std::string r1 = Line("2026-10-25", "01:55");
  const std::string a1 = Line("2026-10-25", "02:00", "5.0");
  const std::string a2 = Line("2026-10-25", "02:30", "5.5");
  const std::string b1 = Line("2026-10-25", "02:00", "5.0", "11");  // a1 again, but for the fill
  const std::string b2 = Line("2026-10-25", "02:30", "4.0");
  const std::string untimed = Line("2026-10-25", "--:--");
  const std::string r2 = Line("2026-10-25", "03:00");
  const std::string r3 = Line("2026-10-25", "03:05");
  const std::string future = Line("2035-01-01", "00:00");

  struct Step {
    std::vector<std::string_view> download;
    std::size_t added, alreadyArchived;
  };
  const Step steps[] = {
      {{r1, a1}, 2, 0},  // synced during the first pass
      {{r1, a1, a2, b1, b2, untimed, r2}, 5, 2},
      {{old, a2, b1, b2, untimed, r2, r3, future}, 3, 5},
      {{old, a2, b1, b2, untimed, r2, r3, future}, 0, 8},
  };
  for (const Step& step : steps) {
    MergeCounts counts;
    EXPECT_FALSE(Open({path})->Merge(step.download, counts));
    EXPECT_EQ(counts.added, step.added);
    EXPECT_EQ(counts.alreadyArchived, step.alreadyArchived);
  }

  const std::vector<std::string> logOrder = {r1, a1, a2, b1, b2, untimed, r2, r3};
  const std::vector<std::string> timesInLogOrder = {"01:55", "02:00", "02:30", "02:00",
                                                    "02:30", "03:00", "03:05"};
  // As this program finds the file, and as an archive of the version before, placed anew.
  for (const bool earlierVersion : {false, true}) {
    if (earlierVersion) {
      Sql(path,
          "DROP TABLE day_summaries; DROP INDEX records_by_place; "
          "ALTER TABLE records DROP COLUMN place; "
          "ALTER TABLE records DROP COLUMN day; PRAGMA user_version = 1");
    }
    const auto archive = Open({path});
    ASSERT_TRUE(archive);
    std::vector<std::string> whole = {old};
    whole.insert(whole.end(), logOrder.begin(), logOrder.end());
    whole.push_back(future);
    EXPECT_EQ(Texts(*archive, {}), whole);
    EXPECT_EQ(Texts(*archive, Period("2026-10-25", "2026-10-25")), logOrder);
    EXPECT_EQ(Texts(*archive, Period("2026-10-24", "2026-10-24")), std::vector<std::string>{});
    EXPECT_EQ(SeriesTimes(*archive, Period("2026-10-25", "2026-10-25")), timesInLogOrder);
  }
  EXPECT_EQ(QueryText(path, "PRAGMA user_version"), "3");

  // The chart of that day carries on with the live samples after its own last record, 03:05;
  // the record of 2035 hides none of them.
  const sys_seconds received{sys_days{2026y / 10 / 25} + 4h};
  for (const auto& [time, minutes] : {std::pair{"02:45", 0}, std::pair{"04:00", 10}}) {
    bool kept = false;
    EXPECT_FALSE(Open({path, 5s, 5min})
                     ->AddLiveSample(Line("2026-10-25", time),
                                     received + std::chrono::minutes(minutes), kept));
    EXPECT_TRUE(kept);
  }
  std::vector<std::string> live;
  const RecordField fields[] = {kFieldOutdoorTemperature};
  const auto day = local_days{2026y / 10 / 25};
  EXPECT_FALSE(Open({path})->ReadLiveSeries(
      day, day + days{1}, fields, [&](auto time, auto) { live.push_back(IsoMinuteText(time)); }));
  EXPECT_EQ(live, std::vector<std::string>{"2026-10-25T04:00"});
}

TEST(Archive, KeepsOneLiveSampleEveryPeriod) {
  const TempDir dir;
  const fs::path path = dir.Path() / "archive.sqlite";
  const sys_seconds ten{sys_days{2025y / 1 / 2} + 10h};
  struct Sample {
    minutes every;
    sys_seconds received;
    bool kept;
  };
  const Sample samples[] = {
      {5min, ten + 10s, true},   {5min, ten + 4min, false}, {5min, ten + 5min, true},
      {5min, ten + 9min, false}, {5min, ten - 1h, true},  // the clock set back
      {0min, ten + 1h, false},
  };
  for (const Sample& sample : samples) {
    const auto archive = Open({path, 5s, sample.every});
    ASSERT_TRUE(archive);
    bool kept = false;
    EXPECT_FALSE(archive->AddLiveSample(Line("2025-1-2", "10:00"), sample.received, kept));
    EXPECT_EQ(kept, sample.kept) << (sample.received - ten).count();
  }
  ArchiveInfo info;
  EXPECT_FALSE(Open({path})->ReadInfo(info));
  EXPECT_EQ(info.liveSamples, 3);
}

// A download merged by a child process that is killed after a while, or whose file writes fail
// (as on a full disk), leaves a sound file with none or all of its records, and day summaries that
// count what it holds.
TEST(Archive, AStoppedMergeLeavesNoneOrAllOfItsRecords) {
  const TempDir dir;
  const fs::path path = dir.Path() / "archive.sqlite";
  constexpr std::size_t kRecords = 20000;
  const int failWrites = -1;
  const int toTheEnd = -2;
  const int delays[] = {failWrites, 0, 20, 100, 400, 1500, toTheEnd};
  for (std::size_t i = 0; i < std::size(delays); ++i) {
    const std::vector<std::string> lines = WeatherModel(i + 1).History(kRecords, 50);
    const std::vector<std::string_view> download(lines.begin(), lines.end());
    const std::int64_t before = fs::exists(path) ? Inspect(path).records : 0;
    const pid_t child = fork();
    if (child == 0) {
      if (delays[i] == failWrites) {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{1 << 20, 1 << 20};
        setrlimit(RLIMIT_FSIZE, &limit);
      }
      ArchiveError error{};
      const auto archive = OpenArchive({path}, error);
      MergeCounts counts;
      const ArchiveStatus status = archive ? archive->Merge(download, counts) : error;
      const bool failed = status && (status->fault == ArchiveFault::DiskFull ||
                                     status->fault == ArchiveFault::NotWritable);
      _exit(delays[i] == failWrites ? !failed : status.has_value());
    }
    if (delays[i] > 0) {
      std::this_thread::sleep_for(milliseconds(delays[i]));
    }
    if (delays[i] >= 0) {
      kill(child, SIGKILL);
    }
    int exit = 0;
    waitpid(child, &exit, 0);
    const FileState after = Inspect(path);
    EXPECT_EQ(after.integrity, "ok");
    EXPECT_EQ(after.summarized, after.timed) << delays[i];
    if (delays[i] < 0) {
      EXPECT_TRUE(WIFEXITED(exit) && WEXITSTATUS(exit) == 0) << delays[i];
      EXPECT_EQ(after.records, before + (delays[i] == toTheEnd ? std::int64_t{kRecords} : 0));
    } else {
      EXPECT_TRUE(after.records == before || after.records == before + std::int64_t{kRecords})
          << "killed after " << delays[i] << " ms: " << after.records - before << " added";
    }
  }
}

void Write(const fs::path& path, std::string_view bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

// An archive of a few records, closed.
void MakeArchive(const fs::path& path) {
  const std::vector<std::string> lines = WeatherModel(7).History(3000, 50);
  MergeCounts counts;
  EXPECT_FALSE(
      Open({path})->Merge(std::vector<std::string_view>(lines.begin(), lines.end()), counts));
}

// Every file of a folder with a digest of its bytes.
std::map<std::string, std::size_t> Folder(const fs::path& folder) {
  std::map<std::string, std::size_t> files;
  for (const auto& entry : fs::directory_iterator(folder)) {
    files[entry.path().filename().string()] = std::hash<std::string>()(FileBytes(entry.path()));
  }
  return files;
}

// Another program's database with a -wal it has not copied into the file yet, as a crash leaves.
void MakeForeignWithWal(const fs::path& path) {
  const fs::path other = path.string() + ".other";
  sqlite3* db = nullptr;
  sqlite3_open(other.c_str(), &db);
  sqlite3_exec(db,
               "PRAGMA journal_mode = WAL; CREATE TABLE places (url TEXT); "
               "PRAGMA wal_checkpoint; INSERT INTO places VALUES ('x')",
               nullptr, nullptr, nullptr);
  fs::copy_file(other, path);
  fs::copy_file(other.string() + "-wal", path.string() + "-wal");
  sqlite3_close(db);
  fs::remove(other);
}

TEST(Archive, RefusesWhatItCannotUseAndLeavesItAsItWas) {
  struct Case {
    const char* name;
    std::function<void(const fs::path&)> make;  // the file at dir/archive.sqlite
    ArchiveFault fault;
    fs::path path = "archive.sqlite";
  };
  const Case cases[] = {
      {"text file", [](const fs::path& p) { Write(p, "Date,Time\r\n2018-01-02,08:05\r\n"); },
       ArchiveFault::NotADatabase},
      {"cut header", [](const fs::path& p) { Write(p, std::string("SQLite format 3\0ab", 18)); },
       ArchiveFault::NotADatabase},
      {"damaged",
       [](const fs::path& p) {
         MakeArchive(p);
         std::fstream file(p, std::ios::in | std::ios::out | std::ios::binary);
         file.seekp(100);
         file << std::string(3000, '\x5A');
       },
       ArchiveFault::NotADatabase},
      {"another program's database with its -wal", MakeForeignWithWal, ArchiveFault::NotADatabase},
      {"newer version",
       [](const fs::path& p) {
         MakeArchive(p);
         Sql(p, "PRAGMA user_version = 99");
       },
       ArchiveFault::NewerVersion},
      {"folder under a file", [](const fs::path& p) { Write(p, "a file"); }, ArchiveFault::NoFolder,
       "archive.sqlite/nimbrel/archive.sqlite"},
  };
  for (const Case& c : cases) {
    const TempDir dir;
    c.make(dir.Path() / "archive.sqlite");
    const auto before = Folder(dir.Path());
    ArchiveError error{};
    EXPECT_FALSE(OpenArchive({dir.Path() / c.path}, error)) << c.name;
    EXPECT_EQ(error.fault, c.fault) << c.name << ": " << error.message;
    EXPECT_NE(error.message.find(dir.Path().string()), std::string::npos) << error.message;
    EXPECT_EQ(Folder(dir.Path()), before) << c.name;
  }
}

TEST(Archive, WaitsABoundedTimeForAnotherWriter) {
  const TempDir dir;
  const ArchiveOptions options{dir.Path() / "archive.sqlite", 300ms};
  const auto archive = Open(options);
  ASSERT_TRUE(archive);
  sqlite3* other = nullptr;
  sqlite3_open(options.path.c_str(), &other);
  ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);

  const std::string a = Line("2018-01-02", "08:05");
  const std::vector<std::string_view> download{a};
  MergeCounts counts;
  const auto start = steady_clock::now();
  const ArchiveStatus busy = archive->Merge(download, counts);
  const auto waited = steady_clock::now() - start;
  ASSERT_TRUE(busy);
  EXPECT_EQ(busy->fault, ArchiveFault::Busy) << busy->message;
  EXPECT_GE(waited, 300ms);
  EXPECT_LT(waited, 3s);

  sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr);
  sqlite3_close(other);
  EXPECT_FALSE(archive->Merge(download, counts));
  EXPECT_EQ(counts.added, 1U);
}

// Programs that start together (the window and the service at log-in) and find no archive yet
// create one and both use it: neither is told that the other is writing.
TEST(Archive, ProgramsOpeningANewArchiveAtOnceAllUseIt) {
  const TempDir dir;
  for (int round = 0; round < 20; ++round) {
    const ArchiveOptions options{dir.Path() / ("archive" + std::to_string(round) + ".sqlite")};
    int start[2];
    ASSERT_EQ(pipe(start), 0);
    std::vector<pid_t> children;
    for (int child = 0; child < 3; ++child) {
      if (const pid_t pid = fork(); pid == 0) {
        close(start[1]);
        char go = 0;
        (void)!read(start[0], &go, 1);  // all start when the pipe closes
        ArchiveError error{};
        const bool opened = OpenArchive(options, error) != nullptr;
        if (!opened) {
          std::fprintf(stderr, "%s\n", error.message.c_str());
        }
        _exit(opened ? 0 : 1);
      } else {
        children.push_back(pid);
      }
    }
    close(start[0]);
    close(start[1]);
    for (const pid_t pid : children) {
      int status = 0;
      waitpid(pid, &status, 0);
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "round " << round;
    }
  }
}

}  // namespace
}  // namespace nimbrel::testing
