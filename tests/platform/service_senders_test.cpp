// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <future>
#include <string>
#include <vector>

#include "platform/aprs_socket_sender.h"
#include "platform/curl_web_sender.h"
#include "tests/support/service_test_server.h"
#include "tests/upload/local_http_server.h"

namespace nimbrel::testing {
namespace {

using namespace std::chrono_literals;

constexpr auto kHttps = ServiceTestServer::Kind::kHttps;
constexpr auto kAprs = ServiceTestServer::Kind::kAprs;

struct WebCase {
  const char* name;
  WebFailure failure;
  int status;
  std::string_view body;  // the start of the body kept
  std::size_t bodySize;
  std::optional<std::chrono::seconds> retryAfter;
};

// The server answers each row's request in order (the script below); a failure's words never
// show the query, which holds the key.
TEST(WebSenderTest, RepliesAndFailuresOfAnHttpsServer) {
  ServiceTestServer server(kHttps, R"([
      {"status": 200, "body": "success"},
      {"status": 429, "body": "too frequent", "headers": [["Retry-After", " 120 "]]},
      {"status": 429, "headers": [["Retry-After", "Wed, 21 Oct 2026 07:28:00 GMT"]]},
      {"status": 409, "body": "already received"},
      {"status": 403, "body": "wrong PIN"},
      {"status": 200, "body": ")" + std::string(3 * kWebReplyLimit, 'x') +
                                       R"("},
      {"action": "close"},
      {"action": "hang"}])");
  ASSERT_NE(server.Port(), 0);
  const std::vector<WebCase> cases = {
      {"200", WebFailure::kNone, 200, "success", 7, std::nullopt},
      {"429 seconds", WebFailure::kNone, 429, "too frequent", 12, 120s},
      {"429 date", WebFailure::kNone, 429, "", 0, std::nullopt},
      {"409", WebFailure::kNone, 409, "already received", 16, std::nullopt},
      {"403", WebFailure::kNone, 403, "wrong PIN", 9, std::nullopt},
      {"long body", WebFailure::kNone, 200, "xxxx", kWebReplyLimit, std::nullopt},
      {"closed unanswered", WebFailure::kNoConnection, 0, "", 0, std::nullopt},
      {"never answers", WebFailure::kTimedOut, 0, "", 0, std::nullopt},
  };
  CurlWebSender sender({.connect = 30s, .whole = 30s});
  CurlWebSender impatient({.connect = 30s, .whole = 2s});
  const WebRequest request{server.Url("/api/v1/submitwx?ID=A%20B&PASSWORD=secret&tempf=70.1"),
                           {{"Authorization", "Bearer hidden"}},
                           server.CaFile()};
  for (const WebCase& row : cases) {
    SCOPED_TRACE(row.name);
    const WebReply reply =
        (row.failure == WebFailure::kTimedOut ? impatient : sender).Get(request, {});
    EXPECT_EQ(reply.failure, row.failure) << reply.detail;
    EXPECT_EQ(reply.status, row.status);
    EXPECT_TRUE(reply.body.starts_with(row.body)) << reply.body.substr(0, 40);
    EXPECT_EQ(reply.body.size(), row.bodySize);
    EXPECT_EQ(reply.retryAfter, row.retryAfter);
    EXPECT_EQ(reply.detail.find("secret"), std::string::npos) << reply.detail;
    EXPECT_EQ(reply.detail.empty(), row.failure == WebFailure::kNone) << reply.detail;
  }
  const std::vector<std::string> seen = server.Requests(cases.size());
  ASSERT_EQ(seen.size(), cases.size());
  EXPECT_TRUE(seen[0].starts_with("/api/v1/submitwx?ID=A%20B&PASSWORD=secret&tempf=70.1\t"));
  EXPECT_NE(seen[0].find("\tAuthorization: Bearer hidden"), std::string::npos) << seen[0];
  EXPECT_NE(seen[0].find("\tUser-Agent: Nimbrel/"), std::string::npos) << seen[0];
}

// Failures before any reply: each says why, in words without the query, and sends nothing it
// should not.
TEST(WebSenderTest, FailuresBeforeAReply) {
  ServiceTestServer server(kHttps);
  ASSERT_NE(server.Port(), 0);
  const RefusingPort refusing;
  const std::string refused = "https://127.0.0.1:" + std::to_string(refusing.port) + "/?key=secret";
  const std::string query = "/?key=secret";
  struct Case {
    const char* name;
    WebRequest request;
    WebFailure failure;
  } cases[] = {
      {"refused", {refused, {}, server.CaFile()}, WebFailure::kNoConnection},
      {"untrusted", {server.Url(query), {}, ""}, WebFailure::kCertificate},
      {"unknown authority file",
       {server.Url(query), {}, "/nonexistent/ca.pem"},
       WebFailure::kCertificate},
      {"header injection",
       {server.Url(query), {{"X", "a\r\nEvil: 1"}}, server.CaFile()},
       WebFailure::kOther},
      {"not the web", {"ftp://127.0.0.1/?key=secret", {}, ""}, WebFailure::kOther},
  };
  CurlWebSender sender;
  for (const Case& row : cases) {
    SCOPED_TRACE(row.name);
    const WebReply reply = sender.Get(row.request, {});
    EXPECT_EQ(reply.failure, row.failure) << reply.detail;
    EXPECT_FALSE(reply.detail.empty());
    EXPECT_EQ(reply.detail.find("secret"), std::string::npos) << reply.detail;
  }
  // Only the untrusted-certificate attempts reached the server, and none got past the handshake.
  EXPECT_TRUE(server.Requests(1, 1s).empty());
}

// A stop ends a request the server never answers, long before its time-out.
TEST(WebSenderTest, StopEndsAHangingRequest) {
  ServiceTestServer server(kHttps, R"([{"action": "hang"}])");
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
  ServiceTestServer server(kAprs);
  ServiceTestServer silent(kAprs, R"({"banner": null})");
  ASSERT_NE(server.Port(), 0);
  ASSERT_NE(silent.Port(), 0);
  const RefusingPort refusing;
  const std::string login = "user CW0001 pass -1 vers Nimbrel 0.1.0\r\n";
  const std::string packet = "CW0001>APRS,TCPIP*:@071230z4903.50N/07201.75W_220/004g005t077\r\n";
  struct Case {
    const char* name;
    std::uint16_t port;
    AprsOutcome outcome;
  } cases[] = {
      {"sent", server.Port(), AprsOutcome::kSent},
      {"no banner", silent.Port(), AprsOutcome::kTimedOut},
      {"refused", refusing.port, AprsOutcome::kNoConnection},
  };
  SocketAprsSender sender({.banner = 2s});
  for (const Case& row : cases) {
    SCOPED_TRACE(row.name);
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

}  // namespace
}  // namespace nimbrel::testing
