// SPDX-License-Identifier: GPL-3.0-or-later
// The composed services' uploads on their own threads: which services run and why the others do
// not, every running one sent each reading, one failing without holding up the others, and how
// each fared kept and stored.
#include "service/composed_uploads.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <string>
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

// Answers every host but WOW's; keeps the requests' URLs.
struct Senders final : WebSender, AprsSender {
  std::mutex mutex;
  std::vector<std::string> sent;
  WebReply Get(const WebRequest& request, std::stop_token) override {
    Keep(request.url.substr(0, request.url.find('?')));
    if (request.url.find("metoffice") != std::string::npos) {
      return {WebFailure::kNoConnection, 0, {}, {}, "refused"};
    }
    return {WebFailure::kNone, 200, "success", {}, {}};
  }
  AprsResult Send(const AprsSession& session, std::stop_token) override {
    Keep(session.packet.substr(0, session.packet.find('>')));
    return {AprsOutcome::kSent, {}};
  }
  void Keep(std::string what) {
    const std::lock_guard lock(mutex);
    sent.push_back(std::move(what));
  }
};

// The news told, which a test waits for.
struct Told {
  std::mutex mutex;
  std::condition_variable changed;
  std::vector<UploadNews> news;
  std::vector<ServiceOutcomes> saved;
  bool saveWorks = true;

  void Report(const UploadNews& one) {
    const std::lock_guard lock(mutex);
    news.push_back(one);
    changed.notify_all();
  }
  bool Save(const ServiceOutcomes& outcomes) {
    const std::lock_guard lock(mutex);
    saved.push_back(outcomes);
    return saveWorks;
  }
  bool WaitFor(std::size_t count) {
    std::unique_lock lock(mutex);
    return changed.wait_for(lock, 5min, [&] { return news.size() >= count; });
  }
  const UploadNews* Of(std::size_t index) {
    const std::lock_guard lock(mutex);
    for (const UploadNews& one : news) {
      if (one.index == index) {
        return &one;
      }
    }
    return nullptr;
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

TEST(ComposedUploadsTest, RunsWhatIsOnAndSaysWhyTheOthersAreNot) {
  struct Row {
    const char* what;
    void (*change)(ServicesSettings&);
    bool withWeb;
    std::array<const char*, kWeatherServiceCount> whyNot;  // "" for running
  };
  const Row rows[] = {
      {"all four", [](ServicesSettings&) {}, true, {"", "", "", ""}},
      {"one off, one without a key, CWOP without a position",
       [](ServicesSettings& s) {
         s.Of(WeatherService::kPwsWeather).on = false;
         s.Of(WeatherService::kWindy).key.clear();
         s.latitude.reset();
       },
       true,
       {"pwsweather is off", "", "windy has no station ID or key", "cwop has no position"}},
      {"a build without HTTPS: CWOP alone",
       [](ServicesSettings& s) { s.Of(WeatherService::kWow).on = false; },
       false,
       {"pwsweather is left out of this build (no HTTPS)", "wow is off",
        "windy is left out of this build (no HTTPS)", ""}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    ServicesSettings settings = FourOn();
    row.change(settings);
    Senders senders;
    ManualClock clock;
    ComposedUploads uploads(settings,
                            {row.withWeb ? &senders : nullptr, &senders, nullptr, &clock});
    for (const WeatherService service : kWeatherServices) {
      const std::string why = row.whyNot[static_cast<std::size_t>(service)];
      EXPECT_EQ(uploads.WhyNot(service), why);
      EXPECT_EQ(uploads.Running(service), why.empty());
    }
  }
}

TEST(ComposedUploadsTest, EachServiceGetsTheReadingAndOneFailingIsNewsOnce) {
  Senders senders;
  ManualClock clock;
  Told told;
  ServiceOutcomes stored;
  stored[kWuOutcome].lastSuccess = kStart - 1h;
  ComposedUploads uploads(FourOn(), {&senders, &senders, nullptr, &clock, "1.0", stored,
                                     [&](const ServiceOutcomes& o) { return told.Save(o); },
                                     [&](const UploadNews& news) { told.Report(news); }});
  uploads.Offer("0 2026-6-1 12:00 25.0 50", kStart);
  clock.MoveTo(kStart + 10s);
  ASSERT_TRUE(told.WaitFor(4));

  for (const WeatherService service : kWeatherServices) {
    const auto index = static_cast<std::size_t>(service);
    SCOPED_TRACE(WeatherServiceName(service));
    const UploadNews* news = told.Of(index);
    ASSERT_NE(news, nullptr);
    const bool wow = service == WeatherService::kWow;
    EXPECT_EQ(news->success, !wow);
    EXPECT_EQ(news->startedFailing, wow);
    EXPECT_EQ(news->outcome.failing, wow);
    EXPECT_EQ(news->outcome.lastSuccess, wow ? std::nullopt : std::optional(kStart + 10s));
    EXPECT_EQ(news->reason.empty(), !wow);
    EXPECT_EQ(uploads.Outcomes()[index].lastSuccess, news->outcome.lastSuccess);
  }
  EXPECT_EQ(senders.sent.size(), 4U);
  {
    const std::lock_guard lock(told.mutex);
    ASSERT_EQ(told.saved.size(), 4U);
    EXPECT_EQ(told.saved.back()[kWuOutcome].lastSuccess, kStart - 1h);  // kept as stored
  }

  // The console's services, kept beside them: a failure is news once, and so is the recovery.
  told.saveWorks = false;
  const struct {
    bool success;
    bool startedFailing, recovered, unsaved;
  } console[] = {
      {false, true, false, true}, {false, false, false, false}, {true, false, true, false}};
  for (const auto& step : console) {
    const std::size_t count = told.news.size();
    uploads.RecordConsoleUpload(kWcOutcome, step.success, "no reply", kStart + 1min);
    ASSERT_EQ(told.news.size(), count + 1);
    const UploadNews& news = told.news.back();
    EXPECT_EQ(news.index, kWcOutcome);
    EXPECT_EQ(news.startedFailing, step.startedFailing);
    EXPECT_EQ(news.recovered, step.recovered);
    EXPECT_EQ(news.unsaved, step.unsaved);
  }
  EXPECT_EQ(uploads.Outcomes()[kWcOutcome].lastError, "no reply");
  EXPECT_FALSE(uploads.Outcomes()[kWcOutcome].failing);
  uploads.Stop();
}

}  // namespace
}  // namespace nimbrel::testing
