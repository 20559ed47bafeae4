// SPDX-License-Identifier: GPL-3.0-or-later
// nimbrel-cli serve as it runs unattended, against a real mosquitto on a free port of 127.0.0.1
// and the built-in console: what Home Assistant reads, how the service ends, that a broker that
// is away holds nothing up, and how the publisher copes with brokers that drop it or never answer.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/mqtt_mosquitto.h"
#include "service/mqtt_publisher.h"
#include "tests/support/child_process.h"
#include "tests/support/service_test_server.h"
#include "tests/support/temp_dir.h"
#include "tests/upload/local_http_server.h"

namespace nimbrel::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// A port of 127.0.0.1 that nothing uses once the test's socket is gone.
std::uint16_t FreePort() {
  return RefusingPort().port;
}

// The first `count` messages of a topic, retained ones included, "topic payload" a line; fewer
// after `seconds`.
std::string Read(std::uint16_t port, const std::string& topic, int count = 1, int seconds = 20,
                 const std::string& options = "") {
  const std::string command = "mosquitto_sub -h 127.0.0.1 -p " + std::to_string(port) + " -t '" +
                              topic + "' -v -C " + std::to_string(count) + " -W " +
                              std::to_string(seconds) + options + " 2>/dev/null";
  std::string out;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char chunk[4096];
    for (std::size_t n; (n = fread(chunk, 1, sizeof chunk, pipe)) > 0;) {
      out.append(chunk, n);
    }
    pclose(pipe);
  }
  return out;
}

// The lines a publisher logs, waited for by the test's thread.
class LogRecorder {
 public:
  struct Line {
    std::string text;
    bool detail;
  };

  ServiceLogLine Sink() {
    return [this](std::string_view text, bool detail) {
      std::lock_guard lock(mutex_);
      lines_.push_back({std::string(text), detail});
      changed_.notify_all();
    };
  }
  // The first line that holds `text`, if one comes within `limit`.
  std::optional<Line> WaitFor(std::string_view text, std::chrono::seconds limit) {
    std::unique_lock lock(mutex_);
    std::optional<Line> found;
    changed_.wait_for(lock, limit, [&] {
      for (const Line& line : lines_) {
        if (line.text.find(text) != std::string::npos) {
          found = line;
          return true;
        }
      }
      return false;
    });
    return found;
  }
  std::vector<Line> Lines() {
    std::lock_guard lock(mutex_);
    return lines_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Line> lines_;
};

// A live text with readings, dashes and fields that are not numbers, and its state object. A
// pressure is never below zero: any dash marks it as none.
constexpr std::string_view kLiveText =
    "57 2025-3-4 10:15 -3.5 45 --.- x1 -.- 0.0 12.5 1-2 270 W 1013.2 -1 3 -10.25 --.- 20.1 50 "
    "--.- -- --.- -- --.- -- --.- -- --.- -- --.- -- -0.5 1.2 abc 7";
constexpr std::string_view kState =
    "{\"indoor_temperature\":-3.5,\"indoor_humidity\":45,\"outdoor_temperature\":null,"
    "\"outdoor_humidity\":null,\"rain_daily\":null,\"rain_rate\":0,\"wind_speed\":12.5,"
    "\"wind_gust\":null,\"wind_direction\":270,\"pressure_relative\":1013.2,"
    "\"pressure_absolute\":null,\"uv_index\":3,\"dew_point\":-10.25,\"heat_index\":null,"
    "\"ch1_temperature\":20.1,\"ch1_humidity\":50,\"ch2_temperature\":null,\"ch2_humidity\":null,"
    "\"ch3_temperature\":null,\"ch3_humidity\":null,\"ch4_temperature\":null,"
    "\"ch4_humidity\":null,\"ch5_temperature\":null,\"ch5_humidity\":null,"
    "\"ch6_temperature\":null,\"ch6_humidity\":null,\"ch7_temperature\":null,"
    "\"ch7_humidity\":null,\"wind_chill\":-0.5,\"rain_hourly\":1.2,\"rain_weekly\":null,"
    "\"rain_monthly\":7,\"logger\":57,\"outdoor_temperature_high_today\":null,"
    "\"outdoor_temperature_high_today_time\":null,\"outdoor_temperature_low_today\":null,"
    "\"outdoor_temperature_low_today_time\":null,\"rain_season\":null,\"wind_compass\":\"W\","
    "\"date\":\"2025-3-4\","
    "\"time\":\"10:15\"}";

class ServeWithBroker : public ::testing::Test {
 protected:
  void SetUp() override {
    std::ofstream(dir_ / "live.txt") << kLiveText << "\n";
    std::ofstream(dir_ / "broker.conf")
        << "listener " << port_ << " 127.0.0.1\nallow_anonymous true\npersistence false\n";
  }

  std::unique_ptr<Child> StartBroker() {
    auto broker = std::make_unique<Child>("exec " + std::string(MOSQUITTO) + " -c '" +
                                          (dir_ / "broker.conf").string() + "' 2>/dev/null");
    for (int i = 0; i < 100 && !Accepts(); ++i) {
      std::this_thread::sleep_for(50ms);
    }
    return broker;
  }

  std::unique_ptr<Child> Serve(const std::string& options, const std::string& environment = "",
                               const std::string& log = "serve.log") {
    return std::make_unique<Child>(
        "exec env XDG_CONFIG_HOME='" + (dir_ / "config").string() + "' XDG_DATA_HOME='" +
        (dir_ / "data").string() + "' XDG_STATE_HOME='" + (dir_ / "state").string() + "' " +
        environment + " '" + NIMBREL_CLI + "' --simulate --console-live '" +
        (dir_ / "live.txt").string() + "' --console-period " + options + " 2>>'" +
        (dir_ / log).string() + "'");
  }

  std::string Log(const std::string& name = "serve.log") const { return ReadFile(dir_ / name); }
  // Whether the log comes to hold `part` `count` times within a minute.
  bool LogHolds(const std::string& name, std::string_view part, std::size_t count = 1) const {
    for (int i = 0; i < 600 && Count(Log(name), part) < count; ++i) {
      std::this_thread::sleep_for(100ms);
    }
    return Count(Log(name), part) >= count;
  }

  PublisherOptions Publisher(std::string clientId) const {
    PublisherOptions options;
    options.broker = {"127.0.0.1", port_, false};
    options.session.clientId = std::move(clientId);
    options.discovery = false;
    options.firstRetry = 100ms;
    options.longestRetry = 3200ms;
    options.connectWait = 500ms;
    return options;
  }

  std::string Status() const { return Read(port_, "nimbrel/status"); }

  bool Accepts() const {
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port_);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool connected = connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    close(s);
    return connected;
  }

  const std::uint16_t port_ = FreePort();
  const std::string mqtt_ = " --sync-hours 0 --mqtt mqtt://127.0.0.1:" + std::to_string(port_);
  const TempDir folder_{"nimbrel-serve-"};
  const fs::path& dir_ = folder_.Path();
};

// What Home Assistant reads, then "offline" after a clean stop (within 2 s, exit 0) and, through
// the will, after the service is killed.
TEST_F(ServeWithBroker, PublishesStateAndDiscoveryAndGoesOfflineHoweverItEnds) {
  const auto broker = StartBroker();
  for (const int signal : {SIGTERM, SIGKILL}) {
    const auto serve = Serve("live=1,wu=0,wc=0,time=0 serve" + mqtt_);
    EXPECT_EQ(Read(port_, "nimbrel/state"), "nimbrel/state " + std::string(kState) + "\n");
    EXPECT_EQ(Status(), "nimbrel/status online\n");
    const std::string configs = Read(port_, "homeassistant/sensor/nimbrel/+/config", 36);
    EXPECT_EQ(std::count(configs.begin(), configs.end(), '\n'), 36);
    EXPECT_NE(configs.find("/outdoor_temperature/config {\"name\":\"Outdoor temperature\""),
              std::string::npos);
    serve->Signal(signal);
    EXPECT_EQ(serve->Wait(2s), signal == SIGTERM ? 0 : 128 + SIGKILL);
    EXPECT_EQ(Status(), "nimbrel/status offline\n") << signal;
    std::system(("mosquitto_pub -p " + std::to_string(port_) + " -t nimbrel/status -r -n").c_str());
  }
}

// The state says how each weather service that is on fared.
TEST_F(ServeWithBroker, StateCarriesEachServicesLastSuccess) {
  const auto broker = StartBroker();
  ServiceTestServer cwop(ServiceTestServer::Kind::kAprs);
  ASSERT_NE(cwop.Port(), 0);
  const std::string settings = "env XDG_CONFIG_HOME='" + (dir_ / "config").string() + "' '" +
                               NIMBREL_CLI + "' services set cwop --on --id EW1234 --lat 49.5 " +
                               "--lon -72 --endpoint 127.0.0.1:" + std::to_string(cwop.Port());
  ASSERT_EQ(std::system(settings.c_str()), 0);
  const auto serve = Serve("live=1,wu=0,wc=0,time=0 serve --verbose" + mqtt_);
  EXPECT_TRUE(LogHolds("serve.log", "CWOP upload: done")) << Log();
  // The retained state may be older: the one after it is newer than the success.
  const std::string both = Read(port_, "nimbrel/state", 2);
  const std::string states = both.substr(both.find('\n') + 1);
  EXPECT_NE(states.find("\"cwop_last_success\":\"20"), std::string::npos) << states;
  EXPECT_NE(states.find("\"cwop_failing\":false,"), std::string::npos) << states;
  EXPECT_EQ(states.find("wunderground_"), std::string::npos) << states;  // off: not in the state
  serve->Signal(SIGTERM);
  EXPECT_EQ(serve->Wait(10s), 0);
}

// Uploads go on while the broker is down; the service finds the broker when it comes, and again
// after it restarts (it keeps no retained message here, so "online" is published anew).
TEST_F(ServeWithBroker, UploadsGoOnWithoutTheBrokerAndItIsFoundAgainAfterARestart) {
  LocalHttpServer wu;
  const auto serve = Serve(
      "live=1,wu=1,wc=0,time=0 serve --wu-id ID --wu-key KEY "
      "--wu-endpoint 127.0.0.1:" +
      std::to_string(wu.Port()) + mqtt_);
  EXPECT_EQ(wu.WaitForRequests(2, 20s).size(), 2U);
  for (int run = 0; run < 2; ++run) {
    const auto broker = StartBroker();
    EXPECT_EQ(Read(port_, "nimbrel/status", 1, 40), "nimbrel/status online\n") << run;
  }
  serve->Signal(SIGTERM);
  EXPECT_EQ(serve->Wait(2s), 0);
}

// Two machines with one prefix: each its own client ID, and neither knocks the other off the
// broker (each says "connected" once, even with --verbose, while readings go on).
TEST_F(ServeWithBroker, TwoMachinesWithOnePrefixKeepTheirConnections) {
  const auto broker = StartBroker();
  const auto one =
      Serve("live=1,wu=0,wc=0,time=0 serve --verbose" + mqtt_, "NIMBREL_MACHINE_ID=one", "one.log");
  const auto two =
      Serve("live=1,wu=0,wc=0,time=0 serve --verbose" + mqtt_, "NIMBREL_MACHINE_ID=two", "two.log");
  std::set<std::string> ids;
  for (const std::string log : {"one.log", "two.log"}) {
    EXPECT_TRUE(LogHolds(log, "MQTT: published", 4)) << Log(log);
    const std::string text = Log(log);
    EXPECT_EQ(Count(text, ": connected as nimbrel-"), 1U) << text;
    EXPECT_EQ(text.find("connection lost"), std::string::npos) << text;
    const std::size_t at = text.find("connected as ");
    ids.insert(at == std::string::npos ? "" : text.substr(at, text.find('\n', at) - at));
  }
  EXPECT_EQ(ids.size(), 2U);
}

// A broker that takes the connection and drops it at once (here: another client with the same
// name) gets ever longer pauses, not one attempt a second; "connected" is news the first time
// only.
TEST_F(ServeWithBroker, BriefConnectionsBackOffAndTheirRepeatsAreDetails) {
  const auto broker = StartBroker();
  const std::unique_ptr<MqttClient> clients[] = {MakeMosquittoClient(), MakeMosquittoClient()};
  LogRecorder logs[2];
  {
    MqttPublisher first(*clients[0], Publisher("nimbrel-same"), logs[0].Sink());
    MqttPublisher second(*clients[1], Publisher("nimbrel-same"), logs[1].Sink());
    EXPECT_TRUE(logs[0].WaitFor("next attempt in 0.8 s", 60s) ||
                logs[1].WaitFor("next attempt in 0.8 s", 1s));
  }
  for (LogRecorder& log : logs) {
    std::size_t connected = 0;
    std::size_t news = 0;
    for (const LogRecorder::Line& line : log.Lines()) {
      if (line.text.find("connected as nimbrel-same") != std::string::npos) {
        ++connected;
        news += line.detail ? 0 : 1;
      }
    }
    EXPECT_GE(connected, 2U);
    EXPECT_EQ(news, 1U);
  }
}

// A listener that never answers stands in for a broker that hangs: the failure says so, in the
// log without --verbose.
TEST_F(ServeWithBroker, ABrokerThatNeverAnswersIsNamedInTheLog) {
  const RefusingPort silent;
  ASSERT_EQ(listen(silent.socket, 8), 0);  // connections are taken, never answered
  PublisherOptions options = Publisher("nimbrel-silent");
  options.broker.port = silent.port;
  const std::unique_ptr<MqttClient> client = MakeMosquittoClient();
  LogRecorder log;
  MqttPublisher publisher(*client, options, log.Sink());
  const auto line = log.WaitFor("no answer within 0.5 s", 60s);
  ASSERT_TRUE(line);
  EXPECT_FALSE(line->detail);
}

// What an earlier run announced and a later one no longer does is cleared, across restarts: the
// old prefix's state, status and configs, the old Home Assistant prefix's configs, all configs
// once discovery is off, and, at the first start, a config an earlier version left under the id
// "old/wx" had before it was told apart from "old_wx". What the broker retains is counted.
TEST_F(ServeWithBroker, LeftoversOfEarlierSettingsAreCleared) {
  const auto broker = StartBroker();
  std::system(("mosquitto_pub -p " + std::to_string(port_) +
               " -t homeassistant/sensor/old_wx/rain_rate/config -r -m '{}'")
                  .c_str());
  struct Run {
    std::string options;
    std::string prefix;
    int retained;  // state, status and the configs
  };
  const Run runs[] = {
      {"--mqtt-topic old/wx", "old/wx", 38},
      {"--mqtt-topic new", "new", 38},
      {"--mqtt-topic new --ha-prefix ha2", "new", 38},
      {"--mqtt-topic new --ha-prefix ha2 --no-ha-discovery", "new", 2},
  };
  for (const Run& run : runs) {
    const auto serve = Serve("live=1,wu=0,wc=0,time=0 serve " + run.options + mqtt_);
    // Clearing goes before "online" on one connection, so it is done once "online" is seen.
    EXPECT_EQ(Read(port_, run.prefix + "/status", 1, 40), run.prefix + "/status online\n")
        << run.options;
    EXPECT_NE(Read(port_, run.prefix + "/state", 1, 40), "") << run.options;
    const std::string retained = Read(port_, "#", 100, 2, " --retained-only");
    EXPECT_EQ(std::count(retained.begin(), retained.end(), '\n'), run.retained)
        << run.options << "\n"
        << retained;
    serve->Signal(SIGTERM);
    EXPECT_EQ(serve->Wait(5s), 0);
    std::system(
        ("mosquitto_pub -p " + std::to_string(port_) + " -t " + run.prefix + "/status -r -n")
            .c_str());
  }
  EXPECT_NE(Log().find("cleared 38 retained topics"), std::string::npos) << Log();
}

// TLS: the system's certificate authorities (here through OpenSSL's SSL_CERT_FILE) without
// --mqtt-ca; wrong TLS and client ID options refused at start with status 2.
TEST_F(ServeWithBroker, TlsTrustsTheSystemsAuthoritiesAndWrongOptionsAreRefused) {
  const std::string tls = TLS_DIR;
  std::ofstream(dir_ / "broker.conf", std::ios::app)
      << "certfile " << tls << "/127.0.0.1.pem\nkeyfile " << tls << "/127.0.0.1.key\n";
  const auto broker = StartBroker();
  const std::string mqtts = " --sync-hours 0 --mqtt mqtts://127.0.0.1:" + std::to_string(port_);
  const auto serve =
      Serve("live=1,wu=0,wc=0,time=0 serve" + mqtts, "SSL_CERT_FILE='" + tls + "/127.0.0.1.pem'");
  EXPECT_TRUE(LogHolds("serve.log", "connected as nimbrel-")) << Log();
  serve->Signal(SIGTERM);
  EXPECT_EQ(serve->Wait(5s), 0);
  const std::pair<std::string, std::string_view> refused[] = {
      {mqtts + " --mqtt-ca '" + (dir_ / "missing.pem").string() + "'",
       "cannot read the certificate authority file"},
      {mqtt_ + " --mqtt-ca '" + tls + "/127.0.0.1.pem'", "--mqtt-ca is for an mqtts:// broker"},
      {mqtt_ + " --mqtt-client-id 'a b'", "--mqtt-client-id takes"},
  };
  for (const auto& [options, message] : refused) {
    EXPECT_EQ(Serve("live=1 serve" + options)->Wait(20s), 2) << options;
    EXPECT_NE(Log().find(message), std::string::npos) << Log();
  }
}

}  // namespace
}  // namespace nimbrel::testing
