// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <ostream>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

#include "archive/archive.h"
#include "service/archive_keeping.h"
#include "service/composed_uploads.h"
#include "service/console_link.h"
#include "service/mqtt_publisher.h"
#include "service/service_log.h"
#include "service/upload_part.h"
#include "service/web_part.h"

namespace nimbrel {

struct StationServiceOptions {
  long syncHours = 24;  // how often the console's log is downloaded; 0: never
  unsigned seasonStart = 1;
  UploadTargets uploads;
  // Where the upload worker's own lines go; nothing: nowhere.
  std::ostream* uploadDiagnostics = nullptr;
  // The broker to publish to, with the client; nothing: no MQTT.
  std::optional<PublisherOptions> mqtt;
  MqttClient* mqttClient = nullptr;
  // The archive the service writes, when it has one. Its connection belongs to the service's
  // thread: a part that reads the archive from another thread opens a connection of its own with
  // these options (OpenArchive); SQLite's locking and WAL let it read while the service writes.
  ArchiveOptions archive;
};

// A live reading as the listeners get it.
struct LiveUpdate {
  std::string_view text;   // the console's live text
  std::string_view state;  // the state object (JSON) that MQTT publishes, with today's figures
};
using LiveListener = std::function<void(const LiveUpdate&)>;

// The station, unattended: follows the console, keeps the archive, uploads, and hands each live
// reading to its listeners (MQTT among them). The platform's parts (the console, the archive's
// connection, the upload socket, the MQTT client) come from the caller and outlive the service.
// Without an archive (nullptr) there is no archive keeping: no sync, no live samples, and the
// state carries no figures of today.
class StationService : private StationEvents {
 public:
  // `weathercloudSocket`: a socket of Weathercloud's own, so that neither service's requests wait
  // for the other's; nothing: the two take turns on `uploadSocket`.
  StationService(StationServiceOptions options, ConsoleLink& console, Archive* archive,
                 UploadSocket& uploadSocket, ServiceLogLine log,
                 UploadSocket* weathercloudSocket = nullptr);
  StationService(const StationService&) = delete;
  StationService& operator=(const StationService&) = delete;
  ~StationService() override;

  // Before Run. Listeners are called on the console reader's thread, one after another, with
  // each live reading: they hand it over and return, for the reader waits for them. One that
  // throws is named in the log and does not keep the reading from the others.
  void AddLiveListener(std::string name, LiveListener listener);

  // Before Run: starts the web dashboard, which serves until the service stops. False with the
  // reason in `error` when its server cannot listen.
  bool StartWeb(WebPartOptions options, std::string& error);

  // Before Run: uploads each live reading to the weather services that are on, each on a thread
  // of its own, and keeps how they and the console's two services fared (through `parts.save`).
  // The log gets one line when a service starts failing and one when it works again, and a line
  // for each service that is on but cannot run; the MQTT state carries each one's last success
  // and whether its last try failed. Stopped at the end of Run.
  void StartServices(const ServicesSettings& settings, ComposedUploadsParts parts);

  // Runs until `stop` is requested; then releases the console and stops every part.
  void Run(std::stop_token stop);

  // Any thread.
  ConsoleState Console() const { return consoleState_.load(); }
  bool KeepsArchive() const { return keeping_.has_value(); }
  const ArchiveOptions& ArchiveForReaders() const { return options_.archive; }

 private:
  struct Listener {
    std::string name;
    LiveListener call;
    bool failing = false;  // on the reader's thread only
  };

  // The reader's hand-offs.
  void LiveText(std::string_view text) override;
  void UploadText(ServerIndex service, std::string_view parameterText) override;

  void Serve(std::stop_token stop);
  bool ConnectConsole(std::string& lastFailure);
  void Tell(Listener& listener, const LiveUpdate& update);
  void ConsoleUploadFinished(ServerIndex service, bool acknowledged, std::string_view failure);
  void ServiceNews(const UploadNews& news) const;
  std::string ServicesState() const;
  void KeepLive();
  void Wake();
  void PauseFor(std::chrono::steady_clock::duration wait);

  const StationServiceOptions options_;
  ConsoleLink& console_;
  const ServiceLogLine log_;
  std::atomic<ConsoleState> consoleState_{ConsoleState::kStarting};
  std::vector<Listener> listeners_;
  std::optional<ArchiveKeeping> keeping_;
  // Set before Run; the upload worker's threads record the console's services' results in it.
  std::unique_ptr<ComposedUploads> services_;
  std::vector<std::size_t> statedServices_;  // the outcomes the MQTT state carries
  UploadPart uploads_;
  std::unique_ptr<MqttPublisher> publisher_;
  std::unique_ptr<WebPart> web_;
  // The main loop's pause, cut short by a stop or a new live reading.
  std::mutex pauseMutex_;
  std::condition_variable paused_;
  bool woken_ = false;
};

}  // namespace nimbrel
