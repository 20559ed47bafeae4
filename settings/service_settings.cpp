// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/service_settings.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <vector>

namespace nimbrel {
namespace {

struct ServiceNames {
  std::string_view name;
  std::string_view title;
  ServiceLimits limits;
};

constexpr std::array<ServiceNames, kWeatherServiceCount> kNames = {{
    {"pwsweather", "PWSweather", {5, 5, true}},
    {"wow", "Met Office WOW", {5, 15, true}},
    {"windy", "Windy", {5, 5, true}},
    {"cwop", "CWOP", {5, 10, false}},
}};

const ServiceNames& NamesOf(WeatherService service) {
  return kNames[static_cast<std::size_t>(service) % kWeatherServiceCount];
}

bool ControlCharacter(char c) {
  return static_cast<unsigned char>(c) < 0x20 || c == 0x7f;
}

bool Digits(std::string_view text) {
  return !text.empty() &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::optional<long> ReadLong(std::string_view text) {
  long value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size() && !text.empty()
             ? std::optional(value)
             : std::nullopt;
}

std::string PrintDouble(double value) {
  std::array<char, 32> text{};
  const auto end = std::to_chars(text.data(), text.data() + text.size(), value).ptr;
  return {text.data(), end};
}

// The lines of a stored value as "name.field" and value; lines without both are skipped.
struct StoredLine {
  std::string_view name;
  std::string_view field;
  std::string_view value;
};

std::vector<StoredLine> SplitStoredLines(std::string_view text) {
  std::vector<StoredLine> lines;
  while (!text.empty()) {
    const std::size_t end = std::min(text.find('\n'), text.size());
    const std::string_view line = text.substr(0, end);
    text.remove_prefix(std::min(end + 1, text.size()));
    const std::size_t dot = line.find('.');
    const std::size_t equals = line.find('=');
    if (dot != std::string_view::npos && equals != std::string_view::npos && dot < equals) {
      lines.push_back(
          {line.substr(0, dot), line.substr(dot + 1, equals - dot - 1), line.substr(equals + 1)});
    }
  }
  return lines;
}

void AddLine(std::string& text, std::string_view name, std::string_view field,
             std::string_view value) {
  text.append(name).append(".").append(field).append("=").append(value).append("\n");
}

// Control characters would split a stored line: a text holding one is not kept.
void ReadText(std::string_view value, std::string& into) {
  if (!CheckServiceText("", value)) {
    into = value;
  }
}

void ReadServiceField(WeatherService service, std::string_view field, std::string_view value,
                      WeatherServiceSettings& settings) {
  if (field == "on" || field == "catch_up") {
    if (value == "0" || value == "1") {
      (field == "on" ? settings.on : settings.catchUp) = value == "1";
    }
  } else if (field == "interval") {
    const auto minutes = ReadLong(value);
    if (minutes && !CheckInterval(service, *minutes)) {
      settings.intervalMinutes = static_cast<int>(*minutes);
    }
  } else if (field == "id") {
    ReadText(value, settings.id);
  } else if (field == "key") {
    ReadText(value, settings.key);
  } else if (field == "endpoint") {
    ReadText(value, settings.endpoint);
  } else if (field == "ca") {
    ReadText(value, settings.caFile);
  }
}

std::optional<std::string> ReadValue(const SettingsBackend& backend, std::string_view name) {
  std::string bytes(kServicesValueLimit, '\0');
  const auto size = backend.ReadValue(name, std::as_writable_bytes(std::span(bytes)));
  if (!size) {
    return std::nullopt;
  }
  bytes.resize(*size);
  return bytes;
}

bool WriteValue(SettingsBackend& backend, std::string_view name, std::string_view text) {
  return text.size() <= kServicesValueLimit &&
         backend.WriteValue(name, std::as_bytes(std::span(text.data(), text.size())));
}

constexpr std::array<std::string_view, kOutcomeCount> kOutcomeNames = {
    "pwsweather", "wow", "windy", "cwop", "wunderground", "weathercloud"};

std::optional<std::chrono::sys_seconds> ReadTime(std::string_view value) {
  const auto seconds = ReadLong(value);
  return seconds && *seconds >= 0
             ? std::optional(std::chrono::sys_seconds{std::chrono::seconds{*seconds}})
             : std::nullopt;
}

std::string PrintTime(std::chrono::sys_seconds time) {
  return std::to_string(time.time_since_epoch().count());
}

}  // namespace

std::string_view WeatherServiceName(WeatherService service) {
  return NamesOf(service).name;
}

std::string_view WeatherServiceTitle(WeatherService service) {
  return NamesOf(service).title;
}

std::optional<WeatherService> WeatherServiceNamed(std::string_view name) {
  for (const WeatherService service : kWeatherServices) {
    if (WeatherServiceName(service) == name) {
      return service;
    }
  }
  return std::nullopt;
}

ServiceLimits LimitsOf(WeatherService service) {
  return NamesOf(service).limits;
}

ServicesSettings::ServicesSettings() {
  for (const WeatherService service : kWeatherServices) {
    Of(service).intervalMinutes = LimitsOf(service).defaultInterval;
    Of(service).catchUp = LimitsOf(service).takesPastReadings;
  }
}

std::optional<std::string> CheckServiceText(std::string_view what, std::string_view text) {
  if (std::any_of(text.begin(), text.end(), ControlCharacter)) {
    return std::string(what) + " holds a control character";
  }
  if (text.size() > 1024) {
    return std::string(what) + " is longer than 1024 characters";
  }
  return std::nullopt;
}

std::optional<std::string> CheckInterval(WeatherService service, long minutes) {
  const int least = LimitsOf(service).minimumInterval;
  if (minutes < least || minutes > kMaximumIntervalMinutes) {
    return "the interval of " + std::string(WeatherServiceName(service)) + " is " +
           std::to_string(least) + " to " + std::to_string(kMaximumIntervalMinutes) + " minutes";
  }
  return std::nullopt;
}

std::optional<double> ReadDecimal(std::string_view text) {
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size() && !text.empty() &&
                 std::isfinite(value)
             ? std::optional(value)
             : std::nullopt;
}

std::optional<std::string> CheckLatitude(double degrees) {
  return std::isfinite(degrees) && std::fabs(degrees) <= 90
             ? std::nullopt
             : std::optional<std::string>("the latitude is -90 to 90 degrees");
}

std::optional<std::string> CheckLongitude(double degrees) {
  return std::isfinite(degrees) && std::fabs(degrees) <= 180
             ? std::nullopt
             : std::optional<std::string>("the longitude is -180 to 180 degrees");
}

std::optional<std::string> CheckServiceUrl(std::string_view url) {
  std::string_view rest = url;
  for (const std::string_view scheme : {"https://", "http://"}) {
    if (rest.substr(0, scheme.size()) == scheme) {
      rest.remove_prefix(scheme.size());
      const bool blank = std::any_of(url.begin(), url.end(), [](char c) {
        return c == ' ' || ControlCharacter(c) || static_cast<unsigned char>(c) >= 0x80;
      });
      const std::string_view host = rest.substr(0, rest.find_first_of("/:?#"));
      if (!blank && !host.empty() && rest.find_first_of("?#") == std::string_view::npos) {
        return std::nullopt;
      }
      break;
    }
  }
  return "the endpoint must be an http:// or https:// URL with a host, without a query or a "
         "blank";
}

std::optional<std::string> CheckCallsign(std::string_view callsign) {
  const bool valid = callsign.size() >= 3 && callsign.size() <= 9 &&
                     std::all_of(callsign.begin(), callsign.end(), [](char c) {
                       return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                              (c >= '0' && c <= '9') || c == '-';
                     });
  return valid ? std::nullopt
               : std::optional<std::string>(
                     "a callsign or CWOP ID is 3 to 9 letters, digits and '-'");
}

std::optional<std::string> CheckPasscode(std::string_view passcode) {
  return passcode == "-1" || (Digits(passcode) && passcode.size() <= 5)
             ? std::nullopt
             : std::optional<std::string>("an APRS passcode is -1 or up to 5 digits");
}

std::string FormatServicesSettings(const ServicesSettings& settings) {
  std::string text;
  for (const WeatherService service : kWeatherServices) {
    const WeatherServiceSettings& one = settings.Of(service);
    const std::string_view name = WeatherServiceName(service);
    AddLine(text, name, "on", one.on ? "1" : "0");
    AddLine(text, name, "id", one.id);
    AddLine(text, name, "key", one.key);
    AddLine(text, name, "interval", std::to_string(one.intervalMinutes));
    AddLine(text, name, "catch_up", one.catchUp ? "1" : "0");
    AddLine(text, name, "endpoint", one.endpoint);
    AddLine(text, name, "ca", one.caFile);
  }
  if (settings.latitude && settings.longitude) {
    AddLine(text, "station", "latitude", PrintDouble(*settings.latitude));
    AddLine(text, "station", "longitude", PrintDouble(*settings.longitude));
  }
  return text;
}

ServicesSettings ParseServicesSettings(std::string_view text) {
  ServicesSettings settings;
  for (const StoredLine& line : SplitStoredLines(text)) {
    if (const auto service = WeatherServiceNamed(line.name)) {
      ReadServiceField(*service, line.field, line.value, settings.Of(*service));
    } else if (line.name == "station") {
      const auto degrees = ReadDecimal(line.value);
      if (line.field == "latitude" && degrees && !CheckLatitude(*degrees)) {
        settings.latitude = degrees;
      } else if (line.field == "longitude" && degrees && !CheckLongitude(*degrees)) {
        settings.longitude = degrees;
      }
    }
  }
  // A position is whole or absent.
  if (!settings.latitude || !settings.longitude) {
    settings.latitude.reset();
    settings.longitude.reset();
  }
  return settings;
}

std::string_view OutcomeName(std::size_t index) {
  return kOutcomeNames[index % kOutcomeCount];
}

std::string FormatServiceOutcomes(const ServiceOutcomes& outcomes) {
  std::string text;
  for (std::size_t i = 0; i < kOutcomeCount; ++i) {
    const ServiceOutcome& outcome = outcomes[i];
    if (outcome.lastSuccess) {
      AddLine(text, OutcomeName(i), "last_success", PrintTime(*outcome.lastSuccess));
    }
    if (outcome.lastErrorTime) {
      AddLine(text, OutcomeName(i), "last_error_time", PrintTime(*outcome.lastErrorTime));
      std::string error = outcome.lastError;
      std::replace_if(error.begin(), error.end(), ControlCharacter, ' ');
      AddLine(text, OutcomeName(i), "last_error", error);
    }
    AddLine(text, OutcomeName(i), "failing", outcome.failing ? "1" : "0");
    if (outcome.owed) {
      AddLine(text, OutcomeName(i), "owed_from", PrintTime(outcome.owed->from));
      AddLine(text, OutcomeName(i), "owed_to", PrintTime(outcome.owed->to));
    }
  }
  return text;
}

ServiceOutcomes ParseServiceOutcomes(std::string_view text) {
  ServiceOutcomes outcomes;
  using Time = std::optional<std::chrono::sys_seconds>;
  std::array<Time, kOutcomeCount> owedFrom, owedTo;
  for (const StoredLine& line : SplitStoredLines(text)) {
    const auto* name = std::find(kOutcomeNames.begin(), kOutcomeNames.end(), line.name);
    if (name == kOutcomeNames.end()) {
      continue;
    }
    const auto index = static_cast<std::size_t>(name - kOutcomeNames.begin());
    ServiceOutcome& outcome = outcomes[index];
    if (line.field == "last_success") {
      outcome.lastSuccess = ReadTime(line.value);
    } else if (line.field == "last_error_time") {
      outcome.lastErrorTime = ReadTime(line.value);
    } else if (line.field == "last_error") {
      ReadText(line.value, outcome.lastError);
    } else if (line.field == "failing") {
      outcome.failing = line.value == "1";
    } else if (line.field == "owed_from" || line.field == "owed_to") {
      (line.field == "owed_from" ? owedFrom : owedTo)[index] = ReadTime(line.value);
    }
  }
  // Only both ends make a span.
  for (std::size_t i = 0; i < kOutcomeCount; ++i) {
    if (owedFrom[i] && owedTo[i]) {
      outcomes[i].owed = OwedReadings{*owedFrom[i], *owedTo[i]};
    }
  }
  return outcomes;
}

ServicesSettings LoadServicesSettings(const SettingsBackend& backend) {
  const auto text = ReadValue(backend, "Services");
  return text ? ParseServicesSettings(*text) : ServicesSettings{};
}

bool SaveServicesSettings(SettingsBackend& backend, const ServicesSettings& settings) {
  return WriteValue(backend, "Services", FormatServicesSettings(settings));
}

ServiceOutcomes LoadServiceOutcomes(const SettingsBackend& backend) {
  const auto text = ReadValue(backend, "ServicesState");
  return text ? ParseServiceOutcomes(*text) : ServiceOutcomes{};
}

bool SaveServiceOutcomes(SettingsBackend& backend, const ServiceOutcomes& outcomes) {
  return WriteValue(backend, "ServicesState", FormatServiceOutcomes(outcomes));
}

std::string_view MaskedSecret(std::string_view secret) {
  return secret.empty() ? "" : "***";
}

}  // namespace nimbrel
