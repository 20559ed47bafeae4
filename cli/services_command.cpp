// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/services_command.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <memory>

#include "cli/live_view.h"
#include "i18n/utf8.h"
#include "platform/settings_user.h"
#include "upload/upload_request.h"

namespace nimbrel::cli {
namespace {

using std::chrono::sys_seconds;

constexpr std::string_view kSynopsis =
    "give 'services list [--json]' or 'services set NAME [options]'";

// The console's two services, by the names their upload lines use.
std::optional<ServerIndex> ConsoleService(std::string_view name) {
  if (name == "wunderground") {
    return ServerIndex::WeatherUnderground;
  }
  if (name == "weathercloud") {
    return ServerIndex::Weathercloud;
  }
  return std::nullopt;
}

// One option with its value; an error text for a value that cannot be read.
std::optional<std::string> ReadSetOption(std::string_view option, std::string_view value,
                                         ServiceChanges& changes) {
  if (option == "--id") {
    changes.id = std::string(value);
  } else if (option == "--key-file") {
    changes.keyFile = std::string(value);
  } else if (option == "--interval") {
    long minutes = 0;
    if (!ParsePositive(value, minutes)) {
      return "--interval takes a whole number of minutes";
    }
    changes.interval = minutes;
  } else if (option == "--catch-up") {
    if (value != "on" && value != "off") {
      return "--catch-up takes on or off";
    }
    changes.catchUp = value == "on";
  } else if (option == "--endpoint") {
    changes.endpoint = std::string(value);
  } else if (option == "--ca") {
    changes.caFile = std::string(value);
  } else {
    const auto degrees = ReadDecimal(value);
    if (!degrees) {
      return std::string(option) + " takes decimal degrees such as 49.058333";
    }
    (option == "--lat" ? changes.latitude : changes.longitude) = degrees;
  }
  return std::nullopt;
}

bool TakesValue(std::string_view option) {
  for (const std::string_view known :
       {"--id", "--key-file", "--interval", "--catch-up", "--endpoint", "--ca", "--lat", "--lon"}) {
    if (option == known) {
      return true;
    }
  }
  return false;
}

std::optional<std::string> ParseSet(const std::vector<std::string_view>& args,
                                    ServiceChanges& changes) {
  if (args.size() < 2 || args[1].substr(0, 2) == "--") {
    return "services set needs the service's name: pwsweather, wow, windy, cwop, wunderground "
           "or weathercloud";
  }
  changes.name = std::string(args[1]);
  if (!WeatherServiceNamed(changes.name) && !ConsoleService(changes.name)) {
    return "unknown service '" + changes.name +
           "': give pwsweather, wow, windy, cwop, wunderground or weathercloud";
  }
  bool any = false;
  for (std::size_t i = 2; i < args.size(); ++i, any = true) {
    const std::string_view arg = args[i];
    if (arg == "--on" || arg == "--off") {
      if (changes.on && *changes.on != (arg == "--on")) {
        return "give --on or --off, not both";
      }
      changes.on = arg == "--on";
    } else if (arg == "--key" || arg == "--password") {
      return "a key is read from --key-file FILE (or - for standard input), never from the "
             "command line";
    } else if (!TakesValue(arg)) {
      return "unknown option: " + std::string(arg);
    } else if (i + 1 == args.size()) {
      return std::string(arg) + " needs a value";
    } else if (auto error = ReadSetOption(arg, args[++i], changes)) {
      return error;
    }
  }
  if (!any) {
    return "nothing to set for " + changes.name;
  }
  return std::nullopt;
}

// What the console's two services cannot take: their schedule is the console's.
std::optional<std::string> CheckConsoleChanges(const ServiceChanges& changes) {
  if (changes.on || changes.interval || changes.catchUp || changes.endpoint || changes.caFile ||
      changes.latitude || changes.longitude) {
    return changes.name +
           " takes --id and --key-file only: it uploads while it has both, at the times and to "
           "the server the console's own protocol fixes";
  }
  if (changes.id && changes.id->size() > kMaxStationTextLength) {
    return "a station ID holds at most 63 characters";
  }
  return std::nullopt;
}

std::optional<std::string> CheckEndpoint(WeatherService service, const std::string& endpoint) {
  if (endpoint.empty()) {
    return std::nullopt;  // back to the service's own
  }
  if (service == WeatherService::kCwop) {
    return endpoint.find(':') != std::string::npos && ParseEndpoint(endpoint)
               ? std::nullopt
               : std::optional<std::string>("CWOP's endpoint is HOST:PORT");
  }
  return CheckServiceUrl(endpoint);
}

// A service switched on must have what its requests need.
std::optional<std::string> CheckReady(WeatherService service, const ServicesSettings& settings) {
  const WeatherServiceSettings& one = settings.Of(service);
  const std::string name(WeatherServiceName(service));
  if (service == WeatherService::kCwop) {
    if (auto error = CheckCallsign(one.id)) {
      return "cwop needs --id with a callsign or CWOP ID: " + *error;
    }
    if (!one.key.empty()) {
      if (auto error = CheckPasscode(one.key)) {
        return error;
      }
    }
    if (!settings.latitude || !settings.longitude) {
      return "cwop needs the station's position: --lat and --lon";
    }
    return std::nullopt;
  }
  if (one.on && (one.id.empty() || one.key.empty())) {
    return name + " needs --id and --key-file before it can be switched on";
  }
  return std::nullopt;
}

std::string TimeText(const std::optional<sys_seconds>& time) {
  if (!time) {
    return "never";
  }
  const auto day = std::chrono::floor<std::chrono::days>(*time);
  const std::chrono::year_month_day date{day};
  const std::chrono::hh_mm_ss clock{*time - day};
  std::array<char, 40> text{};
  std::snprintf(text.data(), text.size(), "%04d-%02u-%02u %02d:%02d:%02d UTC",
                static_cast<int>(date.year()), static_cast<unsigned>(date.month()),
                static_cast<unsigned>(date.day()), static_cast<int>(clock.hours().count()),
                static_cast<int>(clock.minutes().count()),
                static_cast<int>(clock.seconds().count()));
  return text.data();
}

std::string ErrorText(const ServiceOutcome& outcome) {
  return outcome.lastErrorTime ? outcome.lastError + " (" + TimeText(outcome.lastErrorTime) + ")"
                               : "none";
}

std::string Degrees(double value) {
  std::array<char, 32> text{};
  return {text.data(), std::to_chars(text.data(), text.data() + text.size(), value).ptr};
}

// One service's lines; `schedule` and `where` already in words.
struct ShownService {
  std::string_view name;
  std::string_view title;
  bool on;
  std::string id;
  std::string key;  // secret: only whether it is set is shown
  std::string interval;
  std::string catchUp;
  std::string endpoint;
  std::string ca;
  const ServiceOutcome& outcome;
};

std::string Block(const ShownService& shown) {
  std::string text = std::string(shown.title) + " (" + std::string(shown.name) +
                     "): " + (shown.on ? "on" : "off") + "\n";
  text += "  ID: " + (shown.id.empty() ? std::string("(none)") : shown.id) +
          "  key: " + (shown.key.empty() ? std::string("(none)") : "***") + "\n";
  text += "  interval: " + shown.interval + "  catch-up: " + shown.catchUp + "\n";
  text +=
      "  endpoint: " + (shown.endpoint.empty() ? std::string("the service's own") : shown.endpoint);
  text += shown.ca.empty() ? "\n" : "  CA: " + shown.ca + "\n";
  text += "  last success: " + TimeText(shown.outcome.lastSuccess) +
          "  last error: " + ErrorText(shown.outcome) + "\n";
  return text;
}

std::vector<ShownService> Shown(const ServicesView& view) {
  std::vector<ShownService> shown;
  for (const WeatherService service : kWeatherServices) {
    const WeatherServiceSettings& one = view.settings.Of(service);
    const bool past = LimitsOf(service).takesPastReadings;
    const std::string limit = service == WeatherService::kWindy ? " (2 h back)" : " (24 h back)";
    shown.push_back(
        {WeatherServiceName(service), WeatherServiceTitle(service), one.on, one.id, one.key,
         std::to_string(one.intervalMinutes) + " min",
         past ? (one.catchUp ? "on" + limit : std::string("off")) : std::string("never (fixed)"),
         one.endpoint, one.caFile, view.outcomes[static_cast<std::size_t>(service)]});
  }
  const auto console = [&](std::string_view name, std::string_view title,
                           const StationIdAndKey& texts, std::string interval,
                           std::size_t outcome) {
    shown.push_back({name, title, !texts.id.empty() && !texts.key.empty(), ToUtf8(texts.id),
                     ToUtf8(texts.key), std::move(interval), "never (fixed)", "", "",
                     view.outcomes[outcome]});
  };
  console("wunderground", "Weather Underground", view.wu, "as the console sends (fixed)",
          kWuOutcome);
  console("weathercloud", "Weathercloud", view.wc, "10 min at least (fixed)", kWcOutcome);
  return shown;
}

void AppendMember(std::string& json, std::string_view name, std::string_view text) {
  json.append(",\"").append(name).append("\":");
  AppendJsonString(json, FromUtf8(text));
}

void AppendTime(std::string& json, std::string_view name, const std::optional<sys_seconds>& time) {
  json.append(",\"").append(name).append("\":");
  if (time) {
    json += std::to_string(time->time_since_epoch().count());
  } else {
    json += "null";
  }
}

std::optional<std::string> ReadKeyFile(const std::string& path, std::string& key) {
  std::ifstream file;
  std::istream* in = &std::cin;
  if (path != "-") {
    file.open(PathFromUtf8(path));
    in = &file;
  }
  if (!*in || !std::getline(*in, key)) {
    return path == "-" ? std::string("no key on standard input")
                       : "cannot read the key file " + path;
  }
  if (!key.empty() && key.back() == '\r') {
    key.pop_back();
  }
  return std::nullopt;
}

int Usage(const std::string& error) {
  std::fprintf(stderr, "nimbrel-cli services: %s\n", error.c_str());
  return 2;
}

int Fail(const std::string& error) {
  std::fprintf(stderr, "nimbrel-cli services: %s\n", error.c_str());
  return 1;
}

ServicesView LoadView(SettingsBackend& backend) {
  const SettingsStore store(backend);
  return {LoadServicesSettings(backend), store.ReadStationIdAndKey(ServerIndex::WeatherUnderground),
          store.ReadStationIdAndKey(ServerIndex::Weathercloud), LoadServiceOutcomes(backend)};
}

int SetConsoleService(ServerIndex service, const ServiceChanges& changes,
                      const std::optional<std::string>& key, SettingsBackend& backend) {
  if (key && key->size() > kMaxStationTextLength) {
    return Usage("a station key holds at most 63 characters");
  }
  SettingsStore store(backend);
  if (!store.WriteStationIdAndKey(
          service, {FromUtf8(changes.id.value_or("")), FromUtf8(key.value_or(""))})) {
    return Fail("cannot save the settings");
  }
  return 0;
}

}  // namespace

std::optional<std::string> ParseServicesArgs(const std::vector<std::string_view>& args,
                                             ServicesArgs& parsed) {
  if (args.empty()) {
    return std::string(kSynopsis);
  }
  if (args[0] == "list") {
    for (std::size_t i = 1; i < args.size(); ++i) {
      if (args[i] != "--json") {
        return "unknown option: " + std::string(args[i]);
      }
      parsed.json = true;
    }
    parsed.list = true;
    return std::nullopt;
  }
  if (args[0] != "set") {
    return std::string(kSynopsis);
  }
  if (auto error = ParseSet(args, parsed.set)) {
    return error;
  }
  const ServiceChanges& changes = parsed.set;
  if (ConsoleService(changes.name)) {
    return CheckConsoleChanges(changes);
  }
  const WeatherService service = *WeatherServiceNamed(changes.name);
  if ((changes.latitude || changes.longitude) && service != WeatherService::kCwop) {
    return "--lat and --lon are CWOP's";
  }
  if (changes.interval) {
    if (auto error = CheckInterval(service, *changes.interval)) {
      return error;
    }
  }
  if (changes.endpoint) {
    if (auto error = CheckEndpoint(service, *changes.endpoint)) {
      return error;
    }
  }
  if (changes.latitude) {
    if (auto error = CheckLatitude(*changes.latitude)) {
      return error;
    }
  }
  if (changes.longitude) {
    if (auto error = CheckLongitude(*changes.longitude)) {
      return error;
    }
  }
  for (const auto* text : {&changes.id, &changes.caFile}) {
    if (*text) {
      if (auto error = CheckServiceText("the value", **text)) {
        return error;
      }
    }
  }
  if (changes.catchUp == true && !LimitsOf(service).takesPastReadings) {
    return "cwop never catches up: it takes the time a packet arrives as the reading's";
  }
  return std::nullopt;
}

std::optional<std::string> ApplyServiceChanges(const ServiceChanges& changes,
                                               const std::optional<std::string>& key,
                                               ServicesSettings& settings) {
  const auto service = WeatherServiceNamed(changes.name);
  if (!service) {
    return "unknown service '" + changes.name + "'";
  }
  if (key) {
    if (auto error = CheckServiceText("the key", *key)) {
      return error;
    }
  }
  ServicesSettings changed = settings;
  WeatherServiceSettings& one = changed.Of(*service);
  one.on = changes.on.value_or(one.on);
  one.id = changes.id.value_or(one.id);
  one.key = key.value_or(one.key);
  one.intervalMinutes = static_cast<int>(changes.interval.value_or(one.intervalMinutes));
  one.catchUp = changes.catchUp.value_or(one.catchUp);
  one.endpoint = changes.endpoint.value_or(one.endpoint);
  one.caFile = changes.caFile.value_or(one.caFile);
  if (changes.latitude || changes.longitude) {
    changed.latitude = changes.latitude ? changes.latitude : changed.latitude;
    changed.longitude = changes.longitude ? changes.longitude : changed.longitude;
  }
  if (one.on) {
    if (auto error = CheckReady(*service, changed)) {
      return error;
    }
  }
  settings = changed;
  return std::nullopt;
}

std::string ServicesListText(const ServicesView& view) {
  std::string text;
  for (const ShownService& shown : Shown(view)) {
    text += Block(shown);
    if (shown.name == "cwop") {
      text += "  position: " +
              (view.settings.latitude
                   ? Degrees(*view.settings.latitude) + ", " + Degrees(*view.settings.longitude)
                   : std::string("(none)")) +
              "\n";
    }
  }
  return text;
}

std::string ServicesListJson(const ServicesView& view) {
  std::string json = "[";
  for (const ShownService& shown : Shown(view)) {
    json += json.size() > 1 ? ",{" : "{";
    json.append("\"name\":\"").append(shown.name).append("\"");
    AppendMember(json, "title", shown.title);
    json.append(",\"on\":").append(shown.on ? "true" : "false");
    AppendMember(json, "id", shown.id);
    AppendMember(json, "key", MaskedSecret(shown.key));
    AppendMember(json, "interval", shown.interval);
    AppendMember(json, "catch_up", shown.catchUp);
    AppendMember(json, "endpoint", shown.endpoint);
    AppendMember(json, "ca", shown.ca);
    AppendTime(json, "last_success", shown.outcome.lastSuccess);
    AppendTime(json, "last_error_time", shown.outcome.lastErrorTime);
    AppendMember(json, "last_error", shown.outcome.lastError);
    json.append(",\"failing\":").append(shown.outcome.failing ? "true" : "false");
    if (shown.name == "cwop") {
      const auto& where = view.settings;
      json += ",\"latitude\":" + (where.latitude ? Degrees(*where.latitude) : "null");
      json += ",\"longitude\":" + (where.longitude ? Degrees(*where.longitude) : "null");
    }
    json += "}";
  }
  return json + "]\n";
}

int RunServicesCommand(const GlobalOptions& options) {
  ServicesArgs parsed;
  if (auto error = ParseServicesArgs(options.commandArgs, parsed)) {
    return Usage(*error);
  }
  const std::unique_ptr<SettingsBackend> backend = OpenUserSettingsBackend();
  if (parsed.list) {
    const ServicesView view = LoadView(*backend);
    const std::string text = parsed.json ? ServicesListJson(view) : ServicesListText(view);
    std::fwrite(text.data(), 1, text.size(), stdout);
    return 0;
  }
  const ServiceChanges& changes = parsed.set;
  std::optional<std::string> key;
  if (changes.keyFile) {
    key.emplace();
    if (auto error = ReadKeyFile(*changes.keyFile, *key)) {
      return Fail(*error);
    }
  }
  if (const auto console = ConsoleService(changes.name)) {
    return SetConsoleService(*console, changes, key, *backend);
  }
  ServicesSettings settings = LoadServicesSettings(*backend);
  if (auto error = ApplyServiceChanges(changes, key, settings)) {
    return Usage(*error);
  }
  if (!SaveServicesSettings(*backend, settings)) {
    return Fail("cannot save the settings");
  }
  return 0;
}

}  // namespace nimbrel::cli
