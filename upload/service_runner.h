// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

#include "settings/service_settings.h"
#include "upload/service_replies.h"
#include "upload/service_requests.h"
#include "upload/service_transport.h"

namespace nimbrel {

// Wall-clock time in UTC, which the services take; tests put a fake in its place so that an hour
// of outage passes in an instant.
class ServiceClock {
 public:
  virtual ~ServiceClock() = default;
  virtual std::chrono::sys_seconds Now() = 0;
  // Waits until `until`; returns false at once when `stop` is set first.
  virtual bool WaitUntil(std::chrono::sys_seconds until, std::stop_token stop) = 0;
};

class SystemServiceClock final : public ServiceClock {
 public:
  std::chrono::sys_seconds Now() override;
  bool WaitUntil(std::chrono::sys_seconds until, std::stop_token stop) override;
};

// Where the readings missed during an outage come from: the archive's live samples and records,
// with the console's local times converted to UTC by the PC's time zone.
class PastReadings {
 public:
  virtual ~PastReadings() = default;
  // The readings taken strictly between `after` and `before`, oldest first.
  virtual std::vector<TimedReading> Between(std::chrono::sys_seconds after,
                                            std::chrono::sys_seconds before) = 0;
  // The rain of the 24 hours up to `at`, in mm; nothing when the archive cannot tell.
  virtual std::optional<double> RainLast24Hours(std::chrono::sys_seconds /*at*/) {
    return std::nullopt;
  }
};

// How often and how far back one service is sent readings.
struct ServiceSchedule {
  std::chrono::minutes interval{5};
  bool catchUp = false;
  std::chrono::hours catchUpLimit{0};       // readings older than this are never sent
  std::chrono::seconds catchUpSpacing{10};  // between two caught-up readings
  std::chrono::minutes freshness{10};       // a live reading older than this is not sent
  std::chrono::seconds poll{10};            // how often to look for a live reading when due
};

// 24 hours back for PWSweather and WOW, 2 for Windy, none for CWOP (it takes the arrival time as
// the reading's); the interval and the switch as set.
ServiceSchedule ScheduleOf(WeatherService service, const WeatherServiceSettings& settings);

// One request to one service, as it ended.
struct ServiceAttempt {
  WeatherService service = WeatherService::kPwsWeather;
  std::chrono::sys_seconds readingTime{};
  std::chrono::sys_seconds sentAt{};
  bool catchUp = false;
  Judgement judgement;
  std::string shown;  // the request as it may be shown: the key masked
  // The service started failing with this attempt, or works again: worth a line in a log.
  bool startedFailing = false;
  bool recovered = false;
  // After this attempt: the oldest readings still owed from an ended outage, if any.
  std::optional<OwedReadings> owed;
};

// Keeps an attempt's result in the stored outcome of its service.
void RecordAttempt(const ServiceAttempt& attempt, ServiceOutcome& outcome);

// Sends one reading to one service and judges the reply.
class ServiceUplink {
 public:
  virtual ~ServiceUplink() = default;
  virtual Judgement Send(const TimedReading& reading, std::stop_token stop, std::string& shown) = 0;
};

// PWSweather, WOW or Windy over `sender`.
std::unique_ptr<ServiceUplink> MakeWebUplink(WeatherService service, WebAccount account,
                                             WebSender& sender);
// CWOP over `sender`, with the last 24 hours of rain from `source` (may be null).
std::unique_ptr<ServiceUplink> MakeCwopUplink(CwopStation station, AprsSender& sender,
                                              PastReadings* source);

class ServiceRunner;

// What a runner is built from besides the settings.
struct RunnerParts {
  WebSender* web = nullptr;    // for PWSweather, WOW and Windy
  AprsSender* aprs = nullptr;  // for CWOP
  PastReadings* source = nullptr;
  std::function<void(const ServiceAttempt&)> report;
  std::string version;  // the program's, for the software fields and CWOP's login
  std::optional<std::chrono::sys_seconds> lastSuccess;
  // The stored outcome says the last try failed: an outage that outlived the program's last run,
  // owed from lastSuccess on.
  bool failing = false;
  // From the stored outcome: readings of an ended outage still owed when the program stopped.
  std::optional<OwedReadings> owed;
};

// The runner of one service as its settings say, or nothing with the reason in `why` when the
// service is off or lacks what its requests need (an ID, a key, CWOP's position, a sender).
std::unique_ptr<ServiceRunner> MakeServiceRunner(WeatherService service,
                                                 const ServicesSettings& settings,
                                                 const RunnerParts& parts, std::string& why);

// Decides what one service is sent and when: the newest live reading once per interval, and,
// after an outage, the readings missed since the last success, oldest first, one every
// catchUpSpacing at most, without delaying a live upload. A "too frequent" answer holds the live
// uploads for the wait the service asked for (at least one interval) and the catch-up for one
// interval. Nothing delivered is sent again.
//
// Offer() may be called from any thread; Step() and Run() belong to one thread of their own.
class ServiceRunner {
 public:
  using Report = std::function<void(const ServiceAttempt&)>;

  // `source` may be null: no catch-up then. `lastSuccess`: the time of the last reading the
  // service took, from the stored outcome, where an outage may have begun; `failing`: the
  // outage had begun before this runner, so the readings since lastSuccess are owed already;
  // `owed`: what an earlier run left of its catch-up, sent first.
  ServiceRunner(WeatherService service, ServiceSchedule schedule,
                std::unique_ptr<ServiceUplink> uplink, PastReadings* source, Report report,
                std::optional<std::chrono::sys_seconds> lastSuccess = std::nullopt,
                bool failing = false, std::optional<OwedReadings> owed = std::nullopt);

  // The newest live reading, handed in as it arrives.
  void Offer(TimedReading live);

  // Sends at most one request that is due at `now` and returns when to step again.
  std::chrono::sys_seconds Step(std::chrono::sys_seconds now, std::stop_token stop = {});

  // Steps until `stop`, waiting on `clock` in between.
  void Run(ServiceClock& clock, std::stop_token stop);

  WeatherService Service() const { return service_; }
  // Readings still owed from outages (their gaps, not yet read from the source).
  bool CatchingUp() const { return !gaps_.empty() || !queue_.empty(); }

 private:
  // Readings owed: those taken strictly between `from` and `to`; `to` is open while the outage
  // lasts.
  struct Gap {
    std::chrono::sys_seconds from;
    std::optional<std::chrono::sys_seconds> to;
  };

  std::optional<TimedReading> FreshLive(std::chrono::sys_seconds now);
  bool StepLive(std::chrono::sys_seconds now, std::stop_token stop);
  bool StepCatchUp(std::chrono::sys_seconds now, std::stop_token stop);
  void FillQueue(std::chrono::sys_seconds now);
  void InterruptCatchUp();
  std::chrono::sys_seconds Paused(std::chrono::sys_seconds now, const Judgement& judgement) const;
  std::optional<ServiceAttempt> Attempt(const TimedReading& reading, bool catchUp,
                                        std::chrono::sys_seconds now, std::stop_token stop);
  // Reports an attempt once its outcome has moved the runner on.
  void Tell(ServiceAttempt& attempt) const;
  std::optional<OwedReadings> Owed() const;
  std::chrono::sys_seconds Oldest(std::chrono::sys_seconds now) const {
    return now - schedule_.catchUpLimit;
  }

  const WeatherService service_;
  const ServiceSchedule schedule_;
  const std::unique_ptr<ServiceUplink> uplink_;
  PastReadings* const source_;
  const Report report_;

  std::mutex offered_mutex_;
  std::optional<TimedReading> offered_;  // guarded by offered_mutex_

  std::optional<std::chrono::sys_seconds> nextLive_;  // nothing: at once
  std::optional<std::chrono::sys_seconds> lastLive_;  // the newest live reading tried
  std::optional<std::chrono::sys_seconds> lastDelivered_;
  std::chrono::sys_seconds nextCatchUp_{};
  bool failing_ = false;
  std::deque<Gap> gaps_;
  std::deque<TimedReading> queue_;  // read from the source for the gap being caught up
  Gap queueGap_{};                  // that gap, `from` moved on with each reading taken
};

}  // namespace nimbrel
