// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "archive/archive.h"
#include "service/mqtt_payloads.h"
#include "stats/stats_text.h"
#include "tests/support/temp_dir.h"
#include "web/routes.h"

namespace nimbrel::testing {
namespace {

using namespace std::chrono;
using web::Request;
using web::Response;

RecordTimePoint At(int y, unsigned m, unsigned d, int h = 0, int min = 0) {
  return local_days{year{y} / m / d} + hours{h} + minutes{min};
}

// A record with these outdoor temperature and daily rain texts; channel 2 reads 15.0 °C.
std::string Line(std::string date, std::string time, std::string outdoor, std::string rain) {
  std::string text = "10 " + date + " " + time + " 21.5 40 " + outdoor + " 80 " + rain +
                     " 0.0 5.0 7.2 180 S 1013.2 1004.7 1 -0.5 --.-";
  for (int channel = 1; channel <= 7; ++channel) {
    text += channel == 2 ? " 15.0 60" : " --.- --";
  }
  return text + " -1.2 0.0 2.5 40.1";
}

class WebApi : public ::testing::Test {
 protected:
  void SetUp() override {
    ArchiveError error{};
    auto archive = OpenArchive({path_}, error);
    ASSERT_TRUE(archive) << error.message;
    // 2025-01-04 has no record; the 23:55 record has no outdoor reading.
    const std::vector<std::string> lines = {
        Line("2025-01-02", "23:50", "1.7", "1.4"),  Line("2025-01-02", "23:55", "--.-", "1.5"),
        Line("2025-01-03", "00:00", "-0.3", "0.0"), Line("2025-01-03", "00:05", "-12.8", "0.2"),
        Line("2025-01-05", "12:00", "2.1", "0.0"),
    };
    const std::vector<std::string_view> views(lines.begin(), lines.end());
    MergeCounts counts;
    ASSERT_FALSE(archive->Merge(views, counts));
    bool kept = false;
    ASSERT_FALSE(archive->AddLiveSample(live_, sys_seconds{hours{2}}, kept));
  }

  web::ApiContext Context() {
    web::ApiContext context;
    context.live = [this] {
      return web::LiveSnapshot{live_, LiveStateJson(live_), sys_seconds{seconds{1736078700}},
                               web::ConsoleState::kConnected};
    };
    context.openArchive = [this](ArchiveError& error) { return OpenArchive({path_}, error); };
    context.reportFault = [this](std::string_view message) { faults_.emplace_back(message); };
    context.now = [] { return At(2025, 1, 5, 12, 30); };
    return context;
  }

  static Response Get(const web::Handler& api, std::string path, std::string query = {},
                      std::string method = "GET", bool gzip = true) {
    return api(Request{std::move(method), std::move(path), std::move(query), gzip});
  }

  TempDir dir_;
  std::filesystem::path path_ = dir_.Path() / "archive.sqlite";
  std::string live_ = Line("2025-01-05", "12:05", "2.4", "0.4");
  std::vector<std::string> faults_;
};

TEST_F(WebApi, EveryRequestGetsItsStatusAndJson) {
  const web::Handler api = web::MakeApi(Context());
  const std::string longQuery = "what=" + std::string(3000, 'a');
  const struct {
    std::string method, path, query;
    bool gzip;
    int status;
    std::string part;
  } cases[] = {
      {"GET", "/api/v1/current", "", true, 200, "\"outdoor_temperature\":\"2.4 \u00b0C\""},
      {"HEAD", "/api/v1/current", "", true, 200, "\"console\":\"connected\""},
      {"GET", "/api/v1/current", "units=imperial&lang=de", true, 200, "\"wind_speed\":\"3.1 mph\""},
      {"GET", "/api/v1/current", "temperature=F&wind=m%2Fs", true, 200, "\"36.3 \u00b0F\""},
      {"GET", "/api/v1/current", "pressure=inHg&pressure_type=absolute", true, 200, "29.66 inHg"},
      {"GET", "/api/v1/current", "direction=degrees&&", true, 200, "\"wind_direction\":\"180"},
      {"GET", "/api/v1/current", "", true, 200, "\"time\":\"2025-01-05T12:05:00Z\""},
      {"GET", "/api/v1/series", "what=rain&last=7d&points=7", true, 200, "\"key\":\"rain_daily\""},
      {"GET", "/api/v1/series", "what=temperature&last=24h&channels=2,3", true, 200,
       "\"key\":\"ch3_temperature\""},
      {"GET", "/api/v1/stats", "day=today", true, 200, "\"records\":"},
      {"GET", "/api/v1/stats", "season=current", true, 200, "\"records\":"},
      {"GET", "/", "", true, 200, ""},
      {"GET", "/index.html", "v=3", true, 200, ""},
      {"POST", "/api/v1/current", "", true, 405, "only GET and HEAD"},
      {"DELETE", "/", "", true, 405, "only GET and HEAD"},
      {"GET", "/nothing.js", "", true, 404, "no such page"},
      {"GET", "/../../etc/passwd", "", true, 404, "no such page"},
      {"GET", "/%2e%2e/etc/passwd", "", true, 404, "no such page"},
      {"GET", "/api/v2/current", "", true, 404, "no such API route"},
      {"GET", "/api/v1/current/", "", true, 404, "no such API route"},
      {"GET", "/api/v1/current", "foo=1", true, 400, "unknown parameter: foo"},
      {"GET", "/api/v1/current", "what=rain", true, 400, "unknown parameter: what"},
      {"GET", "/api/v1/current", "%3Cscript%3E=1", true, 400, "\"unknown parameter\""},
      {"GET", "/api/v1/current", "lang=nl", true, 400, "lang takes en, de, fr, it, es"},
      {"GET", "/api/v1/current", "units=kelvin", true, 400, "units takes metric, imperial"},
      {"GET", "/api/v1/current", "wind=furlongs", true, 400, "wind takes"},
      {"GET", "/api/v1/current", "lang=en&lang=de", true, 400, "given twice"},
      {"GET", "/api/v1/current", "lang=%4", true, 400, "broken %-escape"},
      {"GET", "/api/v1/current", "lang=%zz", true, 400, "broken %-escape"},
      {"GET", "/api/v1/series", longQuery, true, 400, "too long"},
      {"GET", "/api/v1/series", "last=24h", true, 400, "what takes"},
      {"GET", "/api/v1/series", "what=snow&last=24h", true, 400, "what takes"},
      {"GET", "/api/v1/series", "what=uv", true, 400, "either last or both"},
      {"GET", "/api/v1/series", "what=uv&last=24h&from=2025-1-1", true, 400, "either last"},
      {"GET", "/api/v1/series", "what=uv&from=2025-1-1", true, 400, "either last or both"},
      {"GET", "/api/v1/series", "what=uv&last=2y", true, 400, "last takes"},
      {"GET", "/api/v1/series", "what=uv&from=2025-2-30&to=2025-3-1", true, 400, "dates"},
      {"GET", "/api/v1/series", "what=uv&from=1969-1-1&to=2025-3-1", true, 400, "dates"},
      {"GET", "/api/v1/series", "what=uv&from=2025-1-1&to=99999-1-1", true, 400, "dates"},
      {"GET", "/api/v1/series", "what=uv&from=2025-3-1&to=2025-1-1", true, 400, "before from"},
      {"GET", "/api/v1/series", "what=uv&last=24h&points=0", true, 400, "points takes"},
      {"GET", "/api/v1/series", "what=uv&last=24h&points=2001", true, 400, "points takes"},
      {"GET", "/api/v1/series", "what=uv&last=24h&points=1e3", true, 400, "points takes"},
      {"GET", "/api/v1/series", "what=uv&last=24h&points=", true, 400, "points takes"},
      {"GET", "/api/v1/series", "what=uv&last=24h&channels=8", true, 400, "channels takes"},
      {"GET", "/api/v1/series", "what=uv&last=24h&channels=1,,2", true, 400, "channels takes"},
      {"GET", "/api/v1/stats", "", true, 400, "give one of"},
      {"GET", "/api/v1/stats", "day=today&month=current", true, 400, "give one of"},
      {"GET", "/api/v1/stats", "all=yes", true, 400, "give one of"},
      {"GET", "/api/v1/stats", "day=2025-13-1", true, 400, "day takes"},
      {"GET", "/api/v1/stats", "month=2025", true, 400, "month takes"},
      {"GET", "/api/v1/stats", "year=25-1", true, 400, "year takes"},
      {"GET", "/api/v1/stats", "season=", true, 400, "season takes"},
  };
  for (const auto& c : cases) {
    const Response response = Get(api, c.path, c.query, c.method, c.gzip);
    const std::string label = c.method + " " + c.path + "?" + c.query.substr(0, 60);
    EXPECT_EQ(response.status, c.status) << label << "\n" << response.body;
    EXPECT_NE(response.body.find(c.part), std::string::npos) << label << "\n" << response.body;
    if (response.status != 200) {
      EXPECT_EQ(response.contentType, "application/json") << label;
      EXPECT_TRUE(response.body.starts_with("{\"error\":\"")) << label;
    }
  }
}

TEST_F(WebApi, SeriesAreReducedToColumnsWithGapsAsNull) {
  const web::Handler api = web::MakeApi(Context());
  // Four days in four columns: the third day has no record; the fourth ends with the live
  // sample after its record.
  const Response celsius =
      Get(api, "/api/v1/series", "what=temperature&from=2025-1-2&to=2025-1-5&points=4");
  ASSERT_EQ(celsius.status, 200) << celsius.body;
  EXPECT_NE(celsius.body.find("\"key\":\"outdoor_temperature\",\"unit\":\"\u00b0C\",\"style\":"
                              "\"line\",\"axis\":\"left\",\"decimals\":1,\"columns\":["
                              "[\"2025-01-02T00:00\",1.7,1.7,1.7,1.7],"
                              "[\"2025-01-03T00:00\",-0.3,-12.8,-12.8,-0.3],"
                              "[\"2025-01-04T00:00\",null,null,null,null],"
                              "[\"2025-01-05T00:00\",2.1,2.4,2.1,2.4]],\"breaks\":[3]"),
            std::string::npos)
      << celsius.body;
  EXPECT_NE(celsius.body.find("{\"what\":\"temperature\",\"unit\":\"\u00b0C\",\"from\":"
                              "\"2025-01-02T00:00\",\"to\":\"2025-01-06T00:00\",\"points\":4"),
            std::string::npos);

  // Two columns a day for the same records, in °F: the night's two records are 24 hours
  // apart from nothing, and the half days without a record are null.
  const Response fahrenheit = Get(
      api, "/api/v1/series", "what=temperature&from=2025-1-2&to=2025-1-3&points=4&temperature=F");
  ASSERT_EQ(fahrenheit.status, 200);
  EXPECT_NE(fahrenheit.body.find("\"key\":\"outdoor_temperature\",\"unit\":\"\u00b0F\""),
            std::string::npos);
  EXPECT_NE(fahrenheit.body.find("[\"2025-01-02T12:00\",35.0,35.0,35.0,35.0],"
                                 "[\"2025-01-03T00:00\",31.4,8.9,8.9,31.4],"
                                 "[\"2025-01-03T12:00\",null,null,null,null]"),
            std::string::npos)
      << fahrenheit.body;

  // Columns far narrower than the records' interval: the many empty columns between records are
  // no gap; only the day without records breaks the line.
  const Response narrow =
      Get(api, "/api/v1/series", "what=humidity&from=2025-1-2&to=2025-1-5&points=1000");
  ASSERT_EQ(narrow.status, 200);
  EXPECT_NE(narrow.body.find("\"breaks\":[875]"), std::string::npos) << narrow.body;

  // An empty period: every column null, the answer still whole.
  const Response empty = Get(api, "/api/v1/series", "what=uv&from=2024-1-1&to=2024-1-1&points=2");
  ASSERT_EQ(empty.status, 200);
  EXPECT_NE(empty.body.find("\"columns\":[[\"2024-01-01T00:00\",null,null,null,null],"
                            "[\"2024-01-01T12:00\",null,null,null,null]]"),
            std::string::npos)
      << empty.body;
}

TEST_F(WebApi, StatsAreWhatTheStatsCommandWrites) {
  const web::Handler api = web::MakeApi(Context());
  ArchiveError error{};
  const auto archive = OpenArchive({path_}, error);
  ASSERT_TRUE(archive);
  UnitSettings imperial;
  imperial.temperatureUnit = TemperatureUnit::Fahrenheit;
  imperial.rainUnit = RainUnit::Inch;
  imperial.pressureUnit = PressureUnit::InHg;
  imperial.windSpeedUnit = WindSpeedUnit::Mph;
  const auto expected = [&](local_days first, local_days last, const UnitSettings& units) {
    std::vector<DaySummary> days;
    EXPECT_FALSE(archive->ReadDays(first, last, days));
    return StatsJson(Summarize(days, first, last), units);
  };
  const local_days jan2{year{2025} / 1 / 2};
  const local_days jan5{year{2025} / 1 / 5};
  const struct {
    std::string query;
    std::string body;
  } cases[] = {
      {"day=2025-1-3", expected(jan2 + days{1}, jan2 + days{1}, {})},
      {"day=yesterday", expected(jan5 - days{1}, jan5 - days{1}, {})},
      {"month=2025-01&units=imperial", expected(jan2 - days{1}, jan2 + days{29}, imperial)},
      {"year=current", expected(jan2 - days{1}, jan2 + days{363}, {})},
      {"season=2024",
       expected(local_days{year{2024} / 1 / 1}, local_days{year{2024} / 12 / 31}, {})},
      {"all", expected(jan2, jan5, {})},
  };
  for (const auto& c : cases) {
    const Response response = Get(api, "/api/v1/stats", c.query);
    EXPECT_EQ(response.status, 200) << c.query;
    EXPECT_EQ(response.body, c.body) << c.query;
  }
}

// An answer of the archive is given again while the archive's generation stands, and read anew
// once it moves on.
TEST_F(WebApi, ArchiveAnswersAreKeptUntilTheArchiveMayHaveChanged) {
  std::uint64_t generation = 1;
  web::ApiContext context = Context();
  context.archiveGeneration = [&generation] { return generation; };
  const web::Handler api = web::MakeApi(context);
  const std::string before = Get(api, "/api/v1/stats", "day=2025-1-5").body;
  ArchiveError error{};
  const std::vector<std::string> later = {Line("2025-01-05", "13:00", "9.9", "0.0")};
  const std::vector<std::string_view> views(later.begin(), later.end());
  MergeCounts counts;
  ASSERT_FALSE(OpenArchive({path_}, error)->Merge(views, counts));
  EXPECT_EQ(Get(api, "/api/v1/stats", "day=2025-1-5").body, before);
  ++generation;
  const std::string after = Get(api, "/api/v1/stats", "day=2025-1-5").body;
  EXPECT_NE(after, before);
  EXPECT_NE(after.find("\"value\":9.9"), std::string::npos) << after;
}

TEST_F(WebApi, FaultsAndMissingPartsAreSaidWithoutNamingTheFile) {
  web::ApiContext context = Context();
  context.openArchive = [](ArchiveError& error) {
    error = {ArchiveFault::NotADatabase, "The file /home/someone/archive.sqlite is damaged."};
    return std::unique_ptr<Archive>();
  };
  const web::Handler broken = web::MakeApi(context);
  const Response series = Get(broken, "/api/v1/series", "what=wind&last=30d");
  EXPECT_EQ(series.status, 503);
  EXPECT_EQ(series.body, "{\"error\":\"the archive cannot be read now\"}");
  ASSERT_EQ(faults_.size(), 1u);
  EXPECT_NE(faults_[0].find("/home/someone"), std::string::npos);

  // No archive in the build, no live text yet.
  context.openArchive = nullptr;
  context.live = [] { return web::LiveSnapshot{}; };
  const web::Handler bare = web::MakeApi(context);
  const Response stats = Get(bare, "/api/v1/stats", "all");
  EXPECT_EQ(stats.status, 503);
  EXPECT_NE(stats.body.find("history needs the archive"), std::string::npos);
  EXPECT_EQ(Get(bare, "/api/v1/current").body,
            "{\"state\":null,\"formatted\":null,\"time\":null,\"console\":\"waiting\","
            "\"lang\":\"en\",\"history\":false}");

  // An empty archive has no whole period.
  std::filesystem::remove(path_);
  EXPECT_EQ(Get(web::MakeApi(Context()), "/api/v1/stats", "all").status, 404);
}

TEST_F(WebApi, AnswersOnSeveralThreadsAtOnce) {
  const web::Handler api = web::MakeApi(Context());
  std::atomic<int> good{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 5; ++i) {
        good += Get(api, "/api/v1/series", "what=temperature&last=7d").status == 200;
        good += Get(api, "/api/v1/stats", "month=current").status == 200;
        good += Get(api, "/api/v1/current").status == 200;
      }
    });
  }
  for (std::thread& thread : threads) {
    thread.join();
  }
  EXPECT_EQ(good, 60);
}

}  // namespace
}  // namespace nimbrel::testing
