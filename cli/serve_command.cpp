// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/serve_command.h"

#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <utility>

#include "archive/archive.h"
#ifdef NIMBREL_WITH_ARCHIVE
#include "archive/past_readings.h"
#include "cli/archive_command.h"
#endif
#include "cli/console.h"
#include "cli/download.h"
#include "cli/environment.h"
#include "cli/serve_web.h"
#include "cli/upload_command.h"
#include "platform/interrupt.h"
#include "platform/service_senders.h"
#ifdef NIMBREL_WITH_MQTT
#include "platform/mqtt_mosquitto.h"
#endif
#include "platform/settings_user.h"
#include "platform/upload_socket_factory.h"
#include "readings/live_readings.h"
#include "service/mqtt_payloads.h"
#include "service/station_service.h"
#include "settings/service_settings.h"
#include "settings/settings_store.h"

namespace nimbrel::cli {

namespace {

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
  bool syncGiven = false;
  bool verbose = false;
  UploadArgs uploads;
  WebArgs web;
};

// A year at most: more would overflow the clock's arithmetic into a download every second.
constexpr long kMaxSyncHours = 8760;
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
    } else if (arg == "--no-http") {
      parsed.web.enabled = false;
    } else if (arg == "--mqtt-password") {
      return "the password is read from --mqtt-password-file FILE or NIMBREL_MQTT_PASSWORD only";
    } else if (i + 1 == args.size()) {
      return "unexpected argument '" + std::string(arg) + "'";
    } else if (arg == "--http") {
      if (auto error = ParseHttpAddress(args[++i], parsed.web)) {
        return error;
      }
    } else if (arg == "--sync-hours") {
      if (!ParseHours(args[++i], parsed.syncHours)) {
        return "--sync-hours takes a whole number of hours up to 8760, 0 for never";
      }
      parsed.syncGiven = true;
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
#ifndef NIMBREL_WITH_ARCHIVE
  if (parsed.syncGiven) {
    return "this build of nimbrel-cli has no weather archive; --sync-hours cannot be used";
  }
  parsed.syncHours = 0;
#endif
  if (mqttGiven) {
#ifndef NIMBREL_WITH_MQTT
    return "this build of nimbrel-cli has no MQTT; --mqtt cannot be used";
#endif
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
    ServiceArgs& args = uploads.For(service);
    if (!args.Enabled()) {
      args.idAndKey = store.ReadStationIdAndKey(service);
    }
  }
}

#ifdef NIMBREL_WITH_MQTT
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
#endif

// One line per event on stderr, where journald keeps it; details only with --verbose.
ServiceLogLine StderrLog(bool verbose) {
  return [verbose](std::string_view line, bool detail) {
    if (!detail || verbose) {
      std::fprintf(stderr, "%.*s\n", static_cast<int>(line.size()), line.data());
      std::fflush(stderr);
    }
  };
}

// The reader's hand-offs, kept for the download and passed on to the service.
class ServeMessages : public DownloadMonitor {
 public:
  explicit ServeMessages(Console& console) : DownloadMonitor(console) {}

  // Before the reader starts.
  void SendTo(StationEvents& events) { events_ = &events; }

  void LiveMessage(const HistoryRecord& text) override {
    DownloadMonitor::LiveMessage(text);
    events_->LiveText(RecordText(text).substr(0, kLiveTextMaxLength));
  }
  void WuMessage(const ParamBuffer& text) override {
    events_->UploadText(ServerIndex::WeatherUnderground, ParameterText(text));
  }
  void WeathercloudMessage(const ParamBuffer& text) override {
    events_->UploadText(ServerIndex::Weathercloud, ParameterText(text));
  }

 private:
  StationEvents* events_ = nullptr;
};

// The console the options name, for the service.
class ServeConsole : public ConsoleLink {
 public:
  ServeConsole(Console& console, const InterruptWatcher& interrupt, std::string destination)
      : console_(console), interrupt_(interrupt), destination_(std::move(destination)) {}

  std::optional<ConnectFailure> Connect(StationEvents& events) override {
    // A new link: the download waits for this console's answer to the greeting, not an old one's.
    messages_.NewLink();
    messages_.SendTo(events);
    if (auto failure = console_.Connect(messages_)) {
      return ConnectFailure{*failure, console_.Device().LastOpenFailure() == OpenFailure::kBusy};
    }
    return std::nullopt;
  }
  void Disconnect() override { console_.Disconnect(); }
  bool Alive() override { return console_.Device().IsValid(); }
  bool Sync(Archive& archive, std::string& line) override {
#ifdef NIMBREL_WITH_ARCHIVE
    const DownloadResult download =
        DownloadHistory(console_, messages_, interrupt_, kSyncStallSeconds, destination_,
                        {"what arrived is archived", "Sync cancelled.", false});
    return MergeDownload(archive, console_, download, line) == 0;
#else
    // Never called: without the archive the service keeps none.
    (void)archive;
    (void)line;
    return false;
#endif
  }

 private:
  Console& console_;
  const InterruptWatcher& interrupt_;
  const std::string destination_;
  ServeMessages messages_{console_};
};

#ifdef NIMBREL_WITH_MQTT
// The publisher's options from the command line, or nothing after setting `error`.
std::optional<PublisherOptions> PublisherOptionsOf(const MqttArgs& mqtt, const ServiceLogLine& log,
                                                   std::string& error) {
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
    return std::nullopt;
  }
  return publisher;
}
#endif

int Usage(std::string_view text) {
  std::fprintf(stderr, "nimbrel-cli serve: %.*s\n", static_cast<int>(text.size()), text.data());
  return 2;
}

// The archive serve keeps, its options in `service`; nothing in a build without it. False after
// saying why it cannot be opened.
bool OpenServeArchive(const GlobalOptions& options, StationServiceOptions& service,
                      std::unique_ptr<Archive>& archive) {
#ifdef NIMBREL_WITH_ARCHIVE
  auto archiveOptions = CliArchiveOptions(options);
  if (!archiveOptions) {
    return false;
  }
  service.archive = std::move(*archiveOptions);
  archive = OpenCliArchive(service.archive);
  return archive != nullptr;
#else
  (void)options;
  (void)service;
  archive.reset();
  return true;
#endif
}

// The network, the archive's past readings and the clock of the weather services; they outlive
// the station service that uses them.
struct ServicesNetwork {
  std::unique_ptr<SettingsBackend> backend = OpenUserSettingsBackend();
  std::unique_ptr<WebSender> web = MakeWebSender();  // nothing without HTTPS
  std::unique_ptr<AprsSender> aprs = MakeAprsSender();
  std::unique_ptr<PastReadings> past;
  SystemServiceClock clock;
};

// Uploads to every weather service that is on, as the window does; their outcomes go back to the
// settings, where `services list` and the window read them.
void StartServices(StationService& station, ServicesNetwork& network) {
#ifdef NIMBREL_WITH_ARCHIVE
  if (station.KeepsArchive()) {
    network.past = std::make_unique<ArchivePastReadings>(station.ArchiveForReaders());
  }
#endif
  SettingsBackend& backend = *network.backend;
  station.StartServices(LoadServicesSettings(backend),
                        {network.web.get(),
                         network.aprs.get(),
                         network.past.get(),
                         &network.clock,
                         NIMBREL_VERSION,
                         LoadServiceOutcomes(backend),
                         [&backend](const ServiceOutcomes& outcomes) {
                           return SaveServiceOutcomes(backend, outcomes);
                         },
                         {}});
}

}  // namespace

int RunServeCommand(const GlobalOptions& options) {
  ServeArgs args;
  if (const auto error = ParseServeArgs(options.commandArgs, args)) {
    return Usage(*error);
  }
#ifndef NIMBREL_WITH_ARCHIVE
  if (!options.archive.empty()) {
    return Usage("this build of nimbrel-cli has no weather archive; --archive cannot be used");
  }
#endif
  std::stop_source stop;
  InterruptWatcher interrupt([&stop] { stop.request_stop(); });
  StationServiceOptions service;
  std::unique_ptr<Archive> archive;
  if (!OpenServeArchive(options, service, archive)) {
    return 1;
  }
  FillSavedStations(args.uploads);
  const ServiceLogLine log = StderrLog(args.verbose);
  if (!archive) {
    log("this build of nimbrel-cli has no weather archive: no sync, no live samples kept, and "
        "the web dashboard has no history or records",
        false);
  }
  service.syncHours = args.syncHours;
  service.seasonStart = EffectiveRainSeasonStart(options);
  service.uploads = args.uploads;
  // The worker's own diagnostic lines are details.
  service.uploadDiagnostics = args.verbose ? &std::cerr : nullptr;
  std::unique_ptr<MqttClient> client;
#ifdef NIMBREL_WITH_MQTT
  if (args.mqtt) {
    std::string error;
    if (!(service.mqtt = PublisherOptionsOf(*args.mqtt, log, error))) {
      return Fail("nimbrel-cli serve: " + error);
    }
    client = MakeMosquittoClient();
    service.mqttClient = client.get();
  }
#endif
  const std::unique_ptr<Console> console =
      OpenConsole(options, args.syncHours > 0 ? HistoryUse::kDownload : HistoryUse::kNone);
  if (!console) {
    return 2;
  }
  // A socket for each service: neither waits for the other's requests.
  const std::unique_ptr<UploadSocket> socket = MakeUploadSocket();
  const std::unique_ptr<UploadSocket> weathercloudSocket = MakeUploadSocket();
  ServeConsole link(*console, interrupt, options.archive.empty() ? "archive" : options.archive);
  ServicesNetwork network;
  StationService station(std::move(service), link, archive.get(), *socket, log,
                         weathercloudSocket.get());
  StartServices(station, network);
  std::string webError;
  if (!StartServeWeb(args.web, options, station, log, webError)) {
    return Fail("nimbrel-cli serve: " + webError);
  }
  station.Run(stop.get_token());
  return 0;
}

}  // namespace nimbrel::cli
