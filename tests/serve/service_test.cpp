// SPDX-License-Identifier: GPL-3.0-or-later
// The station service's rules that need no broker: broker addresses, the retry pauses, the
// names and ids, the discovery configs, the record of what was announced. The state object is
// checked against a real broker in serve_broker_test.cpp. Then nimbrel-cli itself: one owner per
// console, and serve keeping the archive whole across an unplugged console.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <stdexcept>
#include <stop_token>
#include <thread>

#include "platform/console_lock.h"
#include "platform/upload_socket_factory.h"
#include "service/mqtt_publisher.h"
#include "service/station_service.h"
#include "tests/cli/cli_folder.h"
#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"

namespace nimbrel {
namespace {

TEST(BrokerUrl, TakesMqttAndMqttsWithTheirDefaultPortsAndRefusesTheRest) {
  const std::pair<std::string_view, std::optional<BrokerAddress>> cases[] = {
      {"mqtt://127.0.0.1", BrokerAddress{"127.0.0.1", 1883, false}},
      {"mqtts://broker.example:8884/", BrokerAddress{"broker.example", 8884, true}},
      {"mqtts://[::1]", BrokerAddress{"::1", 8883, true}},
      {"mqtt://[::1]:1884", BrokerAddress{"::1", 1884, false}},
  };
  for (const auto& [url, expected] : cases) {
    EXPECT_EQ(ParseBrokerUrl(url), expected) << url;
  }
  for (const std::string_view bad :
       {"http://host", "mqtt://", "mqtt://host:0", "mqtt://host:65536", "mqtt://host:12x",
        "mqtt://user@host", "mqtt://host/topic", "mqtt://ho\nst"}) {
    EXPECT_EQ(ParseBrokerUrl(bad), std::nullopt) << bad;
  }
  for (const std::string_view prefix : {"", "a/+", "#", "/a", "a/", "a\nb", "a\tb"}) {
    EXPECT_FALSE(ValidTopicPrefix(prefix)) << prefix;
  }
  EXPECT_TRUE(ValidTopicPrefix("home/weather"));
}

TEST(RetryPause, DoublesUpToItsLongestAndStartsAgainAfterAConnection) {
  RetryPause pause(std::chrono::seconds(1), std::chrono::minutes(1));
  std::vector<long> seconds;
  for (int i = 0; i < 8; ++i) {
    seconds.push_back(std::chrono::duration_cast<std::chrono::seconds>(pause.Next()).count());
  }
  EXPECT_EQ(seconds, (std::vector<long>{1, 2, 4, 8, 16, 32, 60, 60}));
  pause.Reset();
  EXPECT_EQ(pause.Next(), std::chrono::seconds(1));
}

// Ids Home Assistant and brokers take: prefixes that are ids already keep them (so do users'
// entities); others never meet one of those; client IDs differ by machine and by prefix. The
// pinned values must never change: users' entities and sessions hang on them.
TEST(Names, NodeAndClientIdsAreStableAndNeverShared) {
  for (const std::string_view kept : {"nimbrel", "home_wx", "my-station2"}) {
    EXPECT_EQ(NodeId(kept), kept);
  }
  EXPECT_EQ(NodeId("home/wx"), "home_wx_1afae0dc");
  EXPECT_NE(NodeId("home.wx"), NodeId("home/wx"));
  const std::string id = MqttClientId("machine-a", {"nimbrel"});
  EXPECT_EQ(id, "nimbrel-4abbeb912bc0817");
  EXPECT_LE(id.size(), 23U);
  EXPECT_NE(MqttClientId("machine-b", {"nimbrel"}), id);
  EXPECT_NE(MqttClientId("machine-a", {"home/wx"}), MqttClientId("machine-a", {"home_wx"}));
  EXPECT_TRUE(ValidClientId("a") && ValidClientId("nimbrel-garden.2:x"));
  for (const std::string_view bad : {std::string_view(), {"a b"}, {"a/b"}, {"a\0b", 3}}) {
    EXPECT_FALSE(ValidClientId(bad)) << bad;
  }
  EXPECT_FALSE(ValidClientId(std::string(65, 'a')));
}

// Every config names a key of the state, one device and ids Home Assistant accepts, whatever the
// prefix holds.
TEST(Discovery, OneConfigPerNumericKeyUnderOneDevice) {
  const std::vector<MqttMessage> configs = DiscoveryConfigs({"home/wx", "ha"});
  ASSERT_EQ(configs.size(), 36U);
  const MqttMessage& rate = configs[5];
  EXPECT_EQ(rate.topic, "ha/sensor/home_wx_1afae0dc/rain_rate/config");
  EXPECT_TRUE(rate.retain);
  for (const std::string_view part :
       {"\"state_topic\":\"home/wx/state\"", "\"value_template\":\"{{ value_json.rain_rate }}\"",
        "\"unique_id\":\"nimbrel_home_wx_1afae0dc_rain_rate\"",
        "\"availability_topic\":\"home/wx/status\"", "\"unit_of_measurement\":\"mm/h\"",
        "\"device_class\":\"precipitation_intensity\"", "\"state_class\":\"measurement\"",
        "\"expire_after\":900", "\"identifiers\":[\"nimbrel_home_wx_1afae0dc\"]"}) {
    EXPECT_NE(rate.payload.find(part), std::string::npos) << part;
  }
  EXPECT_EQ(configs[32].payload.find("device_class"), std::string::npos);  // logger
  // Today's high tells when it was reached as an attribute.
  EXPECT_NE(
      configs[33].payload.find("\"json_attributes_template\":\"{{ {'time': "
                               "value_json.outdoor_temperature_high_today_time} | tojson }}\""),
      std::string::npos)
      << configs[33].payload;
  // How many stay retained, and what an earlier version left, are counted on a real broker.
  EXPECT_EQ(UnrecordedTopics({"home_wx", "ha"}), RetainedTopics({"home_wx", "ha"}, true));
}

// Totals that reset, a rolling hour, a rate, and an angle averaged on a circle; Home Assistant
// before 2025.4 gets the wind direction as it knew it.
TEST(Discovery, ClassesOfRainAndWindDirection) {
  struct Row {
    std::string_view key;
    HaClasses classes;
    std::string_view deviceClass;  // empty: none
    std::string_view stateClass;   // empty: none
  };
  const Row rows[] = {
      {"rain_daily", HaClasses::kCurrent, "precipitation", "total_increasing"},
      {"rain_weekly", HaClasses::kCurrent, "precipitation", "total_increasing"},
      {"rain_monthly", HaClasses::kBefore2025_4, "precipitation", "total_increasing"},
      {"rain_hourly", HaClasses::kCurrent, "precipitation", ""},
      {"rain_season", HaClasses::kCurrent, "precipitation", "total_increasing"},
      {"outdoor_temperature_low_today", HaClasses::kCurrent, "temperature", "measurement"},
      {"rain_rate", HaClasses::kCurrent, "precipitation_intensity", "measurement"},
      {"wind_direction", HaClasses::kCurrent, "wind_direction", "measurement_angle"},
      {"wind_direction", HaClasses::kBefore2025_4, "", "measurement"},
      {"wind_speed", HaClasses::kBefore2025_4, "wind_speed", "measurement"},
  };
  for (const Row& row : rows) {
    const std::vector<MqttMessage> configs = DiscoveryConfigs({}, row.classes);
    const auto config = std::find_if(configs.begin(), configs.end(), [&](const MqttMessage& m) {
      return m.topic.ends_with("/" + std::string(row.key) + "/config");
    });
    ASSERT_NE(config, configs.end()) << row.key;
    const auto named = [&](std::string_view field, std::string_view value) {
      const std::string part = "\"" + std::string(field) + "\":";
      return value.empty() ? config->payload.find(part) == std::string::npos
                           : config->payload.find(part + "\"" + std::string(value) + "\"") !=
                                 std::string::npos;
    };
    EXPECT_TRUE(named("device_class", row.deviceClass)) << row.key << "\n" << config->payload;
    EXPECT_TRUE(named("state_class", row.stateClass)) << row.key << "\n" << config->payload;
  }
}

// A live text of the console at a time, with an outdoor temperature and the day's rain.
std::string Live(std::string_view date, std::string_view time, std::string_view outdoor,
                 std::string_view rain) {
  std::string text = "57 " + std::string(date) + " " + std::string(time) + " 21.0 45 " +
                     std::string(outdoor) + " 80 " + std::string(rain);
  for (std::size_t field = 8; field < kRecordFieldCount; ++field) {
    text += " 0";
  }
  return text;
}

// Today's high and low go on from the archive with every live reading, keeping the time each was
// first reached; the season's rain carries on over midnight before the archive has caught up, and
// starts again with a new season.
TEST(StateFigures, TodayAndTheSeasonFromTheArchiveAndTheLiveReadings) {
  using namespace std::chrono;
  const local_days day{2025y / 9 / 30};
  ArchivedFigures archived;
  archived.seasonStart = 10;
  AddLiveReading(archived.today, Live("2025-9-30", "5:00", "2.0", "1.0"));
  AddLiveReading(archived.today, Live("2025-9-30", "14:00", "12.0", "3.0"));
  archived.seasonRainBefore = 40;
  struct Row {
    std::vector<std::string> live;
    bool withArchive;
    std::string json;
  };
  const Row rows[] = {
      {{Live("2025-9-30", "15:00", "13.5", "4.0"), Live("2025-9-30", "16:00", "13.5", "--")},
       true,
       "\"outdoor_temperature_high_today\":13.5,\"outdoor_temperature_high_today_time\":\"15:00\","
       "\"outdoor_temperature_low_today\":2,\"outdoor_temperature_low_today_time\":\"05:00\","
       "\"rain_season\":44,"},
      {{Live("2025-9-30", "16:00", "12.0", "--.-")},
       true,
       "\"outdoor_temperature_high_today\":12,\"outdoor_temperature_high_today_time\":\"14:00\","
       "\"outdoor_temperature_low_today\":2,\"outdoor_temperature_low_today_time\":\"05:00\","
       "\"rain_season\":43,"},
      // Midnight, and a new season: its rain starts from the new day's.
      {{Live("2025-10-1", "0:05", "--.-", "0.3")},
       true,
       "\"outdoor_temperature_high_today\":null,\"outdoor_temperature_high_today_time\":null,"
       "\"outdoor_temperature_low_today\":null,\"outdoor_temperature_low_today_time\":null,"
       "\"rain_season\":0.3,"},
      // A reading of the day before (the console's clock set back) changes nothing.
      {{Live("2025-9-30", "15:00", "-1.0", "1"), Live("2025-9-29", "15:00", "-5.0", "9")},
       false,
       "\"outdoor_temperature_high_today\":-1,\"outdoor_temperature_high_today_time\":\"15:00\","
       "\"outdoor_temperature_low_today\":-1,\"outdoor_temperature_low_today_time\":\"15:00\","
       "\"rain_season\":null,"},
  };
  for (const Row& row : rows) {
    DaySummary liveDay;
    for (const std::string& text : row.live) {
      AddLiveReading(liveDay, text);
    }
    const auto figures =
        FiguresOf(row.withArchive ? std::optional(archived) : std::nullopt, liveDay);
    EXPECT_EQ(TodayFiguresJson(figures), row.json) << row.live.front();
  }
  // Midnight within the season: yesterday's rain joins the season's before the archive has it.
  archived.seasonStart = 1;
  DaySummary next;
  AddLiveReading(next, Live("2025-10-1", "0:05", "9.5", "0.5"));
  EXPECT_EQ(FiguresOf(archived, next).seasonRain, 43.5);
  EXPECT_EQ(archived.today.day, day);
}

// What was announced survives a restart, per broker, in a file only the user reads; a missing
// file is nothing announced, a damaged line is skipped.
TEST(AnnouncedTopicsFile, KeepsEachBrokersTopicsAcrossRuns) {
  namespace fs = std::filesystem;
  const testing::TempDir folder("nimbrel-announced-");
  const fs::path& dir = folder.Path();
  const fs::path file = dir / "state" / "mqtt-announced";
  AnnouncedTopics read;
  EXPECT_EQ(ReadAnnouncedTopics(file, read), std::nullopt);
  EXPECT_TRUE(read.empty());
  const AnnouncedTopics written{{"a:1883", {"x/state", "x/status"}}, {"b:8883", {"ha/s/y/c"}}};
  EXPECT_EQ(WriteAnnouncedTopics(file, written), std::nullopt);
  EXPECT_EQ(fs::status(file).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);
  std::ofstream(file, std::ios::app) << "no tab\n\tno broker\nno topic\t\n";
  EXPECT_EQ(ReadAnnouncedTopics(file, read), std::nullopt);
  EXPECT_EQ(read, written);
  EXPECT_NE(WriteAnnouncedTopics(dir / "state" / "mqtt-announced" / "below a file", written),
            std::nullopt);
}

// The built-in console's reader, reduced to what the service sees: busy at the first look; once
// connected, two live texts at the service's first look at the link.
class ScriptedConsole : public ConsoleLink {
 public:
  ScriptedConsole(std::vector<std::string> texts, const StationService*& service)
      : texts_(std::move(texts)), service_(service) {}
  std::optional<ConnectFailure> Connect(StationEvents& events) override {
    statesAtLooks.push_back(service_->Console());
    events_ = &events;
    if (statesAtLooks.size() == 1) {
      return ConnectFailure{"in use by the window.", true};
    }
    return std::nullopt;
  }
  void Disconnect() override {}
  bool Alive() override {
    for (const std::string& text : std::exchange(texts_, {})) {
      events_->LiveText(text);
    }
    return true;
  }
  bool Sync(Archive&, std::string&) override {
    ++syncs;
    return true;
  }

  std::vector<ConsoleState> statesAtLooks;
  int syncs = 0;

 private:
  std::vector<std::string> texts_;
  const StationService*& service_;
  StationEvents* events_ = nullptr;
};

// A listener that fails is named once, as news, and again only as a detail; the readings still
// reach the listeners after it, with the state object, and the archive. The console's state
// follows the link; another connection, opened with the options the service gives out, reads what
// it wrote.
TEST(StationService, AFailingListenerKeepsNothingFromTheOthers) {
  const testing::TempDir dir;
  StationServiceOptions options;
  options.syncHours = 0;
  options.archive.path = dir.Path() / "a.sqlite";
  ArchiveError error{};
  const std::unique_ptr<Archive> archive = OpenArchive(options.archive, error);
  ASSERT_NE(archive, nullptr) << error.message;
  const StationService* running = nullptr;
  ScriptedConsole console(
      {Live("2025-9-30", "15:00", "13.5", "4.0"), Live("2025-9-30", "15:01", "13.0", "4.0")},
      running);
  const std::unique_ptr<UploadSocket> socket = MakeUploadSocket();
  std::mutex mutex;
  std::vector<std::pair<std::string, bool>> log;
  std::vector<std::pair<std::string, ConsoleState>> states;
  StationService service(options, console, archive.get(), *socket,
                         [&](std::string_view line, bool detail) {
                           std::lock_guard lock(mutex);
                           log.emplace_back(line, detail);
                         });
  running = &service;
  service.AddLiveListener("web", [](const LiveUpdate&) { throw std::runtime_error("full"); });
  service.AddLiveListener("recorder", [&](const LiveUpdate& update) {
    std::lock_guard lock(mutex);
    states.emplace_back(update.state, service.Console());
  });
  std::stop_source stop;
  std::jthread run([&] { service.Run(stop.get_token()); });
  const auto arrived = [&] {
    std::lock_guard lock(mutex);
    return states.size() >= 2;
  };
  for (int i = 0; i < 1200 && !arrived(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  stop.request_stop();
  run.join();
  EXPECT_EQ(console.statesAtLooks, (std::vector{ConsoleState::kStarting, ConsoleState::kBusy}));
  EXPECT_EQ(service.Console(), ConsoleState::kStopped);
  ASSERT_EQ(states.size(), 2U);
  EXPECT_EQ(states[1].second, ConsoleState::kConnected);
  EXPECT_NE(states[1].first.find("\"outdoor_temperature_high_today\":13.5"), std::string::npos)
      << states[1].first;
  const std::string failing = "web: the live reading was not handed over: full";
  EXPECT_EQ(std::count(log.begin(), log.end(), std::pair{failing, false}), 1);
  EXPECT_EQ(std::count(log.begin(), log.end(), std::pair{failing, true}), 1);
  EXPECT_EQ(log.back(), (std::pair<std::string, bool>{"stopped", false}));
  const std::unique_ptr<Archive> reader = OpenArchive(service.ArchiveForReaders(), error);
  ArchiveInfo info;
  ASSERT_FALSE(reader->ReadInfo(info));
  EXPECT_EQ(info.liveSamples, 1);
}

// A build without the archive: the readings still reach the listeners, the state says nothing of
// today's figures, and no sync is asked for, however often one is due.
TEST(StationService, WithoutTheArchiveHandsOverReadingsAndNeverSyncs) {
  StationServiceOptions options;
  options.syncHours = 1;
  const StationService* running = nullptr;
  ScriptedConsole console({Live("2025-9-30", "15:00", "13.5", "4.0")}, running);
  const std::unique_ptr<UploadSocket> socket = MakeUploadSocket();
  std::mutex mutex;
  std::vector<std::string> states;
  StationService service(options, console, nullptr, *socket, [](std::string_view, bool) {});
  running = &service;
  service.AddLiveListener("recorder", [&](const LiveUpdate& update) {
    std::lock_guard lock(mutex);
    states.emplace_back(update.state);
  });
  std::stop_source stop;
  std::jthread run([&] { service.Run(stop.get_token()); });
  const auto arrived = [&] {
    std::lock_guard lock(mutex);
    return !states.empty();
  };
  for (int i = 0; i < 1200 && !arrived(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  stop.request_stop();
  run.join();
  EXPECT_FALSE(service.KeepsArchive());
  EXPECT_EQ(console.syncs, 0);
  ASSERT_EQ(states.size(), 1U);
  EXPECT_NE(states[0].find("\"outdoor_temperature\":13.5"), std::string::npos) << states[0];
  EXPECT_NE(states[0].find("\"outdoor_temperature_high_today\":null"), std::string::npos)
      << states[0];
}

}  // namespace
}  // namespace nimbrel

namespace nimbrel::testing {
namespace {

using namespace std::chrono_literals;

class ServiceRun : public CliFolderTest {
 protected:
  void SetUp() override {
    CliFolderTest::SetUp();
    std::ofstream{node_};
  }
  // nimbrel-cli in the background, its stderr in serve.log.
  void Start(const std::string& args) {
    cli_ = std::make_unique<Child>("XDG_CONFIG_HOME=" + OutArg("config") +
                                   " XDG_DATA_HOME=" + OutArg("data") + " exec " +
                                   Quoted(NIMBREL_CLI) + " " + args + " 2>" + OutArg("serve.log"));
  }
  // Its exit code after SIGTERM.
  int Stop() {
    cli_->Signal(SIGTERM);
    return cli_->Wait(60s);
  }
  // The log once it holds `part` `times` times; generous, since the machine may be busy.
  std::string WaitForLog(std::string_view part, std::size_t times = 1) {
    std::string log;
    for (int i = 0; i < 1200 && Count(log = ReadFile(dir_ / "serve.log"), part) < times; ++i) {
      std::this_thread::sleep_for(50ms);
    }
    return log;
  }

  const std::string node_ = Out("hidraw0");
  std::unique_ptr<Child> cli_;
};

// Every command that opens the console refuses it while another program holds its lock and says
// who; the built-in console belongs to its process alone and takes no lock.
TEST_F(ServiceRun, CommandsRefuseAConsoleHeldElsewhere) {
  const ConsoleClaim window = ConsoleClaim::Take(node_);
  ASSERT_NE(window.lock, nullptr);
  const std::string held = "--simulate --console-node " + OutArg("hidraw0") + " ";
  const std::string busy = "in use by ";
  std::vector<std::pair<std::string, std::string>> cases = {
      {held + "live --count 1", busy},
      {held + "upload --count 1 --wu-id ID --wu-key KEY --wu-endpoint 127.0.0.1:9", busy},
      {held + "export --whole --out " + OutArg("x.csv"), busy},
      {held + "--archive " + OutArg("a.sqlite") + " archive sync", busy},
      {"--simulate serve --sync-hours 8761", "--sync-hours takes a whole number of hours up to"},
      {"--simulate serve --sync-hours 9999999999999999999", "--sync-hours takes"},
  };
#ifdef NIMBREL_TEST_WITHOUT_MQTT
  cases.emplace_back("--simulate serve --mqtt mqtt://127.0.0.1",
                     "this build of nimbrel-cli has no MQTT");
#endif
  const std::string pid = "(pid " + std::to_string(getpid()) + ").";
  for (const auto& [args, message] : cases) {
    const CliRun run = Cli(args);
    EXPECT_EQ(run.exitCode, message == busy ? 1 : 2) << args;
    EXPECT_NE(run.err.find(message), std::string::npos) << args << ": " << run.err;
    EXPECT_TRUE(message != busy || run.err.find(pid) != std::string::npos) << run.err;
  }
  EXPECT_FALSE(std::filesystem::exists(Out("x.csv")));
  EXPECT_EQ(Cli("--simulate live --count 1").exitCode, 0);
}

// While the window holds the console, serve waits and says so once; it goes on when the console
// is free, without a restart.
TEST_F(ServiceRun, ServeWaitsForTheConsoleTheWindowHolds) {
  ConsoleClaim window = ConsoleClaim::Take(node_);
  ASSERT_NE(window.lock, nullptr);
  Start("--simulate --console-node " + OutArg("hidraw0") + " serve --sync-hours 0");
  WaitForLog("Waiting until it is free.");
  std::this_thread::sleep_for(5s);  // two looks at least; a slow machine only tests less
  window.lock.reset();
  const std::string log = WaitForLog("console connected");
  EXPECT_EQ(Count(log, "The weather station console is in use by "), 1U) << log;
  EXPECT_EQ(Count(log, "console connected"), 1U) << log;
  EXPECT_EQ(Stop(), 0);
  EXPECT_NE(ConsoleClaim::Take(node_).lock, nullptr);  // ended, so the lock is free
}

// A console pulled out during the sync is synced again as soon as it is back: the archive gets
// the records the first download missed, after the console's answer to the new greeting.
TEST_F(ServiceRun, AnIncompleteSyncIsMadeGoodWhenTheConsoleComesBack) {
  Start(
      "--simulate --console-records 500 --console-faults unplug-after=100 --console-period "
      "live=1 --archive " +
      OutArg("a.sqlite") + " serve");
  const std::string log = WaitForLog("archive sync: ", 2);
  EXPECT_NE(log.find("archive sync: 100 new, 0 already archived, 0 given up; the download was "
                     "incomplete (100 of 500 records arrived)"),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("console gone"), std::string::npos) << log;
  EXPECT_NE(log.find("archive sync: 400 new, 100 already archived, 0 given up\n"),
            std::string::npos)
      << log;
  EXPECT_EQ(Count(log, "console connected"), 2U) << log;
  EXPECT_EQ(Stop(), 0);
}

}  // namespace
}  // namespace nimbrel::testing
