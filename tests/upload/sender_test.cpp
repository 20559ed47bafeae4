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

constexpr auto kWu = ServerIndex::WeatherUnderground;
constexpr auto kWc = ServerIndex::Weathercloud;

UploadRequest Request(ServerIndex service, std::string text = "GET / HTTP/1.0\r\n\r\n") {
  UploadRequest request;
  request.service = service;
  request.endpoint = DefaultEndpoint(service);
  request.text = std::move(text);
  return request;
}

class UploadSenderTest : public ::testing::Test {
 protected:
  // Handles one request against a fresh socket script.
  void Handle(ServerIndex service, std::string text = "GET / HTTP/1.0\r\n\r\n") {
    sender.Handle(Request(service, std::move(text)), stop.get_token());
  }
  Events Take() {
    Events events = messages.Events();
    messages.Clear();
    return events;
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

TEST_F(UploadSenderTest, EachServiceIsJudgedOnItsOwnSign) {
  struct Case {
    ServerIndex service;
    std::string reply;
    Events expected;
  };
  const std::string ok = "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\n";
  const std::vector<Case> cases = {
      {kWu, ok + "success\n", {"ack wu", "wu acknowledged"}},
      {kWu,
       ok + "INVALIDPASSWORDID|Password or key and/or id are incorrect\n",
       {"wu not-acknowledged"}},
      {kWu, ok + std::string(1, '\0') + "success", {"wu not-acknowledged"}},
      {kWc, "HTTP/1.1 200 OK\r\n\r\n{\"code\":200}", {"ack wc", "wc acknowledged"}},
      {kWc, "HTTP/1.1 200\r\n\r\n", {"ack wc", "wc acknowledged"}},
      {kWc, "HTTP/1.1 429 Too Many\r\nContent-Length: 1200\r\n\r\n", {"wc not-acknowledged"}},
      {kWc, "HTTP/1.1 2000 Odd\r\n\r\n", {"wc not-acknowledged"}},
      {kWc, "HTTP/1.1 401 Unauthorized\r\n\r\nsuccess", {"wc not-acknowledged"}},
      {kWc, "200 OK\r\n\r\n", {"wc not-acknowledged"}},
  };
  for (const Case& c : cases) {
    Reset();
    clock.now += 601s;  // never held back by the Weathercloud spacing
    socket.Reply(c.reply, 7);
    Handle(c.service);
    EXPECT_EQ(Take(), c.expected) << c.reply;
  }
}

TEST_F(UploadSenderTest, LongReplyIsReadInFullButJudgedOnItsStart) {
  socket.Reply(std::string(1023, 'x') + "success" + std::string(1970, 'x'));
  Handle(kWu);
  socket.Reply("success" + std::string(2993, 'x'));
  Handle(kWu);
  for (const UploadResult& result : messages.Results()) {
    EXPECT_EQ(result.replyBytes, 3000U);
    EXPECT_EQ(result.replyText.size(), 1023U);
  }
  EXPECT_EQ(Take(), (Events{"wu not-acknowledged", "ack wu", "wu acknowledged"}));
}

TEST_F(UploadSenderTest, WholeRequestIsSentOverPartialSends) {
  const std::string text = "GET /" + std::string(1500, 'q') + " HTTP/1.0\r\n\r\n";
  socket.sendLimit = 100;
  Handle(kWu, text);
  EXPECT_EQ(socket.sent, text);
  EXPECT_EQ(socket.sendCalls, 16);
  EXPECT_EQ(socket.sendTimeoutsSet, 16);  // set before every call
  EXPECT_EQ(socket.closes, 1);
}

TEST_F(UploadSenderTest, HostIsTriedFiveTimesOneSecondApart) {
  socket.openFailures = 100;
  Handle(kWu);
  EXPECT_EQ(socket.opens, 5);
  EXPECT_EQ(clock.pauses, (std::vector<std::chrono::milliseconds>(4, 1000ms)));
  EXPECT_EQ(Take(), (Events{"wu no-connection"}));

  Reset();
  clock.pauses.clear();
  socket.openFailures = 2;
  socket.Reply("success");
  Handle(kWu);
  EXPECT_EQ(socket.opens, 3);
  EXPECT_EQ(Take(), (Events{"ack wu", "wu acknowledged"}));
}

TEST_F(UploadSenderTest, FailuresWriteTheirDiagnosticLines) {
  struct Case {
    const char* name;
    void (*script)(ScriptedSocket&);
    std::string expectedLines;
    const char* expectedEvent;
  };
  const std::vector<Case> cases = {
      {"connect timeout", [](ScriptedSocket& s) { s.connect = SocketStatus::kTimeout; },
       "send timeout!\n", "wu send-failed"},
      {"send timeout set late",
       [](ScriptedSocket& s) {
         s.sendTimeoutFailures = 2;
         s.Reply("success");
       },
       "set sendtimeout error/nset sendtimeout error/n", "wu acknowledged"},
      {"send timeout never set", [](ScriptedSocket& s) { s.sendTimeoutFailures = 100; },
       "set sendtimeout error/nset sendtimeout error/nset sendtimeout error/n"
       "set sendtimeout error/n",
       "wu send-failed"},
      {"receive timeout never set", [](ScriptedSocket& s) { s.receiveTimeoutFailures = 100; },
       "set revtimeout error/nset revtimeout error/nset revtimeout error/nset revtimeout error/n",
       "wu receive-failed"},
      {"receive timeout after a part",
       [](ScriptedSocket& s) {
         s.Reply("HTTP/1.0 200 OK\r\n\r\nsuccess");
         s.receives.push_back({SocketStatus::kTimeout});
       },
       "recv timeout!\n", "wu receive-failed"},
      {"closed without a reply", [](ScriptedSocket&) {}, "", "wu no-reply"},
  };
  for (const Case& c : cases) {
    Reset();
    c.script(socket);
    Handle(kWu);
    EXPECT_EQ(diagnostics.str(), c.expectedLines) << c.name;
    EXPECT_EQ(messages.Events().back(), c.expectedEvent) << c.name;
    EXPECT_EQ(socket.closes, 1) << c.name;
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
  EXPECT_EQ(clock.pauses, (std::vector<std::chrono::milliseconds>(41, 5s)));
  EXPECT_EQ(clock.now, 5s + 605s);

  // Weather Underground is never held back.
  clock.pauses.clear();
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
  clock.pauses.clear();
  socket.connect = SocketStatus::kError;
  clock.now += 600s;
  Handle(kWc);
  clock.now += 305001ms;
  socket.connect = SocketStatus::kOk;
  socket.Reply("HTTP/1.0 200 OK\r\n\r\n");
  Handle(kWc);
  EXPECT_EQ(clock.pauses.size(), 59U);
  EXPECT_EQ(Take(), (Events{"ack wc", "wc acknowledged", "ack wc", "wc acknowledged", "ack wu",
                            "wu acknowledged", "wc dropped", "wc send-failed", "ack wc",
                            "wc acknowledged"}));
}

}  // namespace
}  // namespace nimbrel::testing
