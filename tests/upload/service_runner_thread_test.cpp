// SPDX-License-Identifier: GPL-3.0-or-later
// A runner on a thread of its own with the real clock: readings handed in from another thread,
// and a stop that ends its wait at once.
#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <thread>

#include "upload/service_runner.h"

namespace nimbrel::testing {
namespace {

using namespace std::chrono;

struct CountingSender final : WebSender {
  std::mutex mutex;
  std::condition_variable sent;
  int count = 0;
  WebReply Get(const WebRequest&, std::stop_token) override {
    const std::lock_guard lock(mutex);
    ++count;
    sent.notify_all();
    return {WebFailure::kNone, 200, "success", {}, {}};
  }
};

TEST(ServiceRunnerThreadTest, RunsOnItsThreadUntilStopped) {
  CountingSender sender;
  SystemServiceClock clock;
  ServicesSettings settings;
  settings.Of(WeatherService::kWindy) = {true, "ID", "key", 5, true, "", ""};
  std::string why;
  const auto runner = MakeServiceRunner(WeatherService::kWindy, settings, {&sender}, why);
  ASSERT_NE(runner, nullptr) << why;
  runner->Offer({clock.Now(), ReadObservation("0 2026-1-1 00:00 20.0 50 10.0")});
  {
    std::jthread thread([&](std::stop_token stop) { runner->Run(clock, stop); });
    // Newer readings arrive while the runner sends and waits for its next interval.
    for (int i = 1; i <= 20; ++i) {
      runner->Offer({clock.Now() + seconds{i}, ReadObservation("0 2026-1-1 00:00 21.0 50")});
    }
    std::unique_lock lock(sender.mutex);
    ASSERT_TRUE(sender.sent.wait_for(lock, minutes{5}, [&] { return sender.count > 0; }));
  }  // the thread is asked to stop and joined: its five-minute wait ends at once
  EXPECT_EQ(sender.count, 1);
}

}  // namespace
}  // namespace nimbrel::testing
