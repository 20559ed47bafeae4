// nimbrel-cli run as a user runs it, against the built-in console: the real reader, download and
// export writer. Each export is compared byte for byte with the file the writer makes from the
// records the console should have delivered.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "export/export_file.h"
#include "export/export_writer.h"
#include "simulator/weather_model.h"
#include "tests/upload/local_http_server.h"

namespace nimbrel {
namespace {

namespace fs = std::filesystem;

struct CliRun {
  int exitCode = -1;
  std::string out;
  std::string err;
};

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

class CliEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("nimbrel-e2e-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
            "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "config");
  }
  void TearDown() override { fs::remove_all(dir_); }

  // Runs nimbrel-cli with its settings in a folder of the test's own.
  CliRun Cli(const std::string& args) {
    const fs::path out = dir_ / "stdout", err = dir_ / "stderr";
    const std::string command = "XDG_CONFIG_HOME='" + (dir_ / "config").string() + "' '" +
                                NIMBREL_CLI + "' " + args + " >'" + out.string() + "' 2>'" +
                                err.string() + "'";
    const int status = std::system(command.c_str());
    return {WEXITSTATUS(status), ReadFile(out), ReadFile(err)};
  }

  // The console's log served from a file: `count` records of the generated weather.
  std::string HistoryFile(std::size_t count) {
    records_ = WeatherModel(7).History(count, 42);
    const fs::path path = dir_ / "history.txt";
    std::ofstream file(path);
    for (const std::string& line : records_) {
      file << line << "\n";
    }
    return path.string();
  }

  // The bytes of a whole-period, all-data export of these records, in these slots.
  std::string ExpectedExport(const std::vector<std::string>& delivered, std::size_t total) {
    HistoryStore store;
    for (std::size_t i = 0; i < delivered.size(); ++i) {
      HistoryRecord record{};
      delivered[i].copy(record.data(), record.size() - 1);
      store.Put(i, record);
    }
    SharedState state;
    state.historyTotal = static_cast<int>(total);
    state.historyReady = true;
    ExportRequest request;
    request.wholePeriod = true;
    request.dataSets.fill(true);
    const fs::path path = dir_ / "expected.csv";
    state.SetExportFileName(path.string());
    DiskExportFile file;
    EXPECT_EQ(WriteExport(MakeExportJob(store, state, request, UnitSettings{}), file),
              kExportEnded);
    return ReadFile(path);
  }

  std::string Out(const char* name) const { return (dir_ / name).string(); }

  fs::path dir_;
  std::vector<std::string> records_;
};

TEST_F(CliEndToEnd, ACleanDownloadExportsEveryRecordInOrder) {
  const std::string history = HistoryFile(300);
  const CliRun run = Cli("--simulate --console-history '" + history + "' export --whole --out '" +
                         Out("all.csv") + "'");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(ReadFile(Out("all.csv")), ExpectedExport(records_, 300));
  EXPECT_NE(run.err.find("100% (300 of 300 records)"), std::string::npos);
}

TEST_F(CliEndToEnd, ARecordGivenUpAfterTenBadCopiesIsTheOnlyOneMissing) {
  const std::string history = HistoryFile(20);
  const CliRun run =
      Cli("--simulate --console-history '" + history +
          "' --console-faults bad-crc=5:10 export --whole --out '" + Out("gap.csv") + "'");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  std::vector<std::string> delivered = records_;
  delivered.erase(delivered.begin() + 4);  // record 5, numbered from 1
  EXPECT_EQ(ReadFile(Out("gap.csv")), ExpectedExport(delivered, 20));
}

TEST_F(CliEndToEnd, DownloadsThatCannotFinishEndWithTheirReasonAndNoFile) {
  const std::string history = HistoryFile(30);
  struct Case {
    std::string options;
    std::string message;
  };
  // A lost record (a skipped frame, or the last one given up) leaves the download short: the
  // console's next live text ends it, or without one the stall limit does.
  const Case cases[] = {
      {"--console-faults no-history export", "Not history data NOW!"},
      {"--console-faults stop-after=10 export", "stopped sending its history"},
      {"--console-faults unplug-after=10 export", "went away during the download"},
      {"--console-period live=1 --console-faults skip-frame=12:1 export --stall-timeout 30",
       "ended the download early: 29 of 30 records arrived"},
      {"--console-period live=1 --console-faults bad-crc=30:10 export --stall-timeout 30",
       "ended the download early: 29 of 30 records arrived"},
      {"--console-period live=0 --console-faults skip-frame=12:1 export --stall-timeout 1",
       "No history record arrived for 1 seconds"},
  };
  for (const Case& c : cases) {
    const std::string out = Out("never.csv");
    const CliRun run = Cli("--simulate --console-history '" + history + "' " + c.options +
                           " --whole --out '" + out + "'");
    EXPECT_EQ(run.exitCode, 1) << c.options;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << c.options << ": " << run.err;
    EXPECT_FALSE(fs::exists(out)) << c.options;
  }
  std::ofstream(Out("kept.csv")) << "old";  // a file that was there before keeps its bytes
  Cli("--simulate --console-faults no-history export --whole --out '" + Out("kept.csv") + "'");
  EXPECT_EQ(ReadFile(Out("kept.csv")), "old");
}

TEST_F(CliEndToEnd, TheRequestIsCheckedBeforeTheConsoleIsAsked) {
  const CliRun badDay = Cli("--simulate export --from 2025-1-1x --to 2025-1-2 --out x.csv");
  EXPECT_EQ(badDay.exitCode, 1);
  EXPECT_EQ(badDay.err, "Day input error !\n");
  const CliRun badName = Cli("--simulate export --whole --out report.txt");
  EXPECT_EQ(badName.exitCode, 1);
  EXPECT_EQ(badName.err, "File name error!\n");
  const CliRun unwritable =
      Cli("--simulate --console-records 3 export --whole --out /nonexistent/dir/x.csv");
  EXPECT_EQ(unwritable.exitCode, 1);
  EXPECT_EQ(unwritable.err,
            "Cannot write '/nonexistent/dir/x.csv': No such file or directory; "
            "nothing was downloaded.\n");
}

TEST_F(CliEndToEnd, HelpListsEveryCommandAndOptionAndEachCommandHasItsOwn) {
  const CliRun all = Cli("--help");
  ASSERT_EQ(all.exitCode, 0);
  std::istringstream words(
      "live --json export --out --whole --from --to --set --stall-timeout upload --wu-id --wu-key "
      "--wc-id --wc-key --wu-endpoint --wc-endpoint --count --simulate --temperature --rain "
      "--pressure --wind --pressure-type --direction --version --console-seed --console-faults");
  for (std::string word; words >> word;) {
    EXPECT_NE(all.out.find(word), std::string::npos) << word;
  }
  for (const std::string command : {"live", "export", "upload"}) {
    const CliRun one = Cli(command + " --help");
    EXPECT_EQ(one.exitCode, 0) << command;
    EXPECT_NE(one.out.find("\n  " + command + " "), std::string::npos) << one.out;
  }
}

TEST_F(CliEndToEnd, LiveReadingsComeAsJsonInTheChosenUnits) {
  const CliRun run = Cli("--simulate --temperature F --wind knots live --count 2 --json");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  std::istringstream lines(run.out);
  std::string line;
  int count = 0;
  while (std::getline(lines, line)) {
    ++count;
    EXPECT_EQ(line.rfind("{\"logger\":", 0), 0u);
    EXPECT_NE(line.find("\"unit\":\"°F\""), std::string::npos);
    EXPECT_NE(line.find("\"unit\":\"knots\""), std::string::npos);
  }
  EXPECT_EQ(count, 2);
}

TEST_F(CliEndToEnd, UploadsGoToTheGivenServerAndEachIsJudged) {
  testing::LocalHttpServer server;  // after its script, every reply says "success"
  server.Script({"HTTP/1.0 200 OK\r\n\r\nsuccess\n"});
  server.Script(
      {"HTTP/1.0 200 OK\r\n\r\nINVALIDPASSWORDID|Password or key and/or id are incorrect\n"});
  const CliRun run =
      Cli("--simulate --console-period wu=1,wc=0 upload --wu-id 'MY ID' --wu-key s3cret "
          "--wu-endpoint 127.0.0.1:" +
          std::to_string(server.Port()) + " --count 2");
  EXPECT_EQ(run.exitCode, 1) << run.err;  // one of them failed
  const CliRun allDone =
      Cli("--simulate --console-period wu=1,wc=0 upload --wu-id I --wu-key K "
          "--wu-endpoint 127.0.0.1:" +
          std::to_string(server.Port()) + " --count 1");
  EXPECT_EQ(allDone.exitCode, 0) << allDone.err;
  const std::vector<std::string> requests = server.WaitForRequests(3, std::chrono::seconds(5));
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[0].rfind(
                "GET /weatherstation/updateweatherstation.php?ID=MY ID&PASSWORD=s3cret&", 0),
            0u)
      << requests[0];
  EXPECT_NE(requests[0].find("\r\nHost:  127.0.0.1:" + std::to_string(server.Port()) + "\r\n"),
            std::string::npos);

  std::istringstream lines(run.out);
  std::string first, second;
  std::getline(lines, first);
  std::getline(lines, second);
  EXPECT_EQ(first.rfind("wunderground GET /weatherstation/updateweatherstation.php?ID=MY "
                        "ID&PASSWORD=***&",
                        0),
            0u)
      << first;
  EXPECT_TRUE(first.ends_with(" UPLOAD")) << first;
  EXPECT_TRUE(second.ends_with(" FAIL")) << second;
  EXPECT_EQ(run.out.find("s3cret"), std::string::npos);  // the key is never shown
}

TEST_F(CliEndToEnd, SixtyThousandRecordsDownloadWithoutDelay) {
  const CliRun run =
      Cli("--simulate --console-records 60000 export --whole --out '" + Out("full.csv") + "'");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const std::string bytes = ReadFile(Out("full.csv"));
  std::size_t rows = 0;
  // Rows end in a lone LF; the quoted two-line titles hold CR LF.
  for (std::size_t i = 4; i + 1 < bytes.size(); i += 2) {
    rows += bytes[i] == '\n' && bytes[i + 1] == '\0' && bytes[i - 2] != '\r';
  }
  EXPECT_EQ(rows, 2u + 60000u);  // the title and unit rows, then one row a record
}

}  // namespace
}  // namespace nimbrel
