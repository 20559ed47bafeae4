// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <algorithm>
#include <future>
#include <numeric>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "platform/upload_socket_factory.h"
#include "tests/upload/local_http_server.h"
#include "tests/upload/upload_fakes.h"
#include "upload/upload_request.h"
#include "upload/upload_worker.h"

namespace nimbrel::testing {
namespace {

using namespace std::chrono_literals;

// Everything here talks to 127.0.0.1 only.
class UploadWorkerTest : public ::testing::Test {
 protected:
  void Start() { worker.emplace(UploadLink{*socket, clock, diagnostics, timeouts}, messages); }
  UploadEndpoint Local() const { return {"127.0.0.1", server.Port()}; }
  UploadRequest Request(ServerIndex service, std::string_view parameters,
                        const UploadEndpoint& endpoint) const {
    return *BuildUploadRequest(service, parameters, true, {u"ID 1&x", u"k\u00e9y"}, endpoint);
  }
  // True when Stop returns well within the time a hanging wait (or a five-second pause) takes.
  bool StopsPromptly() {
    return std::async(std::launch::async, [this] { worker->Stop(); }).wait_for(2s) ==
           std::future_status::ready;
  }

  LocalHttpServer server;
  std::unique_ptr<UploadSocket> socket = MakeUploadSocket();
  SteadyUploadClock clock;
  std::ostringstream diagnostics;
  RecordingUploads messages;
  UploadTimeouts timeouts{.send = 2s, .receive = 1s, .retryPause = 10ms};
  std::optional<UploadWorker> worker;
};

// Each request reaches the server byte for byte; each fault costs only its own request, and a
// slow, endless or garbage reply cannot hold the worker.
TEST_F(UploadWorkerTest, EachFaultCostsOnlyItsOwnRequest) {
  const RefusingPort refusing;
  std::string garbage(700, '\0');
  std::iota(garbage.begin(), garbage.end(), '\7');  // every byte value, CR, LF and NUL among them
  timeouts.reply = 1500ms;
  for (ServerReply reply : std::initializer_list<ServerReply>{
           {"HTTP/1.1 200 OK\r\nContent-Type: application/json\r\n\r\n{\"code\":200}"},
           {"HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\nsuccess\n"},
           {"HTTP/1.0 200 OK\r\n\r\nsuccess", true},
           // Every byte well within the receive time-out, but the whole never ends in time.
           {.text = "HTTP/1.0 200 OK\r\n\r\nsuccess", .trickle = 300ms},
           {.text = "HTTP/1.0 200 OK\r\n\r\nsuccess success ", .endless = true},
           {garbage}}) {
    server.Script(reply);
  }
  Start();
  // Each service has its own thread: the Weathercloud request first, so that the replies go in
  // the scripted order.
  worker->Post(Request(kWc, "/temp/211/hum/43", Local()));
  ASSERT_TRUE(messages.WaitForFinished(1, 60s));
  worker->Post(Request(kWu, "tempf=70.1&baromin=29.92", Local()));
  worker->Post(Request(kWu, "n=3", Local()));
  worker->Post(Request(kWu, "n=4", {"127.0.0.1", refusing.port}));
  for (int n = 5; n <= 8; ++n) {
    worker->Post(Request(kWu, "n=" + std::to_string(n), Local()));
  }
  worker->Post(Request(kWu, "n=9", {"::1", 80}));  // no IPv4 address: fails without a lookup
  ASSERT_TRUE(messages.WaitForFinished(9, 60s));

  // The requests' bytes themselves are the sender test's.
  const std::vector<std::string> requests = server.WaitForRequests(7, 1s);
  ASSERT_EQ(requests.size(), 7U);
  EXPECT_EQ(requests[0], Request(kWc, "/temp/211/hum/43", Local()).text);
  EXPECT_EQ(requests[1], Request(kWu, "tempf=70.1&baromin=29.92", Local()).text);
  EXPECT_EQ(messages.Take(),
            (Events{"ack wc", "wc acknowledged", "ack wu", "wu acknowledged", "wu receive-failed",
                    "wu send-failed", "wu receive-failed", "wu receive-failed",
                    "wu not-acknowledged", "ack wu", "wu acknowledged", "wu no-connection"}));
  worker->Stop();
  EXPECT_EQ(diagnostics.str(), "recv timeout!\nrecv timeout!\nrecv timeout!\n");
}

// Nothing is handed off once stopping.
TEST_F(UploadWorkerTest, StopEndsAWeathercloudWaitAndASilentServersWait) {
  timeouts.receive = 1h;
  server.Script({"HTTP/1.0 200 OK\r\n\r\n"});
  server.Script({"", true});
  Start();
  worker->Post(Request(kWc, "/n/1", Local()));
  worker->Post(Request(kWc, "/n/2", Local()));  // ten minutes too soon
  ASSERT_TRUE(messages.WaitForFinished(1, 20s));
  EXPECT_TRUE(StopsPromptly());
  Start();
  worker->Post(Request(kWu, "n=3", Local()));
  ASSERT_EQ(server.WaitForRequests(2, 20s).size(), 2U);
  EXPECT_TRUE(StopsPromptly());
  EXPECT_EQ(messages.Take(), (Events{"ack wc", "wc acknowledged"}));
}

// Weathercloud's hold (a request ten minutes too soon waits up to five) and a host that never
// answers each keep only their own service waiting, over one shared socket or one each.
TEST_F(UploadWorkerTest, EachServiceGoesOnWhileTheOtherWaits) {
  const std::unique_ptr<UploadSocket> ownSocket = MakeUploadSocket();
  std::ostringstream ownDiagnostics;
  LocalHttpServer silent;
  timeouts.receive = 1h;
  silent.Script({"", true});
  for (const bool separate : {false, true}) {
    SCOPED_TRACE(separate ? "a socket each" : "one socket");
    const UploadLink wuLink{*socket, clock, diagnostics, timeouts};
    const UploadLink wcLink{separate ? *ownSocket : *socket, clock,
                            separate ? ownDiagnostics : diagnostics, timeouts};
    worker.emplace(wuLink, wcLink, messages);
    // Both at once: over one socket, one exchange after the other.
    worker->Post(Request(kWc, "/n/1", Local()));
    worker->Post(Request(kWu, "n=2", Local()));
    ASSERT_TRUE(messages.WaitForFinished(2, 60s));
    Events both = messages.Take();
    std::sort(both.begin(), both.end());
    EXPECT_EQ(both, (Events{"ack wc", "ack wu", "wc acknowledged", "wu acknowledged"}));
    worker->Post(Request(kWc, "/n/3", Local()));  // held for ten minutes
    worker->Post(Request(kWu, "n=4", Local()));
    ASSERT_TRUE(messages.WaitForFinished(1, 60s));
    EXPECT_EQ(messages.Take(), (Events{"ack wu", "wu acknowledged"}));
    if (separate) {
      // A Weather Underground host that never answers leaves Weathercloud's requests alone (on
      // a fresh worker, whose first Weathercloud request goes at once).
      worker.emplace(wuLink, wcLink, messages);
      worker->Post(Request(kWu, "n=5", {"127.0.0.1", silent.Port()}));
      ASSERT_EQ(silent.WaitForRequests(1, 60s).size(), 1U);
      worker->Post(Request(kWc, "/n/6", Local()));
      ASSERT_TRUE(messages.WaitForFinished(1, 60s));
      EXPECT_EQ(messages.Take(), (Events{"ack wc", "wc acknowledged"}));
    }
    EXPECT_TRUE(StopsPromptly());
  }
}

}  // namespace
}  // namespace nimbrel::testing
