#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "tests/upload/upload_fakes.h"
#include "upload/upload_worker.h"

namespace nimbrel::testing {
namespace {

using namespace std::chrono_literals;
using Events = std::vector<std::string>;
using Pauses = std::vector<std::chrono::milliseconds>;

constexpr auto kWu = ServerIndex::WeatherUnderground;
constexpr auto kWc = ServerIndex::Weathercloud;

class UploadSenderTest : public ::testing::Test {
 protected:
  // Handles one request, then forgets the pauses it took.
  void Handle(ServerIndex service, std::string text = "GET / HTTP/1.0\r\n\r\n") {
    clock.pauses.clear();
    sender.Handle({service, DefaultEndpoint(service), std::move(text)}, stop.get_token());
  }
  void Reset() {
    socket = {};
    diagnostics.str("");
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
  };
  const std::string ok = "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\n";
  const std::string send = "set sendtimeout error/n", receive = "set revtimeout error/n";
  const Events wuAck = {"ack wu", "wu acknowledged"}, wuNot = {"wu not-acknowledged"};
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
      {kWu, "success", wuAck, kOk, 2, 0, false, send + send},
      {kWu, "", {"wu send-failed"}, kOk, 100, 0, false, send + send + send + send},
      {kWu, "", {"wu receive-failed"}, kOk, 0, 100, false, receive + receive + receive + receive},
      {kWu, ok + "success", {"wu receive-failed"}, kOk, 0, 0, true, "recv timeout!\n"},
      {kWu, "", {"wu no-reply"}},
  };
  for (const Case& c : cases) {
    Reset();
    clock.now += 601s;  // never held back by the Weathercloud spacing
    socket.connect = c.connect;
    socket.sendTimeoutFailures = c.sendTimeoutFailures;
    socket.receiveTimeoutFailures = c.receiveTimeoutFailures;
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
    // A reply that times out keeps nothing of what came before.
    const std::string kept = c.thenTimeout ? "" : c.reply;
    EXPECT_EQ(result.replyBytes, kept.size());
    EXPECT_EQ(result.replyText, kept.substr(0, std::min<std::size_t>(kept.find('\0'), 1023)));
  }
}

// Five attempts one second apart to reach the host; the whole request over partial sends, each
// with its time-out set first.
TEST_F(UploadSenderTest, HostIsTriedFiveTimesAndTheWholeRequestIsSent) {
  const std::string text = "GET /" + std::string(1500, 'q') + " HTTP/1.0\r\n\r\n";
  socket.openFailures = 2;
  socket.sendLimit = 100;
  socket.Reply("success");
  Handle(kWu, text);
  EXPECT_EQ(socket.opens, 3);
  EXPECT_EQ(socket.sent, text);
  EXPECT_EQ(socket.sendCalls, 16);
  EXPECT_EQ(socket.sendTimeoutsSet, 16);
  EXPECT_EQ(socket.closes, 1);

  Reset();
  socket.openFailures = 100;
  Handle(kWu);
  EXPECT_EQ(socket.opens, 5);
  EXPECT_EQ(clock.pauses, Pauses(4, 1000ms));
  EXPECT_EQ(messages.Take(), (Events{"ack wu", "wu acknowledged", "wu no-connection"}));
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

  // Weather Underground is never held back.
  socket.Reply("success");
  Handle(kWu);
  EXPECT_TRUE(clock.pauses.empty());

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

  // Once stopping, a request that must wait is given up, and nothing is handed off.
  stop.request_stop();
  Handle(kWc);
  EXPECT_LE(clock.pauses.size(), 1U);
  EXPECT_EQ(messages.Take(), (Events{"ack wc", "wc acknowledged", "ack wc", "wc acknowledged",
                                     "ack wu", "wu acknowledged", "wc dropped", "wc send-failed",
                                     "ack wc", "wc acknowledged"}));
}

}  // namespace
}  // namespace nimbrel::testing
