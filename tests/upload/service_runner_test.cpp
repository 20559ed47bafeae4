// SPDX-License-Identifier: GPL-3.0-or-later
// Hours of a service's life on a fake clock: live uploads on their interval, an outage, and the
// missed readings caught up once it is over.
#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "upload/service_runner.h"

namespace nimbrel::testing {
namespace {

using namespace std::chrono;

const sys_seconds kStart = sys_days{2026y / 12 / 7} + 22h;

// A live text whose outdoor humidity is the reading's minute since the start, so that every
// request says which reading it carries.
std::string Reading(sys_seconds time) {
  std::string text = "50 2026-12-7 23:00 21.0 40 10.0 ";
  text += std::to_string(duration_cast<minutes>(time - kStart).count());
  for (int field = 7; field < 36; ++field) {
    text += " 1";
  }
  return text;
}

// What the services answer at a time: kDone, kTooFrequent (429) or kFailed (no connection).
using Answer = std::function<Verdict(sys_seconds now)>;

struct FakeWebSender final : WebSender {
  const sys_seconds* now;
  Answer answer;
  FakeWebSender(const sys_seconds* clock, Answer reply) : now(clock), answer(std::move(reply)) {}
  WebReply Get(const WebRequest&, std::stop_token) override {
    switch (answer(*now)) {
      case Verdict::kDone:
        return {WebFailure::kNone, 200, "success", {}, {}};
      case Verdict::kTooFrequent:
        return {WebFailure::kNone, 429, "", {}, {}};
      default:
        return {WebFailure::kNoConnection, 0, {}, {}, "refused"};
    }
  }
};

struct FakeAprsSender final : AprsSender {
  const sys_seconds* now;
  Answer answer;
  FakeAprsSender(const sys_seconds* clock, Answer reply) : now(clock), answer(std::move(reply)) {}
  AprsResult Send(const AprsSession&, std::stop_token) override {
    return {answer(*now) == Verdict::kDone ? AprsOutcome::kSent : AprsOutcome::kNoConnection, {}};
  }
};

// The console, the archive and the clock: the clock jumps to each wait's end, the console gives
// a reading every minute on the way and the archive keeps them all; the run stops at `end`.
struct World final : ServiceClock, PastReadings {
  sys_seconds now = kStart;
  sys_seconds end;
  sys_seconds nextReading = kStart;
  std::vector<TimedReading> archive;
  ServiceRunner* runner = nullptr;

  void Give() {
    for (; nextReading <= now; nextReading += 1min) {
      archive.push_back({nextReading, Reading(nextReading)});
      if (runner != nullptr) {
        runner->Offer(archive.back());
      }
    }
  }
  sys_seconds Now() override { return now; }
  bool WaitUntil(sys_seconds until, std::stop_token) override {
    while (now < until && now < end) {
      now = std::min({until, nextReading, end});
      Give();
    }
    return now < end;
  }
  std::vector<TimedReading> Between(sys_seconds after, sys_seconds before) override {
    std::vector<TimedReading> found;
    for (const TimedReading& reading : archive) {
      if (reading.time > after && reading.time < before) {
        found.push_back(reading);
      }
    }
    return found;
  }
};

std::vector<long> Every(long first, long last, long step) {
  std::vector<long> values;
  for (long value = first; value <= last; value += step) {
    values.push_back(value);
  }
  return values;
}

long Minute(sys_seconds time) {
  return static_cast<long>(duration_cast<minutes>(time - kStart).count());
}

// Down (no connection) from minute 7 for `minutes`, answering `after` at one moment after it.
Answer Outage(long length, std::optional<sys_seconds> oddMoment = {}) {
  return [length, oddMoment](sys_seconds now) {
    if (oddMoment && now == *oddMoment) {
      return Verdict::kTooFrequent;
    }
    const bool down = now >= kStart + 7min && now < kStart + 7min + minutes{length};
    return down ? Verdict::kFailed : Verdict::kDone;
  };
}

TEST(ServiceRunnerTest, OutagesCaughtUpOnceOldestFirstWhileLiveKeepsItsTimes) {
  const sys_seconds kBackAt70 = kStart + 70min + 10s;  // the first catch-up after minute 70
  struct Row {
    WeatherService service;
    bool catchUp;
    Answer answer;
    std::vector<long> liveMinutes;    // when live uploads went out
    std::vector<long> caughtUp;       // the readings caught up and taken
    std::optional<long> pausedUntil;  // the catch-up after a 429 came no earlier than this
  };
  const Row rows[] = {
      // An hour down: the twelve five-minute readings missed follow, once each.
      {WeatherService::kPwsWeather, true, Outage(60), Every(0, 235, 5), Every(10, 65, 5)},
      // WOW's fifteen minutes by default.
      {WeatherService::kWow, true, Outage(60), Every(0, 225, 15), Every(15, 60, 15)},
      // Windy takes readings younger than two hours only.
      {WeatherService::kWindy, true, Outage(180), Every(0, 235, 5), Every(75, 185, 5)},
      {WeatherService::kPwsWeather, false, Outage(60), Every(0, 235, 5), {}},
      // CWOP takes the arrival time as the reading's: nothing is caught up.
      {WeatherService::kCwop, true, Outage(60), Every(0, 230, 10), {}},
      // "Too frequent" during the catch-up pauses it for an interval; nothing is lost.
      {WeatherService::kPwsWeather, true, Outage(60, kBackAt70), Every(0, 235, 5), Every(10, 65, 5),
       75},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(WeatherServiceName(row.service)));
    World world;
    world.end = kStart + 4h;
    world.Give();
    FakeWebSender web(&world.now, row.answer);
    FakeAprsSender aprs(&world.now, row.answer);
    WeatherServiceSettings settings = ServicesSettings().Of(row.service);
    settings.catchUp = row.catchUp;
    std::vector<ServiceAttempt> live, caughtUp;
    int started = 0, recovered = 0;
    ServiceRunner runner(
        row.service, ScheduleOf(row.service, settings),
        row.service == WeatherService::kCwop
            ? MakeCwopUplink({"CALL", "", 49, -72, "cwop.test", 14580, "1"}, aprs, &world)
            : MakeWebUplink(row.service, {"ID", "secret", {}, {}, "Nimbrel"}, web),
        &world, [&](const ServiceAttempt& attempt) {
          (attempt.catchUp ? caughtUp : live).push_back(attempt);
          started += attempt.startedFailing;
          recovered += attempt.recovered;
          EXPECT_EQ(attempt.shown.find("secret"), std::string::npos);
        });
    world.runner = &runner;
    runner.Offer(world.archive.back());
    runner.Run(world, {});

    std::vector<long> liveMinutes, taken;
    for (const ServiceAttempt& attempt : live) {
      EXPECT_EQ(attempt.sentAt, attempt.readingTime);  // the newest reading, on time
      liveMinutes.push_back(Minute(attempt.sentAt));
    }
    EXPECT_EQ(liveMinutes, row.liveMinutes);
    sys_seconds previous{};
    for (const ServiceAttempt& attempt : caughtUp) {
      EXPECT_GE(attempt.sentAt - previous, 10s);
      previous = attempt.sentAt;
      if (attempt.judgement.verdict == Verdict::kDone) {
        taken.push_back(Minute(attempt.readingTime));
        // The request carries the reading's own values and its own time.
        const std::string minute = std::to_string(Minute(attempt.readingTime));
        EXPECT_NE(attempt.shown.find("&humidity=" + minute + "&"), std::string::npos);
      } else if (row.pausedUntil) {
        EXPECT_EQ(attempt.sentAt, kBackAt70);
      }
    }
    EXPECT_EQ(taken, row.caughtUp);
    if (row.pausedUntil && caughtUp.size() > 1) {
      EXPECT_GE(caughtUp[1].sentAt, kStart + minutes{*row.pausedUntil});
    }
    // One line's worth of news when the outage starts and one when it ends.
    EXPECT_EQ(started, 1);
    EXPECT_EQ(recovered, 1);
    EXPECT_FALSE(runner.CatchingUp());
  }
}

}  // namespace
}  // namespace nimbrel::testing
