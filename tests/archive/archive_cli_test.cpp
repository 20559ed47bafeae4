// SPDX-License-Identifier: GPL-3.0-or-later
// nimbrel-cli's archive commands run as a user runs them, against the built-in console, with real
// files in a folder of the test's own; SQLite itself checks what a killed sync left behind.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "tests/archive/sqlite_query.h"
#include "tests/cli/cli_folder.h"
#include "tests/support/child_process.h"

namespace nimbrel::testing {
namespace {

namespace fs = std::filesystem;

// Every run with its archive in the test's folder.
class ArchiveCli : public CliFolderTest {
 protected:
  CliRun Cli(const std::string& args, const char* archive = "archive.sqlite") const {
    return CliFolderTest::Cli("--archive '" + Out(archive) + "' " + args);
  }
};

TEST_F(ArchiveCli, SyncKeepsEachRecordOnceAndExportsTodaysFile) {
  const CliRun first = Cli("--simulate archive sync");
  EXPECT_EQ(first.exitCode, 0) << first.err;
  EXPECT_EQ(first.out, "864 new, 0 already archived, 0 given up\n");
  EXPECT_EQ(Cli("--simulate archive sync").out, "0 new, 864 already archived, 0 given up\n");

  // The built-in console sends its log oldest first, so the two files match byte for byte.
  ASSERT_EQ(Cli("--simulate export --whole --out " + Out("store.csv")).exitCode, 0);
  ASSERT_EQ(Cli("archive export --whole --out " + Out("archive.xls")).exitCode, 0);
  EXPECT_EQ(ReadFile(dir_ / "archive.xls"), ReadFile(dir_ / "store.csv"));

  ASSERT_EQ(
      Cli("--temperature F archive export --whole --format csv --out " + Out("plain.csv")).exitCode,
      0);
  const std::string columns =
      "python3 -c \"import csv,sys; rows=list(csv.reader(open(sys.argv[1],newline='')));"
      "sys.exit(not(len(rows)==865 and len(rows[0])>20 and 'outdoor_temperature_f' in rows[0] "
      "and all(len(r)==len(rows[0]) for r in rows)))\" '" +
      Out("plain.csv") + "'";
  EXPECT_EQ(std::system(columns.c_str()), 0);

  // Charts need no display: the command picks the offscreen platform itself.
  ::unsetenv("DISPLAY");
  ::unsetenv("QT_QPA_PLATFORM");
  for (const char* name : {"chart.png", "chart.svg"}) {
    const CliRun chart = Cli("--wind mph chart --what wind --from 2025-1-2 --to 2025-1-4 --out " +
                             Out(name) + " --size 640x400");
    EXPECT_EQ(chart.exitCode, 0) << chart.err;
  }
  EXPECT_TRUE(ReadFile(dir_ / "chart.png").starts_with("\x89PNG\r\n\x1a\n"));
  EXPECT_NE(ReadFile(dir_ / "chart.svg").find("<svg"), std::string::npos);

  // A name ending in .csv gets the chart's readings: those of the archive's export, in its units.
  for (const auto& [what, file] :
       {std::pair{"archive export --whole --format csv", "mph.csv"},
        {"chart --what wind --from 2025-1-2 --to 2025-1-4", "wind.CSV"}}) {
    ASSERT_EQ(Cli("--wind mph " + std::string(what) + " --out " + Out(file)).exitCode, 0) << what;
  }
  const std::string same =
      "python3 -c \"import csv,sys; a,c=(list(csv.DictReader(open(f,newline=''))) for f in "
      "sys.argv[1:]); sys.exit(not(len(c)==864 and [(r['time']+':00',r['wind_gust_mph']) for r in "
      "a]==[(r['time'],r['wind_gust_mph']) for r in c]))\" '" +
      Out("mph.csv") + "' '" + Out("wind.CSV") + "'";
  EXPECT_EQ(std::system(same.c_str()), 0);

  const CliRun info = Cli("archive info --json");
  EXPECT_NE(info.out.find("\"records\":864,\"undated\":0,\"liveSamples\":0"), std::string::npos)
      << info.out;
}

TEST_F(ArchiveCli, FaultsExitOneAndLoseNothing) {
  const CliRun early =
      Cli("--simulate --console-records 4 --console-faults bad-crc=4:10 archive sync");
  EXPECT_EQ(early.exitCode, 1);
  EXPECT_EQ(early.out,
            "3 new, 0 already archived, 0 given up; the download was incomplete (3 of 4 records "
            "arrived)\n");
  EXPECT_EQ(QueryText(dir_ / "archive.sqlite", "SELECT count(*) FROM records"), "3");

  // The archive's own checks of a damaged file are the core's; here the user is told.
  std::ofstream(dir_ / "damaged.sqlite", std::ios::binary)
      << "SQLite format 3" << std::string(200, 'Z');
  const CliRun damaged = Cli("archive info", "damaged.sqlite");
  EXPECT_EQ(damaged.exitCode, 1);
  EXPECT_NE(damaged.err.find("not a database or is damaged"), std::string::npos) << damaged.err;
  // Commands that only read never make an archive: an empty one must be there already.
  for (const std::string& command :
       {std::string("archive info"), "archive export --whole --out " + Out("none.csv")}) {
    const CliRun missing = Cli(command, "missing.sqlite");
    EXPECT_EQ(missing.exitCode, 1) << command;
    EXPECT_NE(missing.err.find("does not exist"), std::string::npos) << missing.err;
  }
  std::ofstream(dir_ / "empty.sqlite").close();
  const CliRun empty = Cli("archive export --whole --out " + Out("none.csv"), "empty.sqlite");
  EXPECT_EQ(empty.exitCode, 1);
  EXPECT_NE(empty.err.find("holds no records"), std::string::npos) << empty.err;
  EXPECT_FALSE(fs::exists(dir_ / "none.csv"));
  const struct {
    const char* archive;
    const char* says;
  } charts[] = {{"missing.sqlite", "does not exist"}, {"empty.sqlite", "holds no temperature"}};
  for (const auto& c : charts) {
    const CliRun chart =
        Cli("chart --what temperature --last 7d --out " + Out("none.png"), c.archive);
    EXPECT_EQ(chart.exitCode, 1);
    EXPECT_NE(chart.err.find(c.says), std::string::npos) << chart.err;
  }
  // A wrong chart command line is refused (status 2) before the archive is looked at.
  const std::pair<const char*, const char*> wrongCharts[] = {
      {"--what snow --last 7d", "--what takes"},
      {"--what uv --last 2d", "--last takes"},
      {"--what uv --from 2025-1-32 --to 2025-2-1", "--from takes"},
      {"--what uv --last 7d --size 100x100", "--size takes"},
      {"--what temperature --last 7d --channels 1,8", "--channels takes"},
      {"--what uv --last 7d --from 2025-1-1 --to 2025-1-2", "either --last or both"},
      {"--what uv --from 2025-1-3 --to 2025-1-2", "--to is before --from"},
      {"--last 7d", "give --what and --out"},
      {"--what uv --last", "missing value"}};
  for (const auto& [args, says] : wrongCharts) {
    const CliRun chart =
        Cli(std::string("chart --out ") + Out("none.png") + " " + args, "missing.sqlite");
    EXPECT_EQ(chart.exitCode, 2) << args;
    EXPECT_NE(chart.err.find(says), std::string::npos) << args << ": " << chart.err;
  }
  EXPECT_FALSE(fs::exists(dir_ / "missing.sqlite"));
  EXPECT_FALSE(fs::exists(dir_ / "none.png"));
}

// The autumn clock change repeats 02:00-02:59 in the console's log, with a reading of the second
// pass equal to one of the first, and a record whose time cannot be read. The archive's export
// of that day matches the download's byte for byte, a second sync adds nothing, and the CSV keeps
// the untimed record's date.
TEST_F(ArchiveCli, TheRepeatedHourKeepsTheLogsOrder) {
  const auto line = [](const char* date, const char* time, const char* outdoor) {
    std::string text = std::string("10 ") + date + " " + time + " 21.5 40 " + outdoor +
                       " 80 0.3 - 5.0 7.2 180 S 1013.2 1004.7 1 -0.5 --.- 22.0 45";
    for (int channel = 2; channel <= 7; ++channel) {
      text += " --.- --";
    }
    return text + " -1.2 0.0 2.5 40.1\n";
  };
  std::ofstream(dir_ / "history.txt")
      << line("2026-10-24", "23:55", "3.0") << line("2026-10-25", "02:00", "5.0")
      << line("2026-10-25", "02:30", "5.5") << line("2026-10-25", "02:00", "5.0")
      << line("2026-10-25", "02:30", "4.0") << line("2026-10-25", "2:3x", "4.5")
      << line("2026-10-25", "03:00", "4.0") << line("2026-10-26", "00:00", "2.0");
  const std::string console = "--simulate --console-history '" + Out("history.txt") + "' ";
  EXPECT_EQ(Cli(console + "archive sync").out, "8 new, 0 already archived, 0 given up\n");
  EXPECT_EQ(Cli(console + "archive sync").out, "0 new, 8 already archived, 0 given up\n");

  const std::string day = " --from 2026-10-25 --to 2026-10-25 --out ";
  ASSERT_EQ(Cli(console + "export" + day + Out("store.csv")).exitCode, 0);
  ASSERT_EQ(Cli("archive export" + day + Out("archive.xls")).exitCode, 0);
  EXPECT_EQ(ReadFile(dir_ / "archive.xls"), ReadFile(dir_ / "store.csv"));

  ASSERT_EQ(Cli("archive export --format csv" + day + Out("plain.csv")).exitCode, 0);
  std::string times;
  std::istringstream rows(ReadFile(dir_ / "plain.csv"));
  for (std::string row; std::getline(rows, row);) {
    times += row.substr(0, row.find(',')) + " ";
  }
  EXPECT_EQ(times,
            "time 2026-10-25T02:00 2026-10-25T02:30 2026-10-25T02:00 2026-10-25T02:30 "
            "2026-10-25 2026-10-25T03:00 ");
}

// A sync killed at any moment, the merge included, leaves a sound archive with none or all of the
// download's records.
TEST_F(ArchiveCli, KilledSyncLeavesNoneOrAll) {
  using namespace std::chrono_literals;
  for (const auto wait : {300ms, 1000ms, 0ms}) {
    fs::remove(dir_ / "archive.sqlite");
    Child sync(Command("--archive " + OutArg("archive.sqlite") +
                       " --simulate --console-records 60000 archive sync"));
    if (wait > 0ms) {
      std::this_thread::sleep_for(wait);
    } else {  // the download is in: the merge is under way
      while (ReadFile(dir_ / "stderr").find("(60000 of") == std::string::npos) {
        std::this_thread::sleep_for(1ms);
      }
    }
    sync.Signal(SIGKILL);
    sync.Wait(std::chrono::minutes(1));
    const fs::path archive = dir_ / "archive.sqlite";
    EXPECT_EQ(QueryText(archive, "PRAGMA integrity_check"), fs::exists(archive) ? "ok" : "");
    const std::string count = QueryText(archive, "SELECT count(*) FROM records");
    EXPECT_TRUE(count == "" || count == "0" || count == "60000") << count;
  }
}

}  // namespace
}  // namespace nimbrel::testing
