// SPDX-License-Identifier: GPL-3.0-or-later
// The requests of the composed services from live texts, and the judging of their replies.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <ctime>
#include <map>
#include <string>

#include "upload/service_replies.h"
#include "upload/service_requests.h"

namespace nimbrel::testing {
namespace {

using namespace std::chrono;

// A live text with every field "--" but those given.
std::string Live(const std::map<std::size_t, std::string>& fields) {
  std::string text;
  for (std::size_t field = 0; field < 36; ++field) {
    const auto given = fields.find(field);
    text += (field ? " " : "") + (given == fields.end() ? std::string("--") : given->second);
  }
  return text;
}

// 25 °C, dew point 13.9 °C, 50 %, 220° at 6.5 km/h gusting 7.9 km/h, 990.0 hPa, rain 1.2 mm in
// the last hour, 5.0 mm today, 30.5 mm this month, UV 3.
const std::string kFull =
    "-- 2026-12-8 00:42 -- -- 25.0 50 5.0 0.0 6.5 7.9 220 SW 990.0 985.1 3 13.9 -- -- -- -- -- -- "
    "-- -- -- -- -- -- -- -- -- -- 1.2 -- 30.5";
const std::string kDry =
    "-- -- -- -- -- 25.0 50 0.0 -- 6.5 7.9 220 -- 990.0 -- -- -- -- -- -- -- -- -- -- -- -- -- "
    "-- -- -- -- -- -- 0.0 -- --";
// Dashes where the console has no reading; a negative temperature is a reading.
const std::string kGaps =
    Live({{5, "-5.3"}, {6, "--"}, {7, "-.-"}, {9, "-"}, {11, ""}, {16, "--.-"}, {13, "990.0"}});
const sys_seconds kTime = sys_days{2026y / 12 / 7} + 23h + 42min;

WebAccount Account(std::string endpoint = {}) {
  return {"ST 1", "k&y", std::move(endpoint), "", "Nimbrel 1.0"};
}

TEST(ServiceRequestsTest, EachServiceTakesItsFieldsInItsUnits) {
  struct Row {
    WebRequest request;
    std::string url;
  };
  const Row rows[] = {
      {ComposePwsWeather(ReadObservation(kFull), kTime, Account()),
       "https://pwsupdate.pwsweather.com/api/v1/submitwx?ID=ST%201&PASSWORD=k%26y"
       "&dateutc=2026-12-07%2023%3A42%3A00&tempf=77.0&dewptf=57.0&humidity=50&winddir=220"
       "&windspeedmph=4.0&windgustmph=4.9&baromin=29.235&rainin=0.05&dailyrainin=0.20"
       "&monthrainin=1.20&UV=3&softwaretype=Nimbrel%201.0&action=updateraw"},
      {ComposeWow(ReadObservation(kFull), kTime, Account()),
       "https://wow.metoffice.gov.uk/automaticreading?siteid=ST%201&siteAuthenticationKey=k%26y"
       "&dateutc=2026-12-07%2023%3A42%3A00&softwaretype=Nimbrel%201.0&action=updateraw"
       "&tempf=77.0&dewptf=57.0&humidity=50&winddir=220&windspeedmph=4.0&windgustmph=4.9"
       "&baromin=29.235&rainin=0.05&dailyrainin=0.20"},
      {ComposeWindy(ReadObservation(kFull), kTime, Account()),
       "https://stations.windy.com/api/v2/observation/update?id=ST%201&ts=1796686920&temp=25.0"
       "&dewpoint=13.9&humidity=50&wind=1.8&gust=2.2&winddir=220&pressure=99000&precip=1.2&uv=3"
       "&softwaretype=Nimbrel%201.0"},
      // No reading, no field; a reading below zero is converted; a server of one's own.
      {ComposePwsWeather(ReadObservation(kGaps), kTime, Account("https://127.0.0.1:8443/pws")),
       "https://127.0.0.1:8443/pws?ID=ST%201&PASSWORD=k%26y&dateutc=2026-12-07%2023%3A42%3A00"
       "&tempf=22.5&baromin=29.235&softwaretype=Nimbrel%201.0&action=updateraw"},
      {ComposeWindy(ReadObservation(kGaps), kTime, Account()),
       "https://stations.windy.com/api/v2/observation/update?id=ST%201&ts=1796686920&temp=-5.3"
       "&pressure=99000&softwaretype=Nimbrel%201.0"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(row.request.url, row.url);
  }
  using Header = std::pair<std::string, std::string>;
  EXPECT_TRUE(rows[0].request.headers.empty());
  EXPECT_EQ(rows[2].request.headers, std::vector<Header>({{"Authorization", "Bearer k&y"}}));
  EXPECT_EQ(MaskedUrl(rows[1].request.url).find("k%26y"), std::string::npos);
  EXPECT_NE(MaskedUrl(rows[0].request.url).find("PASSWORD=***&dateutc"), std::string::npos);
}

TEST(ServiceRequestsTest, ArchivedValuesGiveTheRequestsOfTheLiveText) {
  const double kNan = std::nan("");
  // kObservationFields of kFull and kGaps as an archive's series gives them: NaN for no reading.
  const std::vector<double> full = {25.0, 13.9, 50, 220, 6.5, 7.9, 990.0, 1.2, 5.0, 30.5, 3};
  const std::vector<double> gaps = {-5.3, kNan, kNan, kNan, -1, kNan, 990.0};
  for (const auto& [values, text] : {std::pair{full, kFull}, std::pair{gaps, kGaps}}) {
    EXPECT_EQ(ComposePwsWeather(ObservationOf(values), kTime, Account()).url,
              ComposePwsWeather(ReadObservation(text), kTime, Account()).url);
  }
}

TEST(ServiceRequestsTest, RainOfTheLast24HoursFromTheDailyCounter) {
  const double kNan = std::nan("");
  struct Row {
    std::vector<double> daily;
    std::optional<double> rain;
  };
  const Row rows[] = {
      {{}, std::nullopt},
      {{3.0}, std::nullopt},
      {{1.0, 1.0, 2.5}, 1.5},
      // Yesterday from 1.0 to 4.0, the reset at midnight, then 2.0 today.
      {{1.0, 4.0, 0.0, 0.5, 2.0}, 5.0},
      {{1.0, 4.0, 0.5, kNan, 2.0}, 5.0},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(RainFromDailyCounter(row.daily), row.rain);
  }
}

#ifndef _WIN32
TEST(ServiceRequestsTest, ConsoleTimesAreTheLocalTimesOfThePc) {
  const char* saved = std::getenv("TZ");
  const std::string before = saved != nullptr ? saved : "";
  ::setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
  ::tzset();
  struct Row {
    local_seconds console;
    sys_seconds utc;
  };
  const Row rows[] = {
      {local_days{2026y / 7 / 1} + 14h, sys_days{2026y / 7 / 1} + 12h},
      {local_days{2026y / 1 / 15} + 9h + 30min, sys_days{2026y / 1 / 15} + 8h + 30min},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(UtcFromConsoleTime(row.console), row.utc);
  }
  if (saved != nullptr) {
    ::setenv("TZ", before.c_str(), 1);
  } else {
    ::unsetenv("TZ");
  }
  ::tzset();
}
#endif

TEST(ServiceRequestsTest, CwopPacketFields) {
  struct Row {
    std::string live;
    double latitude, longitude;
    std::optional<double> rain24;
    std::string packet;
  };
  const Row rows[] = {
      {kDry, 49.058333, -72.029167, 0.0,
       "CALL>APRS,TCPIP*:@072342z4903.50N/07201.75W_220/004g005t077r000p000P000h50b09900"},
      {kFull, -33.5, 151.25, 12.7,
       "CALL>APRS,TCPIP*:@072342z3330.00S/15115.00E_220/004g005t077r005p050P020h50b09900"},
      {Live({{5, "-18.9"}, {6, "100"}, {13, "1013.2"}}), 0.0001, -0.5, std::nullopt,
       "CALL>APRS,TCPIP*:@072342z0000.01N/00030.00W_.../...g...t-02r...p...P...h00b10132"},
      {kGaps, 10, 10, std::nullopt,
       "CALL>APRS,TCPIP*:@072342z1000.00N/01000.00E_.../...g...t022r...p...P...h..b09900"},
  };
  for (const Row& row : rows) {
    const CwopStation station{"CALL", "", row.latitude, row.longitude, "cwop.test", 14580, "1.0"};
    const AprsSession session = ComposeCwop(ReadObservation(row.live), kTime, station, row.rain24);
    EXPECT_EQ(session.packet, row.packet + "Nimbrel\r\n");
    EXPECT_EQ(session.loginLine, "user CALL pass -1 vers Nimbrel 1.0\r\n");
  }
}

TEST(ServiceRepliesTest, VerdictsAndWaits) {
  constexpr auto kPws = WeatherService::kPwsWeather;
  constexpr auto kWow = WeatherService::kWow;
  constexpr auto kWindy = WeatherService::kWindy;
  struct Row {
    WeatherService service;
    WebReply reply;
    Verdict verdict;
    std::optional<seconds> wait;
  };
  const auto reply = [](int status, std::string body = {},
                        std::optional<seconds> retryAfter = std::nullopt) {
    return WebReply{WebFailure::kNone, status, std::move(body), retryAfter, {}};
  };
  const auto failure = [](WebFailure why) { return WebReply{why, 0, {}, {}, "detail"}; };
  const Row rows[] = {
      {kPws, reply(200, "Data Logged and posted in METAR mirror."), Verdict::kDone, {}},
      {kPws, reply(200, "ERROR: Not a vailid Station ID"), Verdict::kRefused, {}},
      {kPws, reply(200, "ERROR: Invalid dateutc"), Verdict::kFailed, {}},
      {kPws, reply(401), Verdict::kRefused, {}},
      {kWow, reply(200), Verdict::kDone, {}},
      {kWow, reply(429), Verdict::kTooFrequent, {}},
      {kWow, reply(429, "", 300s), Verdict::kTooFrequent, 300s},
      {kWow, reply(403), Verdict::kRefused, {}},
      {kWow, reply(503), Verdict::kFailed, {}},
      {kWow, reply(302), Verdict::kFailed, {}},
      {kWindy, reply(409, "{\"error\":\"already\"}"), Verdict::kDone, {}},
      {kWindy, reply(429, "{\"retry_after\": 120}", 30s), Verdict::kTooFrequent, 120s},
      {kWindy, reply(429, "{\"retry_after\":\"90\"}"), Verdict::kTooFrequent, 90s},
      {kWindy, reply(429, "{\"retry_after\":\"soon\"}", 30s), Verdict::kTooFrequent, 30s},
      // A hostile wait is kept within a day.
      {kWindy, reply(429, "{\"retry_after\":99999999999}"), Verdict::kTooFrequent, 86400s},
      {kWindy, reply(400), Verdict::kRefused, {}},
      {kWindy, failure(WebFailure::kNoConnection), Verdict::kFailed, {}},
      {kWindy, failure(WebFailure::kTimedOut), Verdict::kFailed, {}},
      {kPws, failure(WebFailure::kCertificate), Verdict::kFailed, {}},
  };
  for (const Row& row : rows) {
    const Judgement judgement = JudgeWebReply(row.service, row.reply);
    EXPECT_EQ(judgement.verdict, row.verdict) << row.reply.status << " " << row.reply.body;
    EXPECT_EQ(judgement.wait, row.wait) << row.reply.status << " " << row.reply.body;
    EXPECT_FALSE(judgement.reason.empty());
  }
  EXPECT_EQ(JudgeAprsResult({AprsOutcome::kSent, {}}).verdict, Verdict::kDone);
  EXPECT_EQ(JudgeAprsResult({AprsOutcome::kTimedOut, {}}).verdict, Verdict::kFailed);
}

}  // namespace
}  // namespace nimbrel::testing
