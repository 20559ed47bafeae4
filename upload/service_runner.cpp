// SPDX-License-Identifier: GPL-3.0-or-later
#include "upload/service_runner.h"

#include <algorithm>
#include <condition_variable>
#include <utility>

#include "upload/upload_request.h"

namespace nimbrel {
namespace {

using std::chrono::sys_seconds;
using namespace std::chrono_literals;

class WebUplink final : public ServiceUplink {
 public:
  WebUplink(WeatherService service, WebAccount account, WebSender& sender)
      : service_(service), account_(std::move(account)), sender_(sender) {}

  Judgement Send(const TimedReading& reading, std::stop_token stop, std::string& shown) override {
    const Observation& values = reading.values;
    const WebRequest request =
        service_ == WeatherService::kPwsWeather ? ComposePwsWeather(values, reading.time, account_)
        : service_ == WeatherService::kWow      ? ComposeWow(values, reading.time, account_)
                                                : ComposeWindy(values, reading.time, account_);
    shown = MaskedUrl(request.url);
    return JudgeWebReply(service_, sender_.Get(request, std::move(stop)));
  }

 private:
  const WeatherService service_;
  const WebAccount account_;
  WebSender& sender_;
};

class CwopUplink final : public ServiceUplink {
 public:
  CwopUplink(CwopStation station, AprsSender& sender, PastReadings* source)
      : station_(std::move(station)), sender_(sender), source_(source) {}

  Judgement Send(const TimedReading& reading, std::stop_token stop, std::string& shown) override {
    const std::optional<double> rain =
        source_ != nullptr ? source_->RainLast24Hours(reading.time) : std::nullopt;
    const AprsSession session = ComposeCwop(reading.values, reading.time, station_, rain);
    shown = session.packet.substr(0, session.packet.find('\r'));
    return JudgeAprsResult(sender_.Send(session, std::move(stop)));
  }

 private:
  const CwopStation station_;
  AprsSender& sender_;
  PastReadings* const source_;
};

// One reading per interval from those of a gap: the first of each interval counted from the
// gap's start, unless it lies within half an interval of the one kept before, so that readings
// a few seconds off their period neither double up nor leave a hole.
std::deque<TimedReading> OnePerInterval(std::vector<TimedReading> readings, sys_seconds from,
                                        sys_seconds to, std::chrono::seconds interval) {
  std::deque<TimedReading> kept;
  sys_seconds last = from;
  long long lastSlot = -1;
  for (TimedReading& reading : readings) {
    const long long slot = (reading.time - from) / interval;
    if (reading.time <= from || reading.time >= to || slot == lastSlot) {
      continue;
    }
    lastSlot = slot;
    if (reading.time - last >= interval / 2) {
      last = reading.time;
      kept.push_back(std::move(reading));
    }
  }
  return kept;
}

}  // namespace

sys_seconds SystemServiceClock::Now() {
  return std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
}

bool SystemServiceClock::WaitUntil(sys_seconds until, std::stop_token stop) {
  // Nothing notifies this condition: only the stop request ends the wait early.
  std::mutex mutex;
  std::condition_variable_any never;
  std::unique_lock lock(mutex);
  never.wait_until(lock, stop, until, [] { return false; });
  return !stop.stop_requested();
}

ServiceSchedule ScheduleOf(WeatherService service, const WeatherServiceSettings& settings) {
  ServiceSchedule schedule;
  schedule.interval =
      std::chrono::minutes{std::max(settings.intervalMinutes, LimitsOf(service).minimumInterval)};
  schedule.catchUp = settings.catchUp && LimitsOf(service).takesPastReadings;
  schedule.catchUpLimit = service == WeatherService::kWindy ? 2h : schedule.catchUp ? 24h : 0h;
  return schedule;
}

void RecordAttempt(const ServiceAttempt& attempt, ServiceOutcome& outcome) {
  if (attempt.judgement.verdict == Verdict::kDone) {
    outcome.lastSuccess = attempt.sentAt;
    outcome.failing = false;
  } else {
    outcome.lastErrorTime = attempt.sentAt;
    outcome.lastError = attempt.judgement.reason;
    outcome.failing = outcome.failing || attempt.judgement.verdict != Verdict::kTooFrequent;
  }
  outcome.owed = attempt.owed;
}

std::unique_ptr<ServiceUplink> MakeWebUplink(WeatherService service, WebAccount account,
                                             WebSender& sender) {
  return std::make_unique<WebUplink>(service, std::move(account), sender);
}

std::unique_ptr<ServiceUplink> MakeCwopUplink(CwopStation station, AprsSender& sender,
                                              PastReadings* source) {
  return std::make_unique<CwopUplink>(std::move(station), sender, source);
}

namespace {

// The settings file may have been edited by hand: what goes into a request or a header line is
// checked again here.
std::optional<std::string> CheckAccount(const WeatherServiceSettings& one) {
  for (const std::string* text : {&one.id, &one.key, &one.caFile}) {
    if (auto error = CheckServiceText("a setting", *text)) {
      return error;
    }
  }
  return std::nullopt;
}

std::unique_ptr<ServiceUplink> WebUplinkFor(WeatherService service,
                                            const WeatherServiceSettings& one,
                                            const RunnerParts& parts, std::string& why) {
  const std::string name(WeatherServiceName(service));
  std::optional<std::string> error = CheckAccount(one);
  if (!error && !one.endpoint.empty()) {
    error = CheckServiceUrl(one.endpoint);
  }
  if (one.id.empty() || one.key.empty() || parts.web == nullptr) {
    why = name + " has no station ID or key";
  } else if (error) {
    why = name + ": " + *error;
  } else {
    return MakeWebUplink(service,
                         {one.id, one.key, one.endpoint, one.caFile, "Nimbrel " + parts.version},
                         *parts.web);
  }
  return nullptr;
}

std::unique_ptr<ServiceUplink> CwopUplinkFor(const ServicesSettings& settings,
                                             const RunnerParts& parts, std::string& why) {
  const WeatherServiceSettings& one = settings.Of(WeatherService::kCwop);
  const auto endpoint =
      one.endpoint.empty()
          ? std::optional<UploadEndpoint>(UploadEndpoint{std::string(kCwopHost), 14580})
      : one.endpoint.find(':') != std::string::npos ? ParseEndpoint(one.endpoint)
                                                    : std::nullopt;
  if (!settings.latitude || !settings.longitude || parts.aprs == nullptr) {
    why = "cwop has no position";
  } else if (auto error = CheckCallsign(one.id)) {
    why = "cwop: " + *error;
  } else if (auto wrong = one.key.empty() ? std::nullopt : CheckPasscode(one.key)) {
    why = "cwop: " + *wrong;
  } else if (!endpoint) {
    why = "cwop's endpoint is not HOST:PORT";
  } else {
    return MakeCwopUplink({one.id, one.key, *settings.latitude, *settings.longitude, endpoint->host,
                           endpoint->port, parts.version},
                          *parts.aprs, parts.source);
  }
  return nullptr;
}

}  // namespace

std::unique_ptr<ServiceRunner> MakeServiceRunner(WeatherService service,
                                                 const ServicesSettings& settings,
                                                 const RunnerParts& parts, std::string& why) {
  const WeatherServiceSettings& one = settings.Of(service);
  if (!one.on) {
    why = std::string(WeatherServiceName(service)) + " is off";
    return nullptr;
  }
  std::unique_ptr<ServiceUplink> uplink = service == WeatherService::kCwop
                                              ? CwopUplinkFor(settings, parts, why)
                                              : WebUplinkFor(service, one, parts, why);
  if (!uplink) {
    return nullptr;
  }
  return std::make_unique<ServiceRunner>(service, ScheduleOf(service, one), std::move(uplink),
                                         parts.source, parts.report, parts.lastSuccess,
                                         parts.failing, parts.owed);
}

ServiceRunner::ServiceRunner(WeatherService service, ServiceSchedule schedule,
                             std::unique_ptr<ServiceUplink> uplink, PastReadings* source,
                             Report report, std::optional<sys_seconds> lastSuccess, bool failing,
                             std::optional<OwedReadings> owed)
    : service_(service),
      schedule_(schedule),
      uplink_(std::move(uplink)),
      source_(source),
      report_(std::move(report)),
      lastDelivered_(lastSuccess),
      failing_(failing && lastSuccess) {
  if (!schedule_.catchUp || source_ == nullptr) {
    return;
  }
  if (owed && owed->from < owed->to) {
    gaps_.push_back({owed->from, owed->to});
  }
  // An outage the program was stopped or restarted in: what it missed is owed as if it had
  // watched it, and its end is news once, not its start again.
  if (failing_) {
    gaps_.push_back({*lastSuccess, std::nullopt});
  }
}

void ServiceRunner::Offer(TimedReading live) {
  const std::lock_guard lock(offered_mutex_);
  if (!offered_ || offered_->time <= live.time) {
    offered_ = std::move(live);
  }
}

sys_seconds ServiceRunner::Step(sys_seconds now, std::stop_token stop) {
  if (!StepLive(now, stop)) {
    StepCatchUp(now, stop);
  }
  sys_seconds next = nextLive_.value_or(now);
  if (next <= now) {
    next = now + schedule_.poll;  // due, but no new reading yet
  }
  const bool owed = !queue_.empty() || (!gaps_.empty() && gaps_.front().to);
  if (owed && !failing_) {
    next = std::min(next, std::max(nextCatchUp_, now + 1s));
  }
  return next;
}

void ServiceRunner::Run(ServiceClock& clock, std::stop_token stop) {
  while (!stop.stop_requested()) {
    const sys_seconds next = Step(clock.Now(), stop);
    if (!clock.WaitUntil(next, stop)) {
      return;
    }
  }
}

// A "too frequent" answer holds the service for the wait it asked for, one interval at least.
sys_seconds ServiceRunner::Paused(sys_seconds now, const Judgement& judgement) const {
  return now + std::max<std::chrono::seconds>(schedule_.interval, judgement.wait.value_or(0s));
}

std::optional<TimedReading> ServiceRunner::FreshLive(sys_seconds now) {
  const std::lock_guard lock(offered_mutex_);
  if (!offered_ || (lastLive_ && offered_->time <= *lastLive_) ||
      now - offered_->time > schedule_.freshness) {
    return std::nullopt;
  }
  return offered_;
}

bool ServiceRunner::StepLive(sys_seconds now, std::stop_token stop) {
  if (nextLive_ && now < *nextLive_) {
    return false;
  }
  const std::optional<TimedReading> live = FreshLive(now);
  if (!live) {
    return false;
  }
  lastLive_ = live->time;
  std::optional<ServiceAttempt> attempt = Attempt(*live, false, now, stop);
  if (!attempt) {
    return true;
  }
  const Judgement& judgement = attempt->judgement;
  nextLive_ = now + schedule_.interval;
  nextCatchUp_ = std::max(nextCatchUp_, now + schedule_.catchUpSpacing);
  switch (judgement.verdict) {
    case Verdict::kDone:
      lastDelivered_ = live->time;
      if (!gaps_.empty() && !gaps_.back().to) {
        gaps_.back().to = live->time;
      }
      break;
    case Verdict::kTooFrequent:
      // The catch-up would be just as unwelcome.
      nextLive_ = Paused(now, judgement);
      nextCatchUp_ = std::max(nextCatchUp_, *nextLive_);
      break;
    case Verdict::kRefused:
    case Verdict::kFailed:
      InterruptCatchUp();
      if (schedule_.catchUp && source_ != nullptr && (gaps_.empty() || gaps_.back().to)) {
        // The failed reading itself is owed too.
        gaps_.push_back({lastDelivered_.value_or(live->time - 1s), std::nullopt});
      }
      break;
  }
  Tell(*attempt);
  return true;
}

bool ServiceRunner::StepCatchUp(sys_seconds now, std::stop_token stop) {
  if (failing_ || now < nextCatchUp_ || source_ == nullptr) {
    return false;
  }
  while (!gaps_.empty() && gaps_.front().to && *gaps_.front().to <= Oldest(now)) {
    gaps_.pop_front();
  }
  FillQueue(now);
  while (!queue_.empty() && queue_.front().time < Oldest(now)) {
    queue_.pop_front();
  }
  if (queue_.empty()) {
    return false;
  }
  const TimedReading reading = queue_.front();
  std::optional<ServiceAttempt> attempt = Attempt(reading, true, now, stop);
  if (!attempt) {
    return true;
  }
  const Judgement& judgement = attempt->judgement;
  nextCatchUp_ = now + schedule_.catchUpSpacing;
  switch (judgement.verdict) {
    case Verdict::kDone:
      queue_.pop_front();
      queueGap_.from = reading.time;
      break;
    case Verdict::kTooFrequent:
      nextCatchUp_ = Paused(now, judgement);
      break;
    case Verdict::kRefused:
    case Verdict::kFailed:
      InterruptCatchUp();
      break;
  }
  Tell(*attempt);
  return true;
}

void ServiceRunner::FillQueue(sys_seconds now) {
  while (queue_.empty() && !gaps_.empty() && gaps_.front().to) {
    queueGap_ = gaps_.front();
    gaps_.pop_front();
    // One interval before the oldest reading still taken, so that the intervals are counted
    // as from the gap's start; what is too old by then is dropped when it comes up.
    const sys_seconds after = std::max(queueGap_.from, Oldest(now) - schedule_.interval);
    queue_ = OnePerInterval(source_->Between(after, *queueGap_.to), queueGap_.from, *queueGap_.to,
                            schedule_.interval);
  }
}

// What is left of the gap being caught up is owed again, before any later gap.
void ServiceRunner::InterruptCatchUp() {
  if (!queue_.empty()) {
    gaps_.push_front(queueGap_);
    queue_.clear();
  }
}

std::optional<ServiceAttempt> ServiceRunner::Attempt(const TimedReading& reading, bool catchUp,
                                                     sys_seconds now, std::stop_token stop) {
  ServiceAttempt attempt;
  attempt.judgement = uplink_->Send(reading, stop, attempt.shown);
  if (stop.stop_requested()) {
    return std::nullopt;  // cut short: neither a success nor a failure of the service
  }
  attempt.service = service_;
  attempt.readingTime = reading.time;
  attempt.sentAt = now;
  attempt.catchUp = catchUp;
  const Verdict verdict = attempt.judgement.verdict;
  if (verdict == Verdict::kDone) {
    attempt.recovered = failing_;
    failing_ = false;
  } else if (verdict != Verdict::kTooFrequent) {
    attempt.startedFailing = !failing_;
    failing_ = true;
  }
  return attempt;
}

void ServiceRunner::Tell(ServiceAttempt& attempt) const {
  attempt.owed = Owed();
  if (report_) {
    report_(attempt);
  }
}

std::optional<OwedReadings> ServiceRunner::Owed() const {
  if (!queue_.empty()) {
    return OwedReadings{queueGap_.from, *queueGap_.to};
  }
  if (!gaps_.empty() && gaps_.front().to) {
    return OwedReadings{gaps_.front().from, *gaps_.front().to};
  }
  return std::nullopt;
}

}  // namespace nimbrel
