// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/serve_command.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>

#include "archive/archive.h"
#include "cli/archive_command.h"
#include "cli/console.h"
#include "cli/download.h"
#include "cli/environment.h"
#include "cli/upload_command.h"
#include "platform/interrupt.h"
#include "platform/mqtt_mosquitto.h"
#include "platform/settings_user.h"
#include "platform/upload_socket_factory.h"
#include "readings/live_readings.h"
#include "service/mqtt_publisher.h"
#include "settings/settings_store.h"
#include "upload/upload_clock.h"
#include "upload/upload_worker.h"

namespace nimbrel::cli {

namespace {

using Clock = std::chrono::steady_clock;

// How often a missing console is looked for, and how often the main loop looks around.
constexpr auto kConsolePoll = std::chrono::seconds(2);
constexpr auto kTick = std::chrono::seconds(1);
constexpr long kSyncStallSeconds = 30;

struct MqttArgs {
  std::string url;
  std::string caFile;
  std::string user;
  std::string passwordFile;
  std::string clientId;  // empty: one of this machine and prefix
  MqttTopics topics;
  bool discovery = true;
  HaClasses classes = HaClasses::kCurrent;
};

struct ServeArgs {
  std::optional<MqttArgs> mqtt;
  long syncHours = 24;
  bool verbose = false;
  UploadArgs uploads;
};

// A year at most: more would overflow the clock's arithmetic into a download every second.
constexpr long kMaxSyncHours = 8760;
// After a sync that did not complete, the next one comes when the console comes back, or after
// this pause if it stays.
constexpr auto kSyncRetry = std::chrono::hours(1);

bool ParseHours(std::string_view text, long& hours) {
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), hours);
  return error == std::errc() && end == text.data() + text.size() && hours >= 0 &&
         hours <= kMaxSyncHours;
}

// Takes one MQTT option and its value; false when `arg` is not one.
bool TakeMqttOption(std::string_view arg, std::string_view value, MqttArgs& mqtt) {
  if (arg == "--mqtt") {
    mqtt.url = value;
  } else if (arg == "--mqtt-ca") {
    mqtt.caFile = value;
  } else if (arg == "--mqtt-user") {
    mqtt.user = value;
  } else if (arg == "--mqtt-password-file") {
    mqtt.passwordFile = value;
  } else if (arg == "--mqtt-client-id") {
    mqtt.clientId = value;
  } else if (arg == "--mqtt-topic") {
    mqtt.topics.prefix = value;
  } else if (arg == "--ha-prefix") {
    mqtt.topics.haPrefix = value;
  } else {
    return false;
  }
  return true;
}

std::optional<std::string> CheckMqttArgs(const MqttArgs& mqtt) {
  const std::optional<BrokerAddress> broker = ParseBrokerUrl(mqtt.url);
  if (!broker) {
    return "--mqtt takes mqtt://HOST[:PORT] or mqtts://HOST[:PORT]";
  }
  if (!ValidTopicPrefix(mqtt.topics.prefix) || !ValidTopicPrefix(mqtt.topics.haPrefix)) {
    return "a topic prefix may not be empty, hold '+', '#' or control characters, or begin or "
           "end with '/'";
  }
  if (!mqtt.clientId.empty() && !ValidClientId(mqtt.clientId)) {
    return "--mqtt-client-id takes 1 to 64 letters, digits, '-', '_', '.' or ':'";
  }
  if (!mqtt.caFile.empty() && !broker->tls) {
    return "--mqtt-ca is for an mqtts:// broker; " + mqtt.url + " is not encrypted";
  }
  // Found now rather than at every attempt to connect, for ever.
  std::error_code error;
  if (!mqtt.caFile.empty() &&
      (!std::filesystem::is_regular_file(mqtt.caFile, error) || !std::ifstream(mqtt.caFile))) {
    return "cannot read the certificate authority file " + mqtt.caFile;
  }
  return std::nullopt;
}

std::optional<std::string> ParseServeArgs(const std::vector<std::string_view>& args,
                                          ServeArgs& parsed) {
  MqttArgs mqtt;
  bool mqttGiven = false;
  std::vector<std::string_view> uploadArgs;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    if (arg == "--verbose") {
      parsed.verbose = true;
    } else if (arg == "--no-ha-discovery") {
      mqtt.discovery = false;
    } else if (arg == "--ha-legacy-classes") {
      mqtt.classes = HaClasses::kBefore2025_4;
    } else if (arg == "--mqtt-password") {
      return "the password is read from --mqtt-password-file FILE or NIMBREL_MQTT_PASSWORD only";
    } else if (i + 1 == args.size()) {
      return "unexpected argument '" + std::string(arg) + "'";
    } else if (arg == "--sync-hours") {
      if (!ParseHours(args[++i], parsed.syncHours)) {
        return "--sync-hours takes a whole number of hours up to 8760, 0 for never";
      }
    } else if (TakeMqttOption(arg, args[i + 1], mqtt)) {
      mqttGiven = mqttGiven || arg == "--mqtt";
      ++i;
    } else if (arg == "--count") {
      return "unexpected argument '--count'";
    } else {
      uploadArgs.push_back(arg);
      uploadArgs.push_back(args[++i]);
    }
  }
  if (mqttGiven) {
    if (auto error = CheckMqttArgs(mqtt)) {
      return error;
    }
    parsed.mqtt = mqtt;
  }
  return ParseUploadArgs(uploadArgs, parsed.uploads, false);
}

// The station ID and key saved by the window stand in for any the command line leaves out.
void FillSavedStations(UploadArgs& uploads) {
  const std::unique_ptr<SettingsBackend> backend = OpenUserSettingsBackend();
  const SettingsStore store(*backend);
  for (const ServerIndex service : {ServerIndex::WeatherUnderground, ServerIndex::Weathercloud}) {
    ServiceArgs& args = service == ServerIndex::Weathercloud ? uploads.wc : uploads.wu;
    if (!args.Enabled()) {
      args.idAndKey = store.ReadStationIdAndKey(service);
    }
  }
}

// The password from its file (its first line) or the environment; never from the command line.
std::optional<std::string> ReadPassword(const MqttArgs& mqtt, std::string& password) {
  if (!mqtt.passwordFile.empty()) {
    std::ifstream file(mqtt.passwordFile);
    if (!file || !std::getline(file, password)) {
      return "cannot read the password file " + mqtt.passwordFile;
    }
  } else if (const char* env = std::getenv("NIMBREL_MQTT_PASSWORD")) {
    password = env;
  }
  return std::nullopt;
}

// One line per event on stderr, where journald keeps it; details only with --verbose.
class ServiceLog {
 public:
  explicit ServiceLog(bool verbose) : verbose_(verbose) {}
  void operator()(std::string_view line, bool detail) const {
    if (!detail || verbose_) {
      std::fprintf(stderr, "%.*s\n", static_cast<int>(line.size()), line.data());
      std::fflush(stderr);
    }
  }

 private:
  bool verbose_;
};

// The main loop's pause, cut short by the interrupt or a new live reading.
class Pause {
 public:
  void Wake() {
    std::lock_guard lock(mutex_);
    woken_ = true;
    changed_.notify_all();
  }
  void For(Clock::duration wait) {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, wait, [this] { return woken_; });
    woken_ = false;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool woken_ = false;
};

// Says how each upload ended: a change of outcome is news, a repeat a detail.
class UploadLog : public UploadMessages {
 public:
  explicit UploadLog(const ServiceLog& log) : log_(log) {}

  void UploadAckWu() override {}
  void UploadAckWc() override {}
  void UploadFinished(const UploadRequest& request, const UploadResult& result) override {
    const bool acknowledged = result.outcome == UploadOutcome::kAcknowledged;
    auto& last = lastAcknowledged_[request.service == ServerIndex::Weathercloud ? 1 : 0];
    log_(std::string(ServiceName(request.service)) +
             " upload: " + (acknowledged ? "UPLOAD" : "FAIL") + " " + MaskedRequestLine(request),
         last == acknowledged);
    last = acknowledged;
  }

 private:
  const ServiceLog& log_;
  std::optional<bool> lastAcknowledged_[2];  // on the worker's thread only
};

// What the reader hands over, on its thread: the state goes to the broker, the upload texts to
// the worker, and the newest live text waits for the main loop, which alone writes the archive.
class ServeMessages : public DownloadMonitor {
 public:
  ServeMessages(Console& console, const UploadArgs& uploads, UploadWorker& worker,
                MqttPublisher* publisher, Pause& pause)
      : DownloadMonitor(console),
        uploads_(uploads),
        worker_(worker),
        publisher_(publisher),
        pause_(pause) {}

  void LiveMessage(const HistoryRecord& text) override {
    DownloadMonitor::LiveMessage(text);
    const std::string_view live = RecordText(text).substr(0, kLiveTextMaxLength);
    if (publisher_ != nullptr) {
      publisher_->PublishState(LiveStateJson(live, TodayWith(live)));
    }
    {
      std::lock_guard lock(mutex_);
      liveText_ = std::string(live);
    }
    pause_.Wake();
  }
  void WuMessage(const ParamBuffer& text) override { Post(ServerIndex::WeatherUnderground, text); }
  void WeathercloudMessage(const ParamBuffer& text) override {
    Post(ServerIndex::Weathercloud, text);
  }

  // The live text that arrived since the last call, if any.
  std::optional<std::string> TakeLiveText() {
    std::lock_guard lock(mutex_);
    return std::exchange(liveText_, std::nullopt);
  }

  // What the archive knows of today, as the main loop last read it.
  void SetArchivedFigures(ArchivedFigures figures) {
    std::lock_guard lock(mutex_);
    archived_ = std::move(figures);
  }

 private:
  TodayFigures TodayWith(std::string_view live) {
    std::lock_guard lock(mutex_);
    AddLiveReading(liveDay_, live);
    return FiguresOf(archived_, liveDay_);
  }

  void Post(ServerIndex service, const ParamBuffer& text) {
    const ServiceArgs& args = uploads_.For(service);
    if (auto request = BuildUploadRequest(service, ParameterText(text), args.Enabled(),
                                          args.idAndKey, args.endpoint)) {
      worker_.Post(std::move(*request));
    }
  }

  const UploadArgs& uploads_;
  UploadWorker& worker_;
  MqttPublisher* publisher_;
  Pause& pause_;
  std::mutex mutex_;
  std::optional<std::string> liveText_;
  std::optional<ArchivedFigures> archived_;
  DaySummary liveDay_;  // the live readings of their newest day
};

// Everything one run of the service holds.
struct Service {
  const GlobalOptions& options;
  const ServeArgs& args;
  const ServiceLog& log;
  const InterruptWatcher& interrupt;
  Archive& archive;
  Console& console;
  ServeMessages& messages;
  Pause& pause;
  unsigned seasonStart = 1;
  // The day today's figures were last read for; nothing: they must be read again.
  std::optional<std::chrono::local_days> figuresDay;
};

// Reads what the archive knows of the day and its rain season for the state.
void ReadArchivedFigures(Service& service, std::chrono::local_days day) {
  const DayRange season = SeasonOf(day, service.seasonStart);
  std::vector<DaySummary> days;
  if (const ArchiveStatus fault = service.archive.ReadDays(season.first, day, days)) {
    service.log("archive: today's figures cannot be read: " + fault->message, false);
    return;
  }
  ArchivedFigures figures;
  figures.seasonStart = service.seasonStart;
  figures.today.day = day;
  if (!days.empty() && days.back().day == day) {
    figures.today = days.back();
  }
  if (day > season.first) {
    figures.seasonRainBefore = Summarize(days, season.first, day - std::chrono::days{1}).rainTotal;
  }
  service.messages.SetArchivedFigures(std::move(figures));
  service.figuresDay = day;
}

void KeepLiveSample(Service& service) {
  const std::optional<std::string> text = service.messages.TakeLiveText();
  if (!text) {
    return;
  }
  bool kept = false;
  const auto now = std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
  if (const ArchiveStatus fault = service.archive.AddLiveSample(*text, now, kept)) {
    service.log("archive: " + fault->message, false);
  } else if (kept) {
    service.log("archive: live reading kept", true);
  }
  // A new day, or a download that may have brought more of it.
  if (const auto time = RecordTimeOfText(*text)) {
    const auto day = std::chrono::floor<std::chrono::days>(*time);
    if (service.figuresDay != day) {
      ReadArchivedFigures(service, day);
    }
  }
}

// True when the whole log arrived; what did arrive is archived either way.
bool SyncArchive(Service& service) {
  service.log("archive sync: downloading the console's log", true);
  const std::string destination =
      service.options.archive.empty() ? "archive" : service.options.archive;
  const DownloadResult download =
      DownloadHistory(service.console, service.messages, service.interrupt, kSyncStallSeconds,
                      destination, {"what arrived is archived", "Sync cancelled.", false});
  std::string line;
  const bool complete = MergeDownload(service.archive, service.console, download, line) == 0;
  service.figuresDay.reset();
  if (!line.empty()) {
    service.log("archive sync: " + line, false);
  }
  return complete;
}

// Connects to the console; says so once while it stays away or another program holds it.
bool ConnectConsole(Service& service, std::string& lastFailure) {
  // A new link: the download waits for this console's answer to the greeting, not an old one's.
  service.messages.NewLink();
  if (auto failure = service.console.Connect(service.messages)) {
    if (service.console.Device().LastOpenFailure() == OpenFailure::kBusy) {
      *failure += " Waiting until it is free.";
    }
    service.console.Disconnect();
    service.log(*failure, *failure == lastFailure);
    lastFailure = *failure;
    return false;
  }
  lastFailure.clear();
  service.log("console connected", false);
  return true;
}

void Serve(Service& service) {
  const auto syncEvery = std::chrono::hours(service.args.syncHours);
  const auto retryEvery = std::min<Clock::duration>(kSyncRetry, syncEvery);
  auto nextSync = Clock::now();
  bool synced = true;  // the last sync brought the whole log
  bool connected = false;
  std::string lastFailure;
  while (!service.interrupt.Interrupted()) {
    if (!connected) {
      if (!(connected = ConnectConsole(service, lastFailure))) {
        service.pause.For(kConsolePoll);
        continue;
      }
      if (!synced) {
        nextSync = Clock::now();  // what a pulled plug left out is fetched as soon as it is back
      }
    }
    if (service.args.syncHours > 0 && Clock::now() >= nextSync) {
      synced = SyncArchive(service);
      nextSync = Clock::now() + (synced ? syncEvery : retryEvery);
    }
    KeepLiveSample(service);
    service.pause.For(kTick);
    if (!service.console.Device().IsValid()) {
      service.log("console gone; waiting for it", false);
      service.console.Disconnect();
      connected = false;
    }
  }
  KeepLiveSample(service);
}

std::unique_ptr<MqttPublisher> StartPublisher(const MqttArgs& mqtt, MqttClient& client,
                                              const ServiceLog& log, std::string& error) {
  PublisherOptions publisher;
  publisher.broker = *ParseBrokerUrl(mqtt.url);
  publisher.topics = mqtt.topics;
  publisher.discovery = mqtt.discovery;
  publisher.classes = mqtt.classes;
  publisher.announcedFile = AnnouncedTopicsFile();
  if (publisher.announcedFile.empty()) {
    log("MQTT: no home folder to remember announced topics in; topics that earlier settings left "
        "on the broker are not cleared",
        false);
  }
  publisher.session.clientId =
      mqtt.clientId.empty() ? MqttClientId(MachineId(), mqtt.topics) : mqtt.clientId;
  publisher.session.user = mqtt.user;
  publisher.session.caFile = mqtt.caFile;
  if (auto failure = ReadPassword(mqtt, publisher.session.password)) {
    error = *failure;
    return nullptr;
  }
  return std::make_unique<MqttPublisher>(
      client, std::move(publisher),
      [&log](std::string_view line, bool detail) { log(line, detail); });
}

int Usage(std::string_view text) {
  std::fprintf(stderr, "nimbrel-cli serve: %.*s\n", static_cast<int>(text.size()), text.data());
  return 2;
}

}  // namespace

int RunServeCommand(const GlobalOptions& options) {
  ServeArgs args;
  if (const auto error = ParseServeArgs(options.commandArgs, args)) {
    return Usage(*error);
  }
  Pause pause;
  InterruptWatcher interrupt([&pause] { pause.Wake(); });
  const std::unique_ptr<Archive> archive = OpenCliArchive(options);
  if (!archive) {
    return 1;
  }
  FillSavedStations(args.uploads);
  const ServiceLog log(args.verbose);
  std::unique_ptr<MqttClient> client;
  std::unique_ptr<MqttPublisher> publisher;
  if (args.mqtt) {
    client = MakeMosquittoClient();
    std::string error;
    if (!(publisher = StartPublisher(*args.mqtt, *client, log, error))) {
      return Fail("nimbrel-cli serve: " + error);
    }
  }
  const std::unique_ptr<Console> console =
      OpenConsole(options, args.syncHours > 0 ? HistoryUse::kDownload : HistoryUse::kNone);
  if (!console) {
    return 2;
  }
  const std::unique_ptr<UploadSocket> socket = MakeUploadSocket();
  SteadyUploadClock clock;
  UploadLog uploadLog(log);
  // The worker's own diagnostic lines are details.
  std::ostream quiet(nullptr);
  UploadWorker worker({*socket, clock, args.verbose ? std::cerr : quiet}, uploadLog);
  ServeMessages messages(*console, args.uploads, worker, publisher.get(), pause);
  Service service{options,     args,     log,
                  interrupt,   *archive, *console,
                  messages,    pause,    EffectiveRainSeasonStart(options),
                  std::nullopt};
  Serve(service);
  console->Disconnect();
  worker.Stop();
  if (publisher) {
    publisher->Stop();
  }
  log("stopped", false);
  return 0;
}

}  // namespace nimbrel::cli
