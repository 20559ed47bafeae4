// SPDX-License-Identifier: GPL-3.0-or-later
// nimbrel-cli serve as it runs unattended, against a real mosquitto on a free port of 127.0.0.1
// and the built-in console: what Home Assistant reads, how the service ends, and that a broker
// that is away holds nothing up.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "tests/upload/local_http_server.h"

namespace nimbrel::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::uint16_t FreePort() {
  const int s = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
  socklen_t size = sizeof address;
  getsockname(s, reinterpret_cast<sockaddr*>(&address), &size);
  close(s);
  return ntohs(address.sin_port);
}

// A child process run through the shell; SIGKILLed at the end if still running.
class Child {
 public:
  explicit Child(const std::string& command) {
    pid_ = fork();
    if (pid_ == 0) {
      execl("/bin/sh", "sh", "-c", ("exec " + command).c_str(), nullptr);
      _exit(127);
    }
  }
  ~Child() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  void Signal(int signal) const { kill(pid_, signal); }
  // The exit code, or -1 when the child has not ended within `limit`.
  int Wait(std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    int status = 0;
    while (waitpid(pid_, &status, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() > end) {
        return -1;
      }
      std::this_thread::sleep_for(10ms);
    }
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }

 private:
  pid_t pid_ = -1;
};

// The first `count` messages of a topic, retained ones included, "topic payload" a line; fewer
// after `seconds`.
std::string Read(std::uint16_t port, const std::string& topic, int count = 1, int seconds = 20) {
  const std::string command = "mosquitto_sub -h 127.0.0.1 -p " + std::to_string(port) + " -t '" +
                              topic + "' -v -C " + std::to_string(count) + " -W " +
                              std::to_string(seconds) + " 2>/dev/null";
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

// A live text with readings, dashes and fields that are not numbers, and its state object.
constexpr std::string_view kLiveText =
    "57 2025-3-4 10:15 -3.5 45 --.- x1 -.- 0.0 12.5 1-2 270 W 1013.2 -- 3 -10.25 --.- 20.1 50 "
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
    "\"rain_monthly\":7,\"logger\":57,\"wind_compass\":\"W\",\"date\":\"2025-3-4\","
    "\"time\":\"10:15\"}";

class ServeWithBroker : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    std::ofstream(dir_ / "live.txt") << kLiveText << "\n";
    std::ofstream(dir_ / "broker.conf")
        << "listener " << port_ << " 127.0.0.1\nallow_anonymous true\npersistence false\n";
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::unique_ptr<Child> StartBroker() {
    auto broker = std::make_unique<Child>(std::string(MOSQUITTO) + " -c '" +
                                          (dir_ / "broker.conf").string() + "' 2>/dev/null");
    for (int i = 0; i < 100 && !Accepts(); ++i) {
      std::this_thread::sleep_for(50ms);
    }
    return broker;
  }

  std::unique_ptr<Child> Serve(const std::string& options) {
    return std::make_unique<Child>("env XDG_CONFIG_HOME='" + (dir_ / "config").string() +
                                   "' XDG_DATA_HOME='" + (dir_ / "data").string() + "' '" +
                                   NIMBREL_CLI + "' --simulate --console-live '" +
                                   (dir_ / "live.txt").string() + "' --console-period " + options +
                                   " 2>>'" + (dir_ / "serve.log").string() + "'");
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
  fs::path dir_ = fs::temp_directory_path() / ("nimbrel-serve-" + std::to_string(getpid()));
};

// What Home Assistant reads, then "offline" after a clean stop (within 2 s, exit 0) and, through
// the will, after the service is killed.
TEST_F(ServeWithBroker, PublishesStateAndDiscoveryAndGoesOfflineHoweverItEnds) {
  const auto broker = StartBroker();
  for (const int signal : {SIGTERM, SIGKILL}) {
    const auto serve = Serve("live=1,wu=0,wc=0,time=0 serve" + mqtt_);
    EXPECT_EQ(Read(port_, "nimbrel/state"), "nimbrel/state " + std::string(kState) + "\n");
    EXPECT_EQ(Status(), "nimbrel/status online\n");
    const std::string configs = Read(port_, "homeassistant/sensor/nimbrel/+/config", 33);
    EXPECT_EQ(std::count(configs.begin(), configs.end(), '\n'), 33);
    EXPECT_NE(configs.find("/outdoor_temperature/config {\"name\":\"Outdoor temperature\""),
              std::string::npos);
    serve->Signal(signal);
    EXPECT_EQ(serve->Wait(2s), signal == SIGTERM ? 0 : 128 + SIGKILL);
    EXPECT_EQ(Status(), "nimbrel/status offline\n") << signal;
    std::system(("mosquitto_pub -p " + std::to_string(port_) + " -t nimbrel/status -r -n").c_str());
  }
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

}  // namespace
}  // namespace nimbrel::testing
