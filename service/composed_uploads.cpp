// SPDX-License-Identifier: GPL-3.0-or-later
#include "service/composed_uploads.h"

#include <algorithm>
#include <utility>

#include "upload/service_requests.h"

namespace nimbrel {

ComposedUploads::ComposedUploads(const ServicesSettings& settings, ComposedUploadsParts parts)
    : parts_(std::move(parts)), outcomes_(parts_.stored) {
  for (const WeatherService service : kWeatherServices) {
    const std::size_t slot = Slot(service);
    const bool web = service != WeatherService::kCwop;
    if (settings.Of(service).on && parts_.clock == nullptr) {
      whyNot_[slot] = std::string(WeatherServiceName(service)) + " has no clock";
      continue;
    }
    if (settings.Of(service).on && web && parts_.web == nullptr) {
      whyNot_[slot] =
          std::string(WeatherServiceName(service)) + " is left out of this build (no HTTPS)";
      continue;
    }
    RunnerParts runnerParts{
        parts_.web,
        parts_.aprs,
        parts_.past,
        [this, slot](const ServiceAttempt& attempt) {
          UploadNews news;
          news.success = attempt.judgement.verdict == Verdict::kDone;
          news.startedFailing = attempt.startedFailing;
          news.recovered = attempt.recovered;
          news.catchUp = attempt.catchUp;
          news.reason = news.success ? "" : attempt.judgement.reason;
          Record(slot, std::move(news),
                 [&](ServiceOutcome& outcome, UploadNews&) { RecordAttempt(attempt, outcome); });
        },
        parts_.version,
        outcomes_[slot].lastSuccess,
        outcomes_[slot].failing,
        outcomes_[slot].owed};
    runners_[slot] = MakeServiceRunner(service, settings, runnerParts, whyNot_[slot]);
  }
  for (std::size_t slot = 0; slot < kWeatherServiceCount; ++slot) {
    if (runners_[slot]) {
      ServiceRunner& runner = *runners_[slot];
      threads_[slot] = std::jthread(
          [&runner, clock = parts_.clock](std::stop_token stop) { runner.Run(*clock, stop); });
    }
  }
}

ComposedUploads::~ComposedUploads() {
  Stop();
}

void ComposedUploads::Offer(std::string_view liveText, std::chrono::sys_seconds receivedUtc) {
  if (!AnyRunning()) {
    return;
  }
  const TimedReading reading{receivedUtc, ReadObservation(liveText)};
  for (const std::unique_ptr<ServiceRunner>& runner : runners_) {
    if (runner) {
      runner->Offer(reading);
    }
  }
}

void ComposedUploads::RecordConsoleUpload(std::size_t index, bool success, std::string_view reason,
                                          std::chrono::sys_seconds at) {
  if (index != kWuOutcome && index != kWcOutcome) {
    return;
  }
  UploadNews news;
  news.success = success;
  news.reason = success ? "" : std::string(reason);
  Record(index, std::move(news), [&](ServiceOutcome& outcome, UploadNews& told) {
    told.startedFailing = !success && !outcome.failing;
    told.recovered = success && outcome.failing;
    if (success) {
      outcome.lastSuccess = at;
    } else {
      outcome.lastErrorTime = at;
      outcome.lastError = reason;
    }
    outcome.failing = !success;
  });
}

// Changes one outcome and stores them all under the lock, so that the stored file follows the
// order of the tries; tells the news after, so that the hook may ask for the outcomes.
void ComposedUploads::Record(std::size_t index, UploadNews news,
                             const std::function<void(ServiceOutcome&, UploadNews&)>& change) {
  news.index = index;
  {
    const std::lock_guard lock(mutex_);
    change(outcomes_[index], news);
    news.outcome = outcomes_[index];
    const bool saved = !parts_.save || parts_.save(outcomes_);
    news.unsaved = !saved && !saveFailing_;
    saveFailing_ = !saved;
  }
  if (parts_.report) {
    parts_.report(news);
  }
}

void ComposedUploads::Stop() {
  for (std::jthread& thread : threads_) {
    thread.request_stop();
  }
  for (std::jthread& thread : threads_) {
    if (thread.joinable()) {
      thread.join();
    }
  }
}

bool ComposedUploads::AnyRunning() const {
  return std::any_of(
      runners_.begin(), runners_.end(),
      [](const std::unique_ptr<ServiceRunner>& runner) { return runner != nullptr; });
}

ServiceOutcomes ComposedUploads::Outcomes() const {
  const std::lock_guard lock(mutex_);
  return outcomes_;
}

}  // namespace nimbrel
