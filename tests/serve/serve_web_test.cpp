// SPDX-License-Identifier: GPL-3.0-or-later
// nimbrel-cli serve's web dashboard, run as a user runs it, against the built-in console.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "platform/console_lock.h"
#include "tests/cli/cli_folder.h"
#include "tests/support/child_process.h"

namespace nimbrel::testing {
namespace {

using namespace std::chrono_literals;

std::uint16_t FreePort() {
  const int s = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
  getsockname(s, reinterpret_cast<sockaddr*>(&address), &size);
  close(s);
  return ntohs(address.sin_port);
}

// Sends `request` and reads until `until` arrives or the server closes (10 s at most).
std::string Exchange(std::uint16_t port, const std::string& request, std::string_view until = {}) {
  const int s = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  timeval wait{10, 0};
  setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
  std::string answer;
  if (connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      send(s, request.data(), request.size(), MSG_NOSIGNAL) ==
          static_cast<ssize_t>(request.size())) {
    char chunk[4096];
    for (ssize_t n; (until.empty() || answer.find(until) == std::string::npos) &&
                    (n = recv(s, chunk, sizeof chunk, 0)) > 0;) {
      answer.append(chunk, static_cast<std::size_t>(n));
    }
  }
  close(s);
  return answer;
}

// As a browser asks: it always takes gzip.
std::string Get(std::uint16_t port, const std::string& target) {
  return Exchange(port, "GET " + target +
                            " HTTP/1.1\r\nHost: x\r\nAccept-Encoding: gzip\r\n"
                            "Connection: close\r\n\r\n");
}

class ServeWeb : public CliFolderTest {
 protected:
  void Start(const std::string& args) {
    serve_ =
        std::make_unique<Child>("XDG_CONFIG_HOME=" + OutArg("config") + " exec " +
                                Quoted(NIMBREL_CLI) + " " + args + " 2>" + OutArg("serve.log"));
  }
  std::string WaitFor(std::uint16_t port, const std::string& target, std::string_view part) {
    std::string answer;
    for (int i = 0; i < 600 && (answer = Get(port, target)).find(part) == std::string::npos; ++i) {
      std::this_thread::sleep_for(100ms);
    }
    return answer;
  }

  const std::uint16_t port_ = FreePort();
  const std::string node_ = Out("hidraw0");
  std::unique_ptr<Child> serve_;
};

// While the window holds the console, the page serves the archive's figures and says why there is
// no live reading; once serve has the console, the live reading is there and streamed. Wrong
// requests get their status; no answer holds a key.
TEST_F(ServeWeb, ServesTheArchiveWhileWaitingAndTheLiveReadingOnceConnected) {
  const std::string archive = " --archive " + OutArg("a.sqlite");
  ASSERT_EQ(Cli("--simulate --console-records 600" + archive + " archive sync").exitCode, 0);
  std::ofstream{node_};
  ConsoleClaim window = ConsoleClaim::Take(node_);
  ASSERT_NE(window.lock, nullptr);
  Start("--simulate --console-node " + OutArg("hidraw0") + archive +
        " serve --sync-hours 0 --wu-id ID --wu-key SECRETKEY7 --wu-endpoint 127.0.0.1:9"
        " --http 127.0.0.1:" +
        std::to_string(port_));

  const std::string waiting = WaitFor(port_, "/api/v1/current", "\"console\":\"waiting\"");
  EXPECT_NE(waiting.find("HTTP/1.1 200"), std::string::npos) << waiting;
  const struct {
    std::string target;
    std::string status;
    std::string part;
  } requests[] = {
      {"/api/v1/stats?all", "200", "\"records\":600"},
      {"/api/v1/series?what=temperature&from=2025-1-1&to=2025-1-31&points=100", "200",
       "\"key\":\"outdoor_temperature\""},
      {"/api/v1/stats?month=2025-13", "400", "\"error\":"},
      {"/api/v1/nothing", "404", "\"error\":"},
      {"/", "200", "Content-Security-Policy"},
  };
  for (const auto& request : requests) {
    const std::string answer = Get(port_, request.target);
    EXPECT_NE(answer.find("HTTP/1.1 " + request.status), std::string::npos) << request.target;
    EXPECT_NE(answer.find(request.part), std::string::npos) << request.target << "\n" << answer;
    EXPECT_EQ(answer.find("SECRETKEY7"), std::string::npos) << request.target;
  }
  EXPECT_NE(Exchange(port_, "POST /api/v1/current HTTP/1.1\r\nContent-Length: 0\r\n\r\n", "\r\n")
                .find("HTTP/1.1 405"),
            std::string::npos);

  window.lock.reset();
  const std::string live = WaitFor(port_, "/api/v1/current", "\"console\":\"connected\"");
  EXPECT_NE(live.find("\"outdoor_temperature\":"), std::string::npos) << live;
  const std::string stream = Exchange(port_, "GET /api/v1/events HTTP/1.1\r\n\r\n", "data: {");
  EXPECT_NE(stream.find("event: state\ndata: {\"state\":{"), std::string::npos) << stream;
  EXPECT_EQ(stream.find("SECRETKEY7"), std::string::npos);

  // A second service cannot have the port --http names: it says so and ends.
  const CliRun taken = Cli("--simulate" + archive +
                           " serve --sync-hours 0 --http 127.0.0.1:" + std::to_string(port_));
  EXPECT_EQ(taken.exitCode, 1);
  EXPECT_NE(taken.err.find("the web dashboard cannot listen: "), std::string::npos) << taken.err;
  EXPECT_EQ(Cli("serve --http 127.0.0.1").exitCode, 2);

  serve_->Signal(SIGTERM);
  EXPECT_EQ(serve_->Wait(60s), 0);
  const std::string log = ReadFile(dir_ / "serve.log");
  EXPECT_NE(log.find("web dashboard: http://127.0.0.1:" + std::to_string(port_) + "/"),
            std::string::npos)
      << log;
  EXPECT_EQ(log.find("SECRETKEY7"), std::string::npos);
}

}  // namespace
}  // namespace nimbrel::testing
