// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "tests/upload/upload_fakes.h"
#include "upload/upload_request.h"
#include "upload/upload_worker.h"

namespace nimbrel::testing {
namespace {

using namespace std::chrono_literals;
using Pauses = std::vector<std::chrono::milliseconds>;

std::string Build(ServerIndex service, std::string_view parameters, std::u16string id,
                  std::u16string key, const UploadEndpoint& endpoint) {
  const auto request = BuildUploadRequest(service, parameters, true, {id, key}, endpoint);
  return request ? request->text : "<none>";
}

TEST(UploadRequestTest, BytesOfEachService) {
  const auto wu = BuildUploadRequest(kWu, "tempf=71.2&humidity=40&dateutc=now", true,
                                     {u"KXX123", u"s3cret"}, DefaultEndpoint(kWu));
  ASSERT_TRUE(wu);
  EXPECT_EQ(wu->text,
            "GET /weatherstation/updateweatherstation.php?ID=KXX123&PASSWORD=s3cret&"
            "tempf=71.2&humidity=40&dateutc=now&softwaretype=vws%20versionxx&action=updateraw&"
            "realtime=1&rtfreq2.5 HTTP/1.0\r\nHost:  rtupdate.wunderground.com\r\n\r\n");
  EXPECT_EQ(MaskedRequestLine(*wu),
            "GET /weatherstation/updateweatherstation.php?ID=KXX123&PASSWORD=***&tempf=71.2&"
            "humidity=40&dateutc=now&softwaretype=vws%20versionxx&action=updateraw&realtime=1&"
            "rtfreq2.5 HTTP/1.0");
  // A space and an ampersand stay as they are; e-acute, the euro sign and an emoji (a surrogate
  // pair) each go out once, as UTF-8. The parameters end at their first zero byte.
  EXPECT_EQ(Build(kWc, std::string_view("/t/1\0/x/2", 9), u"my st&tion",
                  u"cl\u00e9\u20ac\U0001F600", DefaultEndpoint(kWc)),
            "GET /v01/set/wid/my st&tion/key/cl\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80/t/1 "
            "HTTP/1.0\r\nHost:  api.weathercloud.net\r\n\r\n");
  // Texts are cut to 63 characters.
  EXPECT_EQ(Build(kWc, "", std::u16string(70, u'i'), u"k", {.host = "127.0.0.1", .port = 8080}),
            "GET /v01/set/wid/" + std::string(63, 'i') +
                "/key/k HTTP/1.0\r\nHost:  127.0.0.1:8080\r\n\r\n");
  // Parameters are cut to 1023 bytes, and a request longer than that is kept whole.
  const std::string text = Build(kWu, std::string(1100, 'p'), std::u16string(63, u'i'),
                                 std::u16string(63, u'k'), DefaultEndpoint(kWu));
  EXPECT_NE(text.find("&" + std::string(1023, 'p') + "&softwaretype="), std::string::npos);
  EXPECT_TRUE(text.ends_with(" HTTP/1.0\r\nHost:  rtupdate.wunderground.com\r\n\r\n"));
  // Nothing without Auto Upload, an ID or a key.
  EXPECT_FALSE(BuildUploadRequest(kWu, "p", false, {u"id", u"key"}, DefaultEndpoint(kWu)));
  EXPECT_EQ(Build(kWu, "p", u"", u"key", DefaultEndpoint(kWu)), "<none>");
  EXPECT_EQ(Build(kWc, "p", u"id", u"", DefaultEndpoint(kWc)), "<none>");
}

TEST(UploadRequestTest, ParseEndpoint) {
  EXPECT_EQ(ParseEndpoint("wx.example.org"), (UploadEndpoint{"wx.example.org", 80}));
  EXPECT_EQ(ParseEndpoint("127.0.0.1:65535"), (UploadEndpoint{"127.0.0.1", 65535}));
  for (const std::string_view bad :
       {"", ":80", "host:", "host:0", "host:65536", "host:8o", "a\r\nX: y", "host:80:81"}) {
    EXPECT_FALSE(ParseEndpoint(bad)) << bad;
  }
  EXPECT_FALSE(ParseEndpoint(std::string(128, 'h')));
}

class UploadSenderTest : public ::testing::Test {
 protected:
  // Handles one request, then forgets the pauses it took.
  void Handle(ServerIndex service, std::string text = "GET / HTTP/1.0\r\n\r\n") {
    clock.pauses.clear();
    sender.Handle({service, DefaultEndpoint(service), std::move(text)}, stop.get_token());
  }

  ScriptedSocket socket;
  FakeClock clock;
  std::ostringstream diagnostics;
  RecordingUploads messages;
  std::stop_source stop;
  UploadSender sender{{socket, clock, diagnostics}, messages};
};

// Every byte of a reply is read, but only its first 1023 bytes are judged; each failure writes
// its diagnostic lines and closes the socket.
TEST_F(UploadSenderTest, EachServiceIsJudgedOnItsOwnSignAndFailuresAreWrittenDown) {
  using enum SocketStatus;
  struct Case {
    ServerIndex service;
    std::string reply;
    Events events;
    SocketStatus connect = kOk;
    int sendTimeoutFailures = 0, receiveTimeoutFailures = 0;
    bool thenTimeout = false;  // after the reply, a receive that times out
    std::string lines;
    int openFailures = 0;
  };
  const std::string ok = "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\n";
  const std::string send = "set sendtimeout error/n", receive = "set revtimeout error/n";
  const Events wuAck = {"ack wu", "wu acknowledged"}, wuNot = {"wu not-acknowledged"};
  const std::string tooLong = "success" + std::string(1 << 20, 'x');  // past the size limit
  const Case cases[] = {
      {kWu, ok + "success\n", wuAck},
      {kWu, ok + "INVALIDPASSWORDID|Password or key are incorrect\n", wuNot},
      {kWu, ok + std::string(1, '\0') + "success", wuNot},
      {kWu, "success" + std::string(2993, 'x'), wuAck},
      {kWu, std::string(1023, 'x') + "success" + std::string(1970, 'x'), wuNot},
      {kWc, "HTTP/1.1 200 OK\r\n\r\n{\"code\":200}", {"ack wc", "wc acknowledged"}},
      {kWc, "HTTP/1.1 200\r\n\r\n", {"ack wc", "wc acknowledged"}},
      {kWc, "HTTP/1.1 2000 Odd\r\n\r\n", {"wc not-acknowledged"}},
      {kWc, "HTTP/1.1 401 Unauthorized\r\n\r\nsuccess", {"wc not-acknowledged"}},
      {kWc, "200 OK\r\n\r\n", {"wc not-acknowledged"}},
      {kWu, "", {"wu send-failed"}, kTimeout, 0, 0, false, "send timeout!\n"},
      {kWu, "success", wuAck, kOk, 2, 0, false, send + send, 2},  // reached at the third try
      {kWu, "", {"wu send-failed"}, kOk, 100, 0, false, send + send + send + send},
      {kWu, "", {"wu receive-failed"}, kOk, 0, 100, false, receive + receive + receive + receive},
      {kWu, ok + "success", {"wu receive-failed"}, kOk, 0, 0, true, "recv timeout!\n"},
      {kWu, "", {"wu no-reply"}},
      {kWu, tooLong, {"wu receive-failed"}, kOk, 0, 0, false, "recv timeout!\n"},
      {kWu, "", {"wu no-connection"}, kOk, 0, 0, false, "", 100},  // five tries, a second apart
  };
  for (const Case& c : cases) {
    socket = {};
    diagnostics.str("");
    clock.now += 601s;  // never held back by the Weathercloud spacing
    socket.connect = c.connect;
    socket.sendTimeoutFailures = c.sendTimeoutFailures;
    socket.receiveTimeoutFailures = c.receiveTimeoutFailures;
    socket.openFailures = c.openFailures;
    socket.Reply(c.reply, 7);
    if (c.thenTimeout) {
      socket.receives.emplace_back(kTimeout, "");
    }
    Handle(c.service);
    std::vector<UploadResult> results;
    EXPECT_EQ(messages.Take(&results), c.events) << c.reply;
    const UploadResult result = results.at(0);
    EXPECT_EQ(diagnostics.str(), c.lines) << c.reply;
    EXPECT_EQ(socket.closes, 1) << c.reply;
    EXPECT_EQ(socket.opens, std::min(c.openFailures + 1, 5));
    EXPECT_EQ(clock.pauses, Pauses(static_cast<std::size_t>(std::min(c.openFailures, 4)), 1s));
    // A reply that fails keeps nothing of what came before.
    const std::string kept = c.events.back().ends_with("receive-failed") ? "" : c.reply;
    EXPECT_EQ(result.replyBytes, kept.size());
    EXPECT_EQ(result.replyText, kept.substr(0, std::min<std::size_t>(kept.find('\0'), 1023)));
  }
}

TEST_F(UploadSenderTest, WeathercloudRequestsAreTenMinutesApart) {
  clock.now = 5s;  // the computer has just started: the first request still goes at once
  socket.Reply("HTTP/1.0 200 OK\r\n\r\n");
  Handle(kWc);
  EXPECT_TRUE(clock.pauses.empty());

  // 400 s later: 41 pauses of 5 s, then it goes, about 205 s later.
  clock.now += 400s;
  socket.Reply("HTTP/1.0 200 OK\r\n\r\n");
  Handle(kWc);
  EXPECT_EQ(clock.pauses, Pauses(41, 5s));
  EXPECT_EQ(clock.now, 5s + 605s);

  // Weather Underground is never held back; a long request goes out whole over partial sends,
  // each with its time-out set first.
  const std::string text = "GET /" + std::string(1500, 'q') + " HTTP/1.0\r\n\r\n";
  socket = {};
  socket.sendLimit = 100;
  socket.Reply("success");
  Handle(kWu, text);
  EXPECT_TRUE(clock.pauses.empty());
  EXPECT_EQ(socket.sent, text);
  EXPECT_EQ(socket.sendCalls, 16);
  EXPECT_EQ(socket.sendTimeoutsSet, 16);

  // 305 s after the last send: its sixtieth check, at 600 s, is still too soon; dropped unsent
  // after the sixtieth pause, without a check at 605 s.
  clock.now += 305s;
  const int opensBefore = socket.opens;
  Handle(kWc);
  EXPECT_EQ(clock.pauses.size(), 60U);
  EXPECT_EQ(socket.opens, opensBefore);

  // A failed send still takes its turn. 305.001 s after it, the sixtieth check (600.001 s) is
  // just past the ten minutes: sent after 59 pauses.
  socket.connect = SocketStatus::kError;
  clock.now += 600s;
  Handle(kWc);
  clock.now += 305001ms;
  socket.connect = SocketStatus::kOk;
  socket.Reply("HTTP/1.0 200 OK\r\n\r\n");
  Handle(kWc);
  EXPECT_EQ(clock.pauses.size(), 59U);

  EXPECT_EQ(messages.Take(), (Events{"ack wc", "wc acknowledged", "ack wc", "wc acknowledged",
                                     "ack wu", "wu acknowledged", "wc dropped", "wc send-failed",
                                     "ack wc", "wc acknowledged"}));
}

}  // namespace
}  // namespace nimbrel::testing
