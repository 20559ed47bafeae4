// SPDX-License-Identifier: GPL-3.0-or-later
// The composed services' settings and outcomes: stored, read back, checked.
#include "settings/service_settings.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#ifndef _WIN32
#include <sys/stat.h>

#include "platform/settings_files.h"
#include "tests/support/temp_dir.h"
#endif

namespace nimbrel {
namespace {

using namespace std::chrono;

ServicesSettings Example() {
  ServicesSettings settings;
  auto& wow = settings.Of(WeatherService::kWow);
  wow = {true, "site 1", "123456", 30, false, "https://127.0.0.1:8443/wow", "/tmp/ca.pem"};
  auto& cwop = settings.Of(WeatherService::kCwop);
  cwop.on = true;
  cwop.id = "CW1234";
  cwop.endpoint = "127.0.0.1:14580";
  settings.latitude = 49.058333;
  settings.longitude = -72.029167;
  return settings;
}

bool Same(const ServicesSettings& a, const ServicesSettings& b) {
  return FormatServicesSettings(a) == FormatServicesSettings(b);
}

TEST(ServiceSettingsTest, DefaultsRoundTripAndDamagedLinesLoseOnlyThemselves) {
  const ServicesSettings defaults;
  EXPECT_EQ(defaults.Of(WeatherService::kWow).intervalMinutes, 15);
  EXPECT_EQ(defaults.Of(WeatherService::kCwop).intervalMinutes, 10);
  EXPECT_FALSE(defaults.Of(WeatherService::kCwop).catchUp);
  EXPECT_TRUE(Same(ParseServicesSettings(FormatServicesSettings(Example())), Example()));

  struct Row {
    std::string text;
    ServicesSettings expected;
  };
  ServicesSettings on;
  on.Of(WeatherService::kWindy).on = true;
  ServicesSettings id;
  id.Of(WeatherService::kPwsWeather).id = "a=b";
  const Row rows[] = {
      {"", ServicesSettings()},
      {"windy.on=1\n", on},
      // Unknown services, fields and values, a too short interval, half a position: skipped.
      {"windy.on=1\nfoo.on=1\nwindy.colour=red\nwindy.on=yes\nwow.interval=4\n"
       "wow.interval=x\nstation.latitude=91\nstation.longitude=10\nno equals sign\n",
       on},
      {"pwsweather.id=a=b\n", id},
      {std::string("pwsweather.id=a\rb\n") + "windy.on=1", on},
  };
  for (const Row& row : rows) {
    EXPECT_TRUE(Same(ParseServicesSettings(row.text), row.expected)) << row.text;
  }
}

TEST(ServiceSettingsTest, ChecksOfTypedValues) {
  struct Row {
    std::optional<std::string> error;
    bool expectError;
  };
  const Row rows[] = {
      {CheckInterval(WeatherService::kCwop, 1441), true},
      {CheckLongitude(-180), false},
      {CheckLongitude(std::nan("")), true},
      {CheckServiceUrl("https://127.0.0.1:8443/x"), false},
      {CheckServiceUrl("https://host/x?ID=1"), true},
      {CheckServiceUrl("https://ho st/x"), true},
      {CheckCallsign("K1ABC-13"), false},
      {CheckCallsign("K1"), true},
      {CheckCallsign("K1ABC>APRS"), true},
      {CheckPasscode("-1"), false},
      {CheckPasscode("123456"), true},
      {CheckPasscode("1 2"), true},
      {CheckServiceText("ID", "a\nb"), true},
  };
  for (std::size_t i = 0; i < std::size(rows); ++i) {
    EXPECT_EQ(rows[i].error.has_value(), rows[i].expectError) << "row " << i;
  }
}

#ifndef _WIN32
TEST(ServiceSettingsTest, KeptInFilesOfTheirOwnerOnly) {
  testing::TempDir folder("nimbrel-services-");
  FileSettingsBackend backend(folder.Path() / "settings");
  EXPECT_TRUE(Same(LoadServicesSettings(backend), ServicesSettings()));
  ASSERT_TRUE(SaveServicesSettings(backend, Example()));
  ServiceOutcomes outcomes;
  outcomes[2] = {sys_seconds{1796686920s}, sys_seconds{1796687000s}, "HTTP 503\nsecond", true};
  outcomes[kWcOutcome].lastSuccess = sys_seconds{1796686000s};
  ASSERT_TRUE(SaveServiceOutcomes(backend, outcomes));
  EXPECT_TRUE(Same(LoadServicesSettings(backend), Example()));
  ServiceOutcomes read = LoadServiceOutcomes(backend);
  EXPECT_EQ(read[2].lastError, "HTTP 503 second");  // one stored line
  read[2].lastError = outcomes[2].lastError;
  for (std::size_t i = 0; i < kOutcomeCount; ++i) {
    EXPECT_EQ(read[i].lastSuccess, outcomes[i].lastSuccess);
    EXPECT_EQ(read[i].lastErrorTime, outcomes[i].lastErrorTime);
    EXPECT_EQ(read[i].failing, outcomes[i].failing);
  }
  for (const char* name : {"Services", "ServicesState"}) {
    struct stat info {};
    ASSERT_EQ(::stat((folder.Path() / "settings" / name).c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0600U) << name;
  }
}
#endif

}  // namespace
}  // namespace nimbrel
