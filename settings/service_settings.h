// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "settings/settings_backend.h"

namespace nimbrel {

// The weather services whose readings the program composes itself.
enum class WeatherService : std::uint8_t { kPwsWeather = 0, kWow = 1, kWindy = 2, kCwop = 3 };
inline constexpr std::size_t kWeatherServiceCount = 4;
inline constexpr std::array kWeatherServices = {WeatherService::kPwsWeather, WeatherService::kWow,
                                                WeatherService::kWindy, WeatherService::kCwop};

// "pwsweather", "wow", "windy", "cwop": the names on the command line and in the stored file.
std::string_view WeatherServiceName(WeatherService service);
// "PWSweather", "Met Office WOW", "Windy", "CWOP": the names shown to the user.
std::string_view WeatherServiceTitle(WeatherService service);
std::optional<WeatherService> WeatherServiceNamed(std::string_view name);

// What each service allows and assumes, in minutes.
struct ServiceLimits {
  int minimumInterval;
  int defaultInterval;
  bool takesPastReadings;  // a reading's own time is taken, so missed readings can follow later
};
ServiceLimits LimitsOf(WeatherService service);
inline constexpr int kMaximumIntervalMinutes = 24 * 60;

// One service's settings. For CWOP the ID is the callsign or CWOP ID and the key the APRS
// passcode (empty: none, "-1" is sent).
struct WeatherServiceSettings {
  bool on = false;
  std::string id;
  std::string key;  // secret: never printed
  int intervalMinutes = 0;
  bool catchUp = true;
  std::string endpoint;  // empty: the service's own; a URL, or HOST:PORT for CWOP
  std::string caFile;    // empty: the system's certificate authorities
};

struct ServicesSettings {
  std::array<WeatherServiceSettings, kWeatherServiceCount> services;
  // The station's position, which CWOP's packets carry; decimal degrees, north and east positive.
  std::optional<double> latitude;
  std::optional<double> longitude;

  ServicesSettings();
  WeatherServiceSettings& Of(WeatherService service) {
    return services[static_cast<std::size_t>(service) % kWeatherServiceCount];
  }
  const WeatherServiceSettings& Of(WeatherService service) const {
    return services[static_cast<std::size_t>(service) % kWeatherServiceCount];
  }
};

// What is wrong with one value, or nothing. Texts must hold no control character (they go into
// a stored line and into requests); an interval lies between the service's minimum and a day.
std::optional<std::string> CheckServiceText(std::string_view what, std::string_view text);
std::optional<std::string> CheckInterval(WeatherService service, long minutes);
// A decimal number as typed or stored ("49.058333"); nothing for anything else.
std::optional<double> ReadDecimal(std::string_view text);
std::optional<std::string> CheckLatitude(double degrees);
std::optional<std::string> CheckLongitude(double degrees);
// An http:// or https:// URL with a host and no blank or control character.
std::optional<std::string> CheckServiceUrl(std::string_view url);
// A callsign or CWOP ID: 3 to 9 letters, digits and '-'. A passcode: "-1" or up to 5 digits.
std::optional<std::string> CheckCallsign(std::string_view callsign);
std::optional<std::string> CheckPasscode(std::string_view passcode);

// The stored form: one "name.field=value" line per value. Reading skips what it does not know
// and keeps the defaults for what is missing or wrong, so a damaged line loses only itself.
std::string FormatServicesSettings(const ServicesSettings& settings);
ServicesSettings ParseServicesSettings(std::string_view text);

// How each service fared last, kept by the service that uploads and shown by the others. The
// console's two services are kept under their names "wunderground" and "weathercloud".
// The readings taken strictly between `from` and `to`, missed during an outage and not yet sent.
struct OwedReadings {
  std::chrono::sys_seconds from;
  std::chrono::sys_seconds to;
};

struct ServiceOutcome {
  std::optional<std::chrono::sys_seconds> lastSuccess;
  std::optional<std::chrono::sys_seconds> lastErrorTime;
  std::string lastError;  // in words; never holds a key
  bool failing = false;   // the last try failed
  // Still owed to the service: a catch-up cut short by a stop goes on after the restart.
  std::optional<OwedReadings> owed;
};

// Indexed by WeatherService, then Weather Underground and Weathercloud.
inline constexpr std::size_t kOutcomeCount = kWeatherServiceCount + 2;
inline constexpr std::size_t kWuOutcome = kWeatherServiceCount;
inline constexpr std::size_t kWcOutcome = kWeatherServiceCount + 1;
using ServiceOutcomes = std::array<ServiceOutcome, kOutcomeCount>;
std::string_view OutcomeName(std::size_t index);

std::string FormatServiceOutcomes(const ServiceOutcomes& outcomes);
ServiceOutcomes ParseServiceOutcomes(std::string_view text);

// The two stored values, "Services" and "ServicesState", beside the other settings (files of
// mode 0600 on Linux). Kept apart so that the uploading service, which writes the state often,
// never overwrites settings changed meanwhile. A missing or unreadable value reads as defaults.
inline constexpr std::size_t kServicesValueLimit = 16 * 1024;
ServicesSettings LoadServicesSettings(const SettingsBackend& backend);
bool SaveServicesSettings(SettingsBackend& backend, const ServicesSettings& settings);
ServiceOutcomes LoadServiceOutcomes(const SettingsBackend& backend);
bool SaveServiceOutcomes(SettingsBackend& backend, const ServiceOutcomes& outcomes);

// A secret as it may be shown: "***" when set, "" when not.
std::string_view MaskedSecret(std::string_view secret);

}  // namespace nimbrel
