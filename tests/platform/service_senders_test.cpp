// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cstdio>
#include <future>
#include <string>
#include <vector>

#include "platform/aprs_socket_sender.h"
#include "platform/curl_web_sender.h"
#include "tests/support/service_test_server.h"
#include "tests/upload/local_http_server.h"
#include "tests/upload/service_world.h"

namespace nimbrel::testing {
namespace {

using namespace std::chrono_literals;
using Kind = ServiceTestServer::Kind;

struct WebCase {
  const char* name;
  std::string reply;  // the server's script entry; empty for a request that never reaches it
  WebFailure failure;
  int status = 0;
  std::string_view body = "";  // how the body kept starts
  std::size_t bodySize = 0;
  std::optional<std::chrono::seconds> retryAfter = std::nullopt;
  WebRequest request = {};  // the common request when its URL is empty
};

// Each row's request in turn against one HTTPS server; a failure says why in words that never
// show the query, which holds the key.
TEST(WebSenderTest, RepliesAndFailures) {
  const RefusingPort refusing;
  const std::string refused = "https://127.0.0.1:" + std::to_string(refusing.port) + "/?k=secret";
  const std::string longBody(3 * kWebReplyLimit, 'x');
  std::vector<WebCase> cases = {
      {"200", R"({"status": 200, "body": "success"})", WebFailure::kNone, 200, "success", 7},
      {"429 in seconds",
       R"({"status": 429, "body": "too frequent", "headers": [["Retry-After", " 120 "]]})",
       WebFailure::kNone, 429, "too frequent", 12, 120s},
      {"429 with a date", R"({"status": 429, "headers": [["Retry-After", "Wed, 21 Oct 2026"]]})",
       WebFailure::kNone, 429},
      {"429 for ever",
       R"({"status": 429, "headers": [["Retry-After", "99999999999999999999999"]]})",
       WebFailure::kNone, 429, "", 0, 24h},
      {"409", R"({"status": 409, "body": "already"})", WebFailure::kNone, 409, "already", 7},
      {"403", R"({"status": 403, "body": "wrong PIN"})", WebFailure::kNone, 403, "wrong PIN", 9},
      {"long body", R"({"body": ")" + longBody + R"("})", WebFailure::kNone, 200, "xx",
       kWebReplyLimit},
      {"closed unanswered", R"({"action": "close"})", WebFailure::kNoConnection},
      {"never answers", R"({"action": "hang"})", WebFailure::kTimedOut},
      {"refused", "", WebFailure::kNoConnection, 0, "", 0, {}, {refused}},
      {"untrusted", "", WebFailure::kCertificate, 0, "", 0, {}, {"", {}, "none"}},
      {"no such authority file", "", WebFailure::kCertificate, 0, "", 0, {}, {"", {}, "/no/ca"}},
      {"header injection", "", WebFailure::kOther, 0, "", 0, {}, {"", {{"X", "a\r\nEvil: 1"}}}},
      {"not the web", "", WebFailure::kOther, 0, "", 0, {}, {"ftp://127.0.0.1/?k=secret"}},
  };
  std::string script = "[";
  for (const WebCase& row : cases) {
    script += row.reply.empty() ? "" : (script.size() > 1 ? "," : "") + row.reply;
  }
  ServiceTestServer server(Kind::kHttps, script + "]");
  ASSERT_NE(server.Port(), 0);
  const WebRequest common{server.Url("/api/v1/submitwx?ID=A%20B&PASSWORD=secret&tempf=70.1"),
                          {{"Authorization", "Bearer hidden"}},
                          server.CaFile()};
  CurlWebSender sender({.connect = 30s, .whole = 30s});
  CurlWebSender impatient({.connect = 30s, .whole = 2s});
  for (WebCase& row : cases) {
    SCOPED_TRACE(row.name);
    WebRequest& request = row.request;
    request.url = request.url.empty() ? common.url : request.url;
    request.headers = request.headers.empty() ? common.headers : request.headers;
    request.caFile = request.caFile == "none" ? ""
                     : request.caFile.empty() ? common.caFile
                                              : request.caFile;
    const WebReply reply =
        (row.failure == WebFailure::kTimedOut ? impatient : sender).Get(request, {});
    EXPECT_EQ(reply.failure, row.failure) << reply.detail;
    EXPECT_EQ(reply.status, row.status);
    EXPECT_TRUE(reply.body.starts_with(row.body)) << reply.body.substr(0, 40);
    EXPECT_EQ(reply.body.size(), row.bodySize);
    EXPECT_EQ(reply.retryAfter, row.retryAfter);
    EXPECT_EQ(reply.detail.empty(), row.failure == WebFailure::kNone) << reply.detail;
    EXPECT_EQ(reply.detail.find("secret"), std::string::npos) << reply.detail;
  }
  // Only the scripted requests got past the handshake, each as it was given.
  const std::vector<std::string> seen = server.Requests(9);
  ASSERT_EQ(seen.size(), 9U);
  EXPECT_TRUE(seen[0].starts_with("/api/v1/submitwx?ID=A%20B&PASSWORD=secret&tempf=70.1\t"));
  EXPECT_NE(seen[0].find("\tAuthorization: Bearer hidden"), std::string::npos) << seen[0];
  EXPECT_NE(seen[0].find("\tUser-Agent: Nimbrel/"), std::string::npos) << seen[0];
}

// A stop ends a request the server never answers, long before its time-out.
TEST(WebSenderTest, StopEndsAHangingRequest) {
  ServiceTestServer server(Kind::kHttps, R"([{"action": "hang"}])");
  ASSERT_NE(server.Port(), 0);
  CurlWebSender sender({.connect = 1h, .whole = 1h});
  std::stop_source stop;
  auto reply = std::async(std::launch::async, [&] {
    return sender.Get({server.Url("/hang?k=secret"), {}, server.CaFile()}, stop.get_token());
  });
  ASSERT_EQ(server.Requests(1).size(), 1U);
  stop.request_stop();
  ASSERT_EQ(reply.wait_for(30s), std::future_status::ready);
  EXPECT_EQ(reply.get().failure, WebFailure::kStopped);
}

// One session: banner read, login and packet sent as given; without a banner or a listener, a
// failure that says so.
TEST(AprsSenderTest, SessionsAndTheirFailures) {
  ServiceTestServer server(Kind::kAprs);
  ServiceTestServer silent(Kind::kAprs, R"({"banner": null})");
  ASSERT_NE(server.Port() * silent.Port(), 0);
  const RefusingPort refusing;
  const std::string login = "user CW0001 pass -1 vers Nimbrel 0.1.0\r\n";
  const std::string packet = "CW0001>APRS,TCPIP*:@071230z4903.50N/07201.75W_220/004g005t077\r\n";
  const struct {
    std::uint16_t port;
    AprsOutcome outcome;
  } cases[] = {{server.Port(), AprsOutcome::kSent},
               {silent.Port(), AprsOutcome::kTimedOut},
               {refusing.port, AprsOutcome::kNoConnection}};
  SocketAprsSender sender({.banner = 2s});
  for (const auto& row : cases) {
    const AprsResult result = sender.Send({"127.0.0.1", row.port, login, packet}, {});
    EXPECT_EQ(result.outcome, row.outcome) << result.detail;
    EXPECT_EQ(result.detail.empty(), row.outcome == AprsOutcome::kSent) << result.detail;
  }
  EXPECT_EQ(server.Requests(2), (std::vector<std::string>{
                                    "user CW0001 pass -1 vers Nimbrel 0.1.0\\r\\n",
                                    "CW0001>APRS,TCPIP*:@071230z4903.50N/07201.75W_220/004g005t077"
                                    "\\r\\n"}));
  EXPECT_TRUE(silent.Requests(1, 1s).empty());
}

// An hour of outage at a server of our own, through the real client, on the fake clock: every
// request of the hour fails (unanswered or 503), then the readings missed follow the first
// success, once each and oldest first, while the live ones keep their five minutes.
TEST(ServiceOutageTest, AnHourDownIsCaughtUpOverTheNetwork) {
  std::string script = R"([{"status": 200}, {"status": 200})";
  for (int i = 0; i < 12; ++i) {
    script += i % 2 != 0 ? R"(, {"action": "close"})" : R"(, {"status": 503})";
  }
  ServiceTestServer server(Kind::kHttps, script + "]");
  ASSERT_NE(server.Port(), 0);
  World world;
  world.end = kStart + 2h;
  world.Give();
  CurlWebSender web({.connect = 30s, .whole = 30s});
  ServicesSettings settings;
  settings.Of(WeatherService::kPwsWeather) = {
      true, "PWS1", "secret", 5, true, server.Url("/api/v1/submitwx"), server.CaFile()};
  std::string why;
  const auto runner =
      MakeServiceRunner(WeatherService::kPwsWeather, settings, {&web, nullptr, &world}, why);
  ASSERT_NE(runner, nullptr) << why;
  world.runner = runner.get();
  runner->Offer(world.archive.back());
  runner->Run(world, {});

  std::vector<long> expected = Every(0, 70, 5);  // live, the hour's twelve failing
  for (const auto& more : {Every(10, 65, 5), Every(75, 115, 5)}) {  // caught up, then live
    expected.insert(expected.end(), more.begin(), more.end());
  }
  std::vector<long> sent;  // each request's reading, by its humidity: its minute
  for (const std::string& request : server.Requests(expected.size())) {
    const std::size_t at = request.find("&humidity=");
    ASSERT_NE(at, std::string::npos) << request;
    sent.push_back(std::stol(request.substr(at + 10)));
    char taken[64];  // and the reading's own time, in UTC
    std::snprintf(taken, sizeof taken, "dateutc=2026-12-07%%20%02ld%%3A%02ld%%3A00",
                  22 + sent.back() / 60, sent.back() % 60);
    EXPECT_NE(request.find(taken), std::string::npos) << request;
  }
  EXPECT_EQ(sent, expected);
}

}  // namespace
}  // namespace nimbrel::testing
