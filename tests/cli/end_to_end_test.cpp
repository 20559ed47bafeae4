// SPDX-License-Identifier: GPL-3.0-or-later
// nimbrel-cli run as a user runs it, against the built-in console: the real reader, download and
// export writer. Each export is compared byte for byte with the file the writer makes from the
// records the console should have delivered.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "simulator/weather_model.h"
#include "tests/cli/cli_folder.h"
#include "tests/upload/local_http_server.h"

namespace nimbrel::testing {
namespace {

namespace fs = std::filesystem;

class CliEndToEnd : public CliFolderTest {
 protected:
  // The console's log served from a file, `count` records of the generated weather, as options.
  std::string History(std::size_t count) {
    records_ = WeatherModel(7).History(count, 42);
    std::ofstream file(dir_ / "history.txt");
    for (const std::string& line : records_) {
      file << line << "\n";
    }
    return "--simulate --console-history " + OutArg("history.txt") + " ";
  }

  std::vector<std::string> records_;
};

// A record given up after ten bad copies is the only one missing; every other arrives in order.
TEST_F(CliEndToEnd, DownloadsExportEveryRecordThatArrivedInOrder) {
  for (const int lost : {0, 5}) {
    const std::size_t count = lost == 0 ? 300 : 20;
    const std::string faults = lost == 0 ? "" : "--console-faults bad-crc=5:10 ";
    const CliRun run = Cli(History(count) + faults + "export --whole --out " + OutArg("all.csv"));
    ASSERT_EQ(run.exitCode, 0) << run.err;
    std::vector<std::string> delivered = records_;
    if (lost > 0) {
      delivered.erase(delivered.begin() + lost - 1);
    }
    EXPECT_EQ(ReadFile(Out("all.csv")), ExpectedExport(delivered, count, Out("expected.csv")));
    EXPECT_NE(run.err.find(lost == 0 ? "100% (300 of 300 records)" : "100%"), std::string::npos);
  }
}

// Each ends with exit code 1, its reason, and no file; the request is checked before the console
// is asked, and a file that was there before keeps its bytes.
TEST_F(CliEndToEnd, DownloadsThatCannotFinishEndWithTheirReasonAndNoFile) {
  const std::string history = History(30), to = " --out " + OutArg("never.csv");
  const std::string lateEnd = "ended the download early: 29 of 30 records arrived";
  // A lost record (a skipped frame, or the last one given up) leaves the download short: the
  // console's next live text ends it, or without one the stall limit does. The up-front checks'
  // messages, starting with a line break here, are all that is printed.
  const std::pair<std::string, std::string> cases[] = {
      {"--console-faults no-history export --whole" + to, "Not history data NOW!"},
      {"--console-faults stop-after=10 export --whole" + to, "stopped sending its history"},
      {"--console-faults unplug-after=10 export --whole" + to, "went away during the download"},
      {"--console-period live=1 --console-faults skip-frame=12:1 export --stall-timeout 30 "
       "--whole" +
           to,
       lateEnd},
      {"--console-period live=1 --console-faults bad-crc=30:10 export --stall-timeout 30 --whole" +
           to,
       lateEnd},
      {"--console-period live=0 --console-faults skip-frame=12:1 export --stall-timeout 1 --whole" +
           to,
       "No history record arrived for 1 seconds"},
      {"export --from 2025-1-1x --to 2025-1-2" + to, "\nDay input error !\n"},
      {"export --whole --out " + OutArg("never.txt"), "\nFile name error!\n"},
      {"export --whole --out /nonexistent/dir/x.csv",
       "\nCannot write '/nonexistent/dir/x.csv': No such file or directory; nothing was "
       "downloaded.\n"},
  };
  for (const auto& [args, message] : cases) {
    const CliRun run = Cli(history + args);
    EXPECT_EQ(run.exitCode, 1) << args;
    EXPECT_NE(("\n" + run.err).find(message), std::string::npos) << args << ": " << run.err;
    EXPECT_TRUE(message.front() != '\n' || "\n" + run.err == message) << run.err;
    EXPECT_FALSE(fs::exists(Out("never.csv")) || fs::exists(Out("never.txt"))) << args;
  }
  std::ofstream(Out("kept.csv")) << "old";  // a file that was there before keeps its bytes
  Cli(history + "--console-faults no-history export --whole --out " + OutArg("kept.csv"));
  EXPECT_EQ(ReadFile(Out("kept.csv")), "old");
}

TEST_F(CliEndToEnd, HelpListsEveryCommandAndOptionAndLiveReadingsComeInTheChosenUnits) {
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
  const CliRun live = Cli("--simulate --temperature F --wind knots live --count 2 --json");
  ASSERT_EQ(live.exitCode, 0) << live.err;
  std::istringstream lines(live.out);
  int count = 0;
  for (std::string line; std::getline(lines, line); ++count) {
    EXPECT_EQ(line.rfind("{\"logger\":", 0), 0u);
    EXPECT_NE(line.find("\"unit\":\"°F\""), std::string::npos);
    EXPECT_NE(line.find("\"unit\":\"knots\""), std::string::npos);
  }
  EXPECT_EQ(count, 2);
}

TEST_F(CliEndToEnd, UploadsGoToTheGivenServerAndEachIsJudged) {
  LocalHttpServer server;  // after its script, every reply says "success"
  server.Script({"HTTP/1.0 200 OK\r\n\r\nsuccess\n"});
  server.Script({"HTTP/1.0 200 OK\r\n\r\nINVALIDPASSWORDID|Password or key are incorrect\n"});
  const std::string upload = "--simulate --console-period wu=1,wc=0 upload --wu-endpoint " +
                             ("127.0.0.1:" + std::to_string(server.Port()));
  const CliRun run = Cli(upload + " --wu-id " + Quoted("MY ID") + " --wu-key s3cret --count 2");
  EXPECT_EQ(run.exitCode, 1) << run.err;  // one of them failed
  EXPECT_EQ(Cli(upload + " --wu-id I --wu-key K --count 1").exitCode, 0);
  const std::vector<std::string> requests = server.WaitForRequests(3, std::chrono::seconds(5));
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_TRUE(requests[0].starts_with(
      "GET /weatherstation/updateweatherstation.php?ID=MY ID&PASSWORD=s3cret&"));
  EXPECT_TRUE(
      requests[0].ends_with("\r\nHost:  127.0.0.1:" + std::to_string(server.Port()) + "\r\n\r\n"));
  // Each upload's masked request line, then its verdict; the key is never shown.
  const std::string masked =
      "wunderground GET /weatherstation/updateweatherstation.php?ID=MY ID&PASSWORD=***&";
  EXPECT_TRUE(run.out.starts_with(masked)) << run.out;
  EXPECT_NE(run.out.find(" UPLOAD\n" + masked), std::string::npos) << run.out;
  EXPECT_TRUE(run.out.ends_with(" FAIL\n")) << run.out;
  EXPECT_EQ(run.out.find("s3cret"), std::string::npos);
}

TEST_F(CliEndToEnd, SixtyThousandRecordsDownloadWithoutDelay) {
  const CliRun run =
      Cli("--simulate --console-records 60000 export --whole --out " + OutArg("full.csv"));
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
}  // namespace nimbrel::testing
