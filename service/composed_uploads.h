// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

#include "settings/service_settings.h"
#include "upload/service_runner.h"
#include "upload/service_transport.h"

namespace nimbrel {

// How one try of one service ended, as the log, the MQTT state and the window show it.
struct UploadNews {
  std::size_t index = 0;   // into ServiceOutcomes: a WeatherService, kWuOutcome or kWcOutcome
  ServiceOutcome outcome;  // as it stands after this try
  bool success = false;
  bool startedFailing = false;  // the first failure after a success (or since the start)
  bool recovered = false;       // the first success after a failure
  bool catchUp = false;         // a reading missed during an outage
  std::string reason;           // why it failed, in words; never a key
  // The outcomes could not be stored: set on the first such failure only, until a save works.
  bool unsaved = false;
};

// What the uploads are built from besides the settings. The pointers outlive the uploads.
struct ComposedUploadsParts {
  WebSender* web = nullptr;    // nothing: a build without HTTPS; PWSweather, WOW and Windy left out
  AprsSender* aprs = nullptr;  // nothing: CWOP left out
  PastReadings* past = nullptr;  // nothing: no catch-up, and no 24 hours of rain for CWOP
  ServiceClock* clock = nullptr;
  std::string version;     // the program's
  ServiceOutcomes stored;  // as last saved
  // Keeps the outcomes (the settings files, the registry...); false when it could not.
  std::function<bool(const ServiceOutcomes&)> save;
  // Each try of each service, on that service's thread; hand the news over and return.
  std::function<void(const UploadNews&)> report;
};

// The services whose readings the program composes, each on a thread of its own so that one's
// wait, slow host or outage never holds up another: hands each live reading to every service that
// is on, and keeps how each one fared.
class ComposedUploads {
 public:
  // Starts a runner for each service that is on and has what its requests need.
  ComposedUploads(const ServicesSettings& settings, ComposedUploadsParts parts);
  ComposedUploads(const ComposedUploads&) = delete;
  ComposedUploads& operator=(const ComposedUploads&) = delete;
  ~ComposedUploads();

  // Any thread; never waits for the network.
  void Offer(std::string_view liveText, std::chrono::sys_seconds receivedUtc);

  // Any thread: how the console's own services (kWuOutcome, kWcOutcome) fared, kept with the
  // others' so that every view shows them alike.
  void RecordConsoleUpload(std::size_t index, bool success, std::string_view reason,
                           std::chrono::sys_seconds at);

  // Ends every runner's thread; waits for a request under way to end.
  void Stop();

  bool Running(WeatherService service) const { return runners_[Slot(service)] != nullptr; }
  // Why a service is not running ("pwsweather is off", "windy has no station ID or key"...);
  // empty when it runs.
  const std::string& WhyNot(WeatherService service) const { return whyNot_[Slot(service)]; }
  bool AnyRunning() const;

  ServiceOutcomes Outcomes() const;

 private:
  static std::size_t Slot(WeatherService service) {
    return static_cast<std::size_t>(service) % kWeatherServiceCount;
  }
  void Record(std::size_t index, UploadNews news,
              const std::function<void(ServiceOutcome&, UploadNews&)>& change);

  const ComposedUploadsParts parts_;
  mutable std::mutex mutex_;
  ServiceOutcomes outcomes_;  // guarded by mutex_
  bool saveFailing_ = false;  // guarded by mutex_
  std::array<std::string, kWeatherServiceCount> whyNot_;
  std::array<std::unique_ptr<ServiceRunner>, kWeatherServiceCount> runners_;
  std::array<std::jthread, kWeatherServiceCount> threads_;  // last: they use everything above
};

}  // namespace nimbrel
