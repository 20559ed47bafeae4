// SPDX-License-Identifier: GPL-3.0-or-later
// Hours of a service's life on a fake clock: live uploads on their interval, an outage, and the
// missed readings caught up once it is over.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/upload/service_world.h"

namespace nimbrel::testing {
namespace {

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

// Down (no connection) from minute 7 for `length` minutes, answering `odd` at one moment after.
Answer Outage(long length, std::optional<sys_seconds> oddMoment = {},
              Verdict odd = Verdict::kTooFrequent) {
  return [length, oddMoment, odd](sys_seconds now) {
    if (oddMoment && now == *oddMoment) {
      return odd;
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
    int outages = 1;
    // The program stops then and starts again from what it stored.
    std::optional<minutes> restartAt = std::nullopt;
  };
  const auto join = [](std::vector<long> first, const std::vector<long>& then) {
    first.insert(first.end(), then.begin(), then.end());
    return first;
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
      // A failure amid the catch-up: the rest follows once the service answers again.
      {WeatherService::kPwsWeather, true, Outage(60, kBackAt70 + 20s, Verdict::kFailed),
       Every(0, 235, 5), Every(10, 65, 5), std::nullopt, 2},
      // A restart amid the catch-up: the readings still owed are sent after it.
      {WeatherService::kPwsWeather, true, Outage(60), join(Every(0, 70, 5), Every(71, 236, 5)),
       Every(10, 65, 5), std::nullopt, 1, 71min},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(WeatherServiceName(row.service)));
    World world;
    world.Give();
    FakeWebSender web(&world.now, row.answer);
    FakeAprsSender aprs(&world.now, row.answer);
    ServicesSettings settings;
    settings.Of(row.service) = {true, "CALL", "secret", 0, row.catchUp, "", ""};
    if (row.service == WeatherService::kCwop) {
      settings.Of(row.service).key = "12345";
    }
    settings.Of(row.service).intervalMinutes = ServicesSettings().Of(row.service).intervalMinutes;
    settings.latitude = 49;
    settings.longitude = -72;
    std::vector<ServiceAttempt> live, caughtUp;
    int started = 0, recovered = 0;
    ServiceOutcomes stored;
    RunnerParts parts{&web, &aprs, &world, [&](const ServiceAttempt& attempt) {
                        (attempt.catchUp ? caughtUp : live).push_back(attempt);
                        started += attempt.startedFailing;
                        recovered += attempt.recovered;
                        EXPECT_EQ(attempt.shown.find("secret"), std::string::npos);
                        RecordAttempt(attempt, stored[0]);
                      }};
    std::unique_ptr<ServiceRunner> runner;
    std::vector<minutes> runs = {4h};
    if (row.restartAt) {
      runs.insert(runs.begin(), *row.restartAt);
    }
    for (const minutes end : runs) {
      // What the program starts from: the outcome as it was stored and read back.
      const ServiceOutcome kept = ParseServiceOutcomes(FormatServiceOutcomes(stored))[0];
      parts.lastSuccess = kept.lastSuccess;
      parts.failing = kept.failing;
      parts.owed = kept.owed;
      std::string why;
      runner = MakeServiceRunner(row.service, settings, parts, why);
      ASSERT_NE(runner, nullptr) << why;
      world.runner = runner.get();
      world.end = kStart + end;
      runner->Offer(world.archive.back());
      runner->Run(world, {});
    }

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
    EXPECT_EQ(started, row.outages);
    EXPECT_EQ(recovered, row.outages);
    EXPECT_FALSE(runner->CatchingUp());
  }
}

TEST(ServiceRunnerTest, NoRunnerForAServiceOffOrWithoutWhatItsRequestsNeed) {
  const sys_seconds now = kStart;
  FakeWebSender web(&now, Outage(0));
  FakeAprsSender aprs(&now, Outage(0));
  const RunnerParts parts{&web, &aprs};
  struct Row {
    WeatherService service;
    std::function<void(ServicesSettings&)> change;
    bool made;
  };
  const auto set = [](WeatherService service, std::function<void(WeatherServiceSettings&)> f) {
    return [service, f](ServicesSettings& settings) { f(settings.Of(service)); };
  };
  const Row rows[] = {
      {WeatherService::kWow, [](ServicesSettings&) {}, true},
      {WeatherService::kWow, set(WeatherService::kWow, [](auto& s) { s.on = false; }), false},
      {WeatherService::kWindy, set(WeatherService::kWindy, [](auto& s) { s.key.clear(); }), false},
      {WeatherService::kCwop, [](ServicesSettings&) {}, true},
      {WeatherService::kCwop, [](ServicesSettings& s) { s.latitude.reset(); }, false},
      {WeatherService::kCwop,
       set(WeatherService::kCwop, [](auto& s) { s.endpoint = "127.0.0.1:14580"; }), true},
      {WeatherService::kCwop, set(WeatherService::kCwop, [](auto& s) { s.endpoint = "host"; }),
       false},
      // A hand-edited file must not put a path into a packet or a header line.
      {WeatherService::kCwop, set(WeatherService::kCwop, [](auto& s) { s.id = "A>B,C"; }), false},
      {WeatherService::kWindy, set(WeatherService::kWindy, [](auto& s) { s.key = "k\r\nX: y"; }),
       false},
      {WeatherService::kWow, set(WeatherService::kWow, [](auto& s) { s.endpoint = "x"; }), false},
  };
  for (const Row& row : rows) {
    ServicesSettings settings;
    for (const WeatherService service : kWeatherServices) {
      settings.Of(service) = {true, "CALL", "12345", 10, true, "", ""};
    }
    settings.latitude = 1;
    settings.longitude = 2;
    row.change(settings);
    std::string why;
    EXPECT_EQ(MakeServiceRunner(row.service, settings, parts, why) != nullptr, row.made) << why;
    EXPECT_EQ(why.empty(), row.made);
  }
}

}  // namespace
}  // namespace nimbrel::testing
