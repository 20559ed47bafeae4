// SPDX-License-Identifier: GPL-3.0-or-later
// The composed services' uploads on their own threads: which services run and why the others do
// not, each one's try, and how each fared kept and stored.
#include "service/composed_uploads.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <string>
#include <tuple>
#include <vector>

namespace nimbrel::testing {
namespace {

using namespace std::chrono;
using namespace std::chrono_literals;

constexpr sys_seconds kStart = sys_days{2026y / 6 / 1} + 12h;

// A clock that moves only when the test moves it; the runners' threads wait for it.
class ManualClock final : public ServiceClock {
 public:
  sys_seconds Now() override {
    const std::lock_guard lock(mutex_);
    return now_;
  }
  bool WaitUntil(sys_seconds until, std::stop_token stop) override {
    std::unique_lock lock(mutex_);
    moved_.wait(lock, stop, [&] { return now_ >= until; });
    return !stop.stop_requested();
  }
  void MoveTo(sys_seconds time) {
    {
      const std::lock_guard lock(mutex_);
      now_ = time;
    }
    moved_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable_any moved_;
  sys_seconds now_ = kStart;
};

// Answers every host but WOW's.
struct Senders final : WebSender, AprsSender {
  WebReply Get(const WebRequest& request, std::stop_token) override {
    if (request.url.find("metoffice") != std::string::npos) {
      return {WebFailure::kNoConnection, 0, {}, {}, "refused"};
    }
    return {WebFailure::kNone, 200, "success", {}, {}};
  }
  AprsResult Send(const AprsSession&, std::stop_token) override { return {AprsOutcome::kSent, {}}; }
};

// The news told, which the test waits for, and how many saves worked.
struct Told {
  std::mutex mutex;
  std::condition_variable changed;
  std::vector<UploadNews> news;
  bool saveWorks = true;
  int saves = 0;

  void Report(const UploadNews& one) {
    const std::lock_guard lock(mutex);
    news.push_back(one);
    changed.notify_all();
  }
  bool WaitFor(std::size_t count) {
    std::unique_lock lock(mutex);
    return changed.wait_for(lock, 5min, [&] { return news.size() >= count; });
  }
};

ServicesSettings FourOn() {
  ServicesSettings settings;
  settings.Of(WeatherService::kPwsWeather) = {true, "PWS1", "secret", 5, true, "", ""};
  settings.Of(WeatherService::kWow) = {true, "123", "654321", 15, true, "", ""};
  settings.Of(WeatherService::kWindy) = {true, "W1", "pass", 5, true, "", ""};
  settings.Of(WeatherService::kCwop) = {true, "EW1234", "", 10, false, "", ""};
  settings.latitude = 49.058333;
  settings.longitude = -72.029167;
  return settings;
}

// A build without HTTPS runs CWOP alone and says why the others do not run.
TEST(ComposedUploadsTest, SaysWhyAServiceDoesNotRun) {
  ServicesSettings settings = FourOn();
  settings.Of(WeatherService::kWow).on = false;
  Senders senders;
  ManualClock clock;
  ComposedUploads uploads(settings, {nullptr, &senders, nullptr, &clock});
  const std::array<const char*, kWeatherServiceCount> whyNot = {
      "pwsweather is left out of this build (no HTTPS)", "wow is off",
      "windy is left out of this build (no HTTPS)", ""};
  for (const WeatherService service : kWeatherServices) {
    const std::string why = whyNot[static_cast<std::size_t>(service)];
    EXPECT_EQ(uploads.WhyNot(service), why);
    EXPECT_EQ(uploads.Running(service), why.empty());
  }
}

TEST(ComposedUploadsTest, EachServiceTriesOnItsThreadAndEveryOutcomeIsKept) {
  Senders senders;
  ManualClock clock;
  Told told;
  ServiceOutcomes stored;
  stored[kWuOutcome].lastSuccess = kStart - 1h;
  ComposedUploads uploads(FourOn(), {&senders, &senders, nullptr, &clock, "1.0", stored,
                                     [&](const ServiceOutcomes& outcomes) {
                                       ++told.saves;
                                       return told.saveWorks &&
                                              outcomes[kWuOutcome].lastSuccess == kStart - 1h;
                                     },
                                     [&](const UploadNews& news) { told.Report(news); }});
  uploads.Offer("0 2026-6-1 12:00 25.0 50", kStart);
  clock.MoveTo(kStart + 10s);
  ASSERT_TRUE(told.WaitFor(4));
  for (const UploadNews& news : told.news) {
    const bool wow = news.index == static_cast<std::size_t>(WeatherService::kWow);
    EXPECT_EQ(news.success, !wow) << news.index;
    EXPECT_EQ(news.startedFailing, wow) << news.index;
    EXPECT_FALSE(news.unsaved) << news.index;
    EXPECT_EQ(uploads.Outcomes()[news.index].lastSuccess,
              wow ? std::nullopt : std::optional(kStart + 10s));
  }
  EXPECT_EQ(told.saves, 4);

  // The console's services, kept beside them: a failure is news once, so is the recovery, and
  // so is the first save that fails.
  told.saveWorks = false;
  const struct {
    bool success, startedFailing, recovered, unsaved;
  } console[] = {
      {false, true, false, true}, {false, false, false, false}, {true, false, true, false}};
  for (const auto& step : console) {
    uploads.RecordConsoleUpload(kWcOutcome, step.success, "no reply", kStart + 1min);
    const UploadNews& news = told.news.back();
    EXPECT_EQ(news.index, kWcOutcome);
    EXPECT_EQ(std::tuple(news.startedFailing, news.recovered, news.unsaved),
              std::tuple(step.startedFailing, step.recovered, step.unsaved));
  }
  EXPECT_EQ(told.news.size(), 7U);
  EXPECT_EQ(uploads.Outcomes()[kWcOutcome].lastError, "no reply");
}

// An outage the program was restarted in: the service's first success after it is its recovery,
// and the readings missed since its last success, from the archive, follow.
TEST(ComposedUploadsTest, AnOutageThatOutlivedTheLastRunIsCaughtUp) {
  struct Past final : PastReadings {
    std::vector<TimedReading> Between(sys_seconds after, sys_seconds before) override {
      std::vector<TimedReading> found;
      for (sys_seconds time = kStart - 1h; time < kStart; time += 5min) {
        if (time > after && time < before) {
          found.push_back({time, ReadObservation("0 2026-6-1 11:00 20.0 60")});
        }
      }
      return found;
    }
  } past;
  Senders senders;
  ManualClock clock;
  Told told;
  ServiceOutcomes stored;
  stored[static_cast<std::size_t>(WeatherService::kWindy)] = {kStart - 13min, kStart - 6min,
                                                              "no connection", true};
  ServicesSettings settings;
  settings.Of(WeatherService::kWindy) = FourOn().Of(WeatherService::kWindy);
  ComposedUploads uploads(
      settings, {&senders, &senders, &past, &clock, "1.0", stored, {}, [&](const UploadNews& news) {
                   told.Report(news);
                 }});
  uploads.Offer("0 2026-6-1 12:00 25.0 50", kStart);
  for (std::size_t tries = 1; tries <= 3; ++tries) {
    clock.MoveTo(kStart + tries * 10s);
    ASSERT_TRUE(told.WaitFor(tries));
  }
  // The live reading, then the two taken after the last success (minutes -10 and -5), once each.
  EXPECT_TRUE(told.news[0].recovered && !told.news[0].catchUp);
  EXPECT_TRUE(told.news[1].catchUp && told.news[2].catchUp);
  EXPECT_FALSE(told.news[1].startedFailing || told.news[2].recovered);
  clock.MoveTo(kStart + 40s);
  uploads.Stop();
  EXPECT_EQ(told.news.size(), 3U);
}

}  // namespace
}  // namespace nimbrel::testing
