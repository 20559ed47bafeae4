// SPDX-License-Identifier: GPL-3.0-or-later
#include "service/station_service.h"

#include <algorithm>
#include <exception>
#include <utility>

#include "service/mqtt_payloads.h"

namespace nimbrel {

namespace {

using Clock = std::chrono::steady_clock;

// How often a missing console is looked for, and how often the main loop looks around.
constexpr auto kConsolePoll = std::chrono::seconds(2);
constexpr auto kTick = std::chrono::seconds(1);
// After a sync that did not complete, the next one comes when the console comes back, or after
// this pause if it stays.
constexpr auto kSyncRetry = std::chrono::hours(1);

}  // namespace

StationService::StationService(StationServiceOptions options, ConsoleLink& console,
                               Archive* archive, UploadSocket& uploadSocket, ServiceLogLine log,
                               UploadSocket* weathercloudSocket)
    : options_(std::move(options)),
      console_(console),
      log_(std::move(log)),
      uploads_(uploadSocket, options_.uploads, options_.uploadDiagnostics, log_, weathercloudSocket,
               [this](ServerIndex service, bool acknowledged, std::string_view failure) {
                 ConsoleUploadFinished(service, acknowledged, failure);
               }) {
  if (archive != nullptr) {
    keeping_.emplace(*archive, options_.seasonStart, log_);
  }
  if (options_.mqtt && options_.mqttClient != nullptr) {
    publisher_ = std::make_unique<MqttPublisher>(*options_.mqttClient, *options_.mqtt, log_);
    AddLiveListener("MQTT", [publisher = publisher_.get()](const LiveUpdate& update) {
      publisher->PublishState(std::string(update.state));
    });
  }
}

StationService::~StationService() = default;

void StationService::AddLiveListener(std::string name, LiveListener listener) {
  listeners_.push_back({std::move(name), std::move(listener)});
}

bool StationService::StartWeb(WebPartOptions options, std::string& error) {
  auto web = std::make_unique<WebPart>(std::move(options), consoleState_, log_);
  if (!web->Listen(error)) {
    return false;
  }
  web_ = std::move(web);
  AddLiveListener("web dashboard", [web = web_.get()](const LiveUpdate& update) {
    web->Take(update.text, update.state);
  });
  return true;
}

void StationService::StartServices(const ServicesSettings& settings, ComposedUploadsParts parts) {
  ServiceClock* const clock = parts.clock;
  parts.report = [this, chained = std::move(parts.report)](const UploadNews& news) {
    ServiceNews(news);
    if (chained) {
      chained(news);
    }
  };
  services_ = std::make_unique<ComposedUploads>(settings, std::move(parts));
  statedServices_.clear();
  for (const WeatherService service : kWeatherServices) {
    if (services_->Running(service)) {
      statedServices_.push_back(static_cast<std::size_t>(service));
    } else if (settings.Of(service).on) {
      log_(services_->WhyNot(service) + ": not uploading to " +
               std::string(WeatherServiceTitle(service)),
           false);
    }
  }
  if (options_.uploads.wu.Enabled()) {
    statedServices_.push_back(kWuOutcome);
  }
  if (options_.uploads.wc.Enabled()) {
    statedServices_.push_back(kWcOutcome);
  }
  if (services_->AnyRunning() && clock != nullptr) {
    AddLiveListener("weather services",
                    [services = services_.get(), clock](const LiveUpdate& update) {
                      services->Offer(update.text, clock->Now());
                    });
  }
}

void StationService::ConsoleUploadFinished(ServerIndex service, bool acknowledged,
                                           std::string_view failure) {
  if (services_) {
    services_->RecordConsoleUpload(
        service == ServerIndex::Weathercloud ? kWcOutcome : kWuOutcome, acknowledged, failure,
        std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now()));
  }
}

// One line when a service starts failing and one when it works again; each try is a detail. The
// console's two services have their lines from the upload part.
void StationService::ServiceNews(const UploadNews& news) const {
  if (news.unsaved) {
    log_("the weather services' last successes and errors could not be saved", false);
  }
  if (news.index >= kWeatherServiceCount) {
    return;
  }
  const std::string title(WeatherServiceTitle(static_cast<WeatherService>(news.index)));
  const std::string kind = news.catchUp ? " (a missed reading)" : "";
  if (news.startedFailing) {
    log_(title + " uploads fail: " + news.reason, false);
  } else if (news.recovered) {
    log_(title + " uploads work again", false);
  } else {
    log_(title + " upload" + kind + ": " + (news.success ? "done" : news.reason), true);
  }
}

void StationService::Run(std::stop_token stop) {
  const std::stop_callback wake(stop, [this] { Wake(); });
  Serve(stop);
  KeepLive();
  console_.Disconnect();
  consoleState_ = ConsoleState::kStopped;
  uploads_.Stop();
  if (services_) {
    services_->Stop();
  }
  if (publisher_) {
    publisher_->Stop();
  }
  if (web_) {
    web_->Stop();
  }
  log_("stopped", false);
}

void StationService::LiveText(std::string_view text) {
  const TodayFigures today = keeping_ ? keeping_->Offer(text) : TodayFigures{};
  if (!listeners_.empty()) {
    const std::string state = LiveStateJson(text, today, ServicesState());
    for (Listener& listener : listeners_) {
      Tell(listener, {text, state});
    }
  }
  Wake();
}

// A listener's fault is its own: the reading still reaches the others and the archive. Said
// once when it starts failing and once when it works again.
void StationService::Tell(Listener& listener, const LiveUpdate& update) {
  std::string failure;
  try {
    listener.call(update);
  } catch (const std::exception& error) {
    failure = error.what();
  } catch (...) {
    failure = "unknown error";
  }
  const bool failing = !failure.empty();
  if (failing) {
    log_(listener.name + ": the live reading was not handed over: " + failure, listener.failing);
  } else if (listener.failing) {
    log_(listener.name + ": live readings are handed over again", false);
  }
  listener.failing = failing;
}

std::string StationService::ServicesState() const {
  return services_ ? ServicesStateJson(services_->Outcomes(), statedServices_) : std::string();
}

void StationService::UploadText(ServerIndex service, std::string_view parameterText) {
  uploads_.Post(service, parameterText);
}

// Connects to the console; says so once while it stays away or another program holds it.
bool StationService::ConnectConsole(std::string& lastFailure) {
  if (auto failure = console_.Connect(*this)) {
    if (failure->busy) {
      failure->text += " Waiting until it is free.";
    }
    consoleState_ = failure->busy ? ConsoleState::kBusy : ConsoleState::kAbsent;
    console_.Disconnect();
    log_(failure->text, failure->text == lastFailure);
    lastFailure = failure->text;
    return false;
  }
  lastFailure.clear();
  consoleState_ = ConsoleState::kConnected;
  log_("console connected", false);
  return true;
}

void StationService::Serve(std::stop_token stop) {
  const auto syncEvery = std::chrono::hours(options_.syncHours);
  const auto retryEvery = std::min<Clock::duration>(kSyncRetry, syncEvery);
  auto nextSync = Clock::now();
  bool synced = true;  // the last sync brought the whole log
  bool connected = false;
  std::string lastFailure;
  while (!stop.stop_requested()) {
    if (!connected) {
      if (!(connected = ConnectConsole(lastFailure))) {
        PauseFor(kConsolePoll);
        continue;
      }
      if (!synced) {
        nextSync = Clock::now();  // what a pulled plug left out is fetched as soon as it is back
      }
    }
    if (keeping_ && options_.syncHours > 0 && Clock::now() >= nextSync) {
      synced = keeping_->Sync(console_);
      nextSync = Clock::now() + (synced ? syncEvery : retryEvery);
    }
    KeepLive();
    PauseFor(kTick);
    if (!console_.Alive()) {
      log_("console gone; waiting for it", false);
      console_.Disconnect();
      consoleState_ = ConsoleState::kAbsent;
      connected = false;
    }
  }
}

void StationService::KeepLive() {
  if (keeping_) {
    keeping_->KeepLive();
  }
}

void StationService::Wake() {
  std::lock_guard lock(pauseMutex_);
  woken_ = true;
  paused_.notify_all();
}

void StationService::PauseFor(Clock::duration wait) {
  std::unique_lock lock(pauseMutex_);
  paused_.wait_for(lock, wait, [this] { return woken_; });
  woken_ = false;
}

}  // namespace nimbrel
