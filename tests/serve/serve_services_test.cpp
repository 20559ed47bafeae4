// SPDX-License-Identifier: GPL-3.0-or-later
// nimbrel-cli serve with the built-in console and the four composed services pointed at servers of
// the test's own (HTTPS with the test's certificate authority, APRS-IS): each request checked
// field by field against the console's live text, and one service refused while the others go on.
#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "archive/archive.h"
#include "tests/support/child_process.h"
#include "tests/support/service_test_server.h"
#include "tests/support/temp_dir.h"
#include "tests/upload/local_http_server.h"

namespace nimbrel::testing {
namespace {

using namespace std::chrono_literals;
using Kind = ServiceTestServer::Kind;

// 25 °C, dew point 13.9 °C, 50 %, 220° at 6.5 km/h (1.8 m/s) gusting 7.9 km/h (2.2 m/s), 990.0 hPa,
// UV 3, no rain in the last hour nor today, 30.5 mm this month.
constexpr std::string_view kLive =
    "57 2026-12-8 00:42 21.5 40 25.0 50 0.0 - 6.5 7.9 220 SW 990.0 985.1 3 13.9 --.- 20.1 50 "
    "--.- -- --.- -- --.- -- --.- -- --.- -- --.- -- 24.0 0.0 0.0 30.5";

// A record of the console's log `ago` before now by the PC's clock, with no rain today.
std::string RecordAgo(std::chrono::minutes ago) {
  const std::time_t when = std::time(nullptr) - ago.count() * 60;
  std::tm local{};
  localtime_r(&when, &local);
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%d-%d-%d %02d:%02d", local.tm_year + 1900, local.tm_mon + 1,
                local.tm_mday, local.tm_hour, local.tm_min);
  std::string text = "10 " + std::string(stamp) +
                     " 21.5 40 24.0 50 0.0 - 5.0 7.2 180 S 990.0 985.1 1 13.0 --.- 22.0 45";
  for (int channel = 2; channel <= 7; ++channel) {
    text += " --.- --";
  }
  return text + " 24.0 0.0 0.0 30.5";
}

class ServeServicesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::ofstream(dir_ / "live.txt") << kLive << "\n";
    std::ofstream(dir_ / "key") << "s3cret\n";
    std::ofstream(dir_ / "pin") << "654321\n";
    ArchiveError error{};
    const auto archive = OpenArchive({dir_ / "archive.sqlite"}, error);
    ASSERT_TRUE(archive) << error.message;
    const std::string records[] = {RecordAgo(120min), RecordAgo(60min)};
    const std::vector<std::string_view> download(std::begin(records), std::end(records));
    MergeCounts counts;
    ASSERT_FALSE(archive->Merge(download, counts));
  }

  // Runs nimbrel-cli on the test's settings folder; its standard output.
  std::string Cli(const std::string& args) const {
    std::string out;
    if (FILE* pipe =
            popen((Environment() + "'" + NIMBREL_CLI + "' " + args + " 2>&1").c_str(), "r")) {
      char chunk[4096];
      for (std::size_t n; (n = fread(chunk, 1, sizeof chunk, pipe)) > 0;) {
        out.append(chunk, n);
      }
      EXPECT_EQ(pclose(pipe), 0) << args << "\n" << out;
    }
    return out;
  }

  void PointAt(const std::string& service, const std::string& endpoint, const std::string& ca) {
    Cli("services set " + service + " --endpoint " + endpoint + (ca.empty() ? "" : " --ca " + ca));
  }

  std::unique_ptr<Child> Serve() const {
    return std::make_unique<Child>(
        "exec " + Environment() + "'" + NIMBREL_CLI + "' --simulate --archive '" +
        (dir_ / "archive.sqlite").string() + "' --console-live '" + (dir_ / "live.txt").string() +
        "' --console-period live=1,wu=0,wc=0,time=0 serve --sync-hours 0 --no-http --verbose 2>>'" +
        (dir_ / "serve.log").string() + "'");
  }

  std::string Log() const { return ReadFile(dir_ / "serve.log"); }
  // Whether the log comes to hold `part` `count` times within two minutes.
  bool LogHolds(std::string_view part, std::size_t count) const {
    for (int i = 0; i < 1200 && Count(Log(), part) < count; ++i) {
      std::this_thread::sleep_for(100ms);
    }
    return Count(Log(), part) >= count;
  }

  std::string Environment() const {
    return "env XDG_CONFIG_HOME='" + (dir_ / "config").string() + "' XDG_DATA_HOME='" +
           (dir_ / "data").string() + "' XDG_STATE_HOME='" + (dir_ / "state").string() + "' ";
  }

  const TempDir folder_{"nimbrel-serve-services-"};
  const std::filesystem::path& dir_ = folder_.Path();
};

// The fields of a request line from the web servers, "/path?a=1&b=2\tHeader: x", without the
// time, which the test cannot know: checked apart.
std::string WithoutTime(std::string line, const std::string& field) {
  const std::size_t at = line.find(field + "=");
  EXPECT_NE(at, std::string::npos) << line;
  if (at != std::string::npos) {
    line.erase(at, line.find('&', at) - at);
  }
  return line;
}

TEST_F(ServeServicesTest, EachServiceGetsTheLiveReadingInItsUnitsAndOneDownHoldsUpNone) {
  ServiceTestServer pws(Kind::kHttps), wow(Kind::kHttps), windy(Kind::kHttps), cwop(Kind::kAprs);
  ASSERT_TRUE(pws.Port() && wow.Port() && windy.Port() && cwop.Port());
  Cli("services set pwsweather --on --id PWS1 --key-file '" + (dir_ / "key").string() + "'");
  Cli("services set wow --on --id 123456 --key-file '" + (dir_ / "pin").string() + "'");
  Cli("services set windy --on --id W1 --key-file '" + (dir_ / "key").string() + "'");
  Cli("services set cwop --on --id EW1234 --lat 49.058333 --lon -72.029167");
  PointAt("pwsweather", pws.Url("/pws"), pws.CaFile());
  PointAt("wow", wow.Url("/wow"), wow.CaFile());
  PointAt("windy", windy.Url("/windy"), windy.CaFile());
  PointAt("cwop", "127.0.0.1:" + std::to_string(cwop.Port()), "");
  const std::string software = "Nimbrel%20" + std::string(NIMBREL_VERSION);
  {
    const auto serve = Serve();
    const std::vector<std::string> pwsSent = pws.Requests(1, 120s);
    const std::vector<std::string> wowSent = wow.Requests(1, 120s);
    const std::vector<std::string> windySent = windy.Requests(1, 120s);
    const std::vector<std::string> cwopSent = cwop.Requests(2, 120s);
    EXPECT_TRUE(LogHolds("CWOP upload: done", 1)) << Log();
    serve->Signal(SIGTERM);
    EXPECT_EQ(serve->Wait(60s), 0) << Log();
    ASSERT_FALSE(pwsSent.empty() || wowSent.empty() || windySent.empty()) << Log();
    EXPECT_EQ(WithoutTime(pwsSent[0].substr(0, pwsSent[0].find('\t')), "dateutc"),
              "/pws?ID=PWS1&PASSWORD=s3cret&&tempf=77.0&dewptf=57.0&humidity=50&winddir=220"
              "&windspeedmph=4.0&windgustmph=4.9&baromin=29.235&rainin=0.00&dailyrainin=0.00"
              "&monthrainin=1.20&UV=3&softwaretype=" +
                  software + "&action=updateraw");
    EXPECT_TRUE(std::regex_search(pwsSent[0], std::regex("dateutc=20\\d\\d-\\d\\d-\\d\\d%20"
                                                         "\\d\\d%3A\\d\\d%3A\\d\\d&")));
    EXPECT_EQ(WithoutTime(wowSent[0].substr(0, wowSent[0].find('\t')), "dateutc"),
              "/wow?siteid=123456&siteAuthenticationKey=654321&&softwaretype=" + software +
                  "&action=updateraw&tempf=77.0&dewptf=57.0&humidity=50&winddir=220"
                  "&windspeedmph=4.0&windgustmph=4.9&baromin=29.235&rainin=0.00"
                  "&dailyrainin=0.00");
    EXPECT_EQ(WithoutTime(windySent[0].substr(0, windySent[0].find('\t')), "ts"),
              "/windy?id=W1&&temp=25.0&dewpoint=13.9&humidity=50&wind=1.8&gust=2.2&winddir=220"
              "&pressure=99000&precip=0.0&uv=3&softwaretype=" +
                  software);
    EXPECT_NE(windySent[0].find("\tAuthorization: Bearer s3cret"), std::string::npos);
    // The login, then the packet of the example, its rain of 24 hours from the archive.
    ASSERT_EQ(cwopSent.size(), 2U) << Log();
    EXPECT_EQ(cwopSent[0],
              "user EW1234 pass -1 vers Nimbrel " + std::string(NIMBREL_VERSION) + "\\r\\n");
    EXPECT_TRUE(std::regex_match(
        cwopSent[1], std::regex("EW1234>APRS,TCPIP\\*:@\\d{6}z4903\\.50N/07201\\.75W_220/004g005"
                                "t077r000p000P000h50b09900Nimbrel\\\\r\\\\n")))
        << cwopSent[1];
  }
  // PWSweather refused: said once, while the others are sent their readings as before; what
  // each one did is kept for `services list`.
  RefusingPort refused;
  PointAt("pwsweather", "https://127.0.0.1:" + std::to_string(refused.port) + "/pws", "");
  {
    const auto serve = Serve();
    EXPECT_EQ(wow.Requests(2, 120s).size(), 2U);
    EXPECT_EQ(windy.Requests(2, 120s).size(), 2U);
    EXPECT_EQ(cwop.Requests(4, 120s).size(), 4U);
    EXPECT_TRUE(LogHolds("CWOP upload: done", 2)) << Log();
    serve->Signal(SIGTERM);
    EXPECT_EQ(serve->Wait(60s), 0) << Log();
  }
  const std::string log = Log();
  EXPECT_EQ(Count(log, "PWSweather uploads fail"), 1U) << log;
  EXPECT_EQ(Count(log, "Windy uploads fail"), 0U) << log;
  for (const char* secret : {"s3cret", "654321"}) {
    EXPECT_EQ(log.find(secret), std::string::npos) << log;
  }
  const std::string list = Cli("services list --json");
  EXPECT_TRUE(std::regex_search(list, std::regex("\"name\":\"pwsweather\"[^}]*\"failing\":true")))
      << list;
  for (const char* service : {"wow", "windy", "cwop"}) {
    EXPECT_TRUE(std::regex_search(list, std::regex(std::string("\"name\":\"") + service +
                                                   "\"[^}]*\"last_success\":\\d[^}]*"
                                                   "\"failing\":false")))
        << service << "\n"
        << list;
  }
}

}  // namespace
}  // namespace nimbrel::testing
