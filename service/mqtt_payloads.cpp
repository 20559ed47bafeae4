// SPDX-License-Identifier: GPL-3.0-or-later
#include "service/mqtt_payloads.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <limits>

#include "record/record_fields.h"
#include "web/json_text.h"

namespace nimbrel {

namespace {

// How the console marks a missing reading in a field: temperatures may be negative, so only a
// double dash marks them; rain, wind and pressure are never negative, so any dash does.
enum class Missing : std::uint8_t { kNotANumber, kDoubleDash, kDash };

// How Home Assistant keeps a sensor's statistics: an average of readings, a total that resets
// (a new cycle starts when it falls), a rolling window that fits neither, or an average of angles.
enum class Statistics : std::uint8_t { kMeasurement, kTotalIncreasing, kNone, kAngle };

struct NumericKey {
  std::string_view key;
  std::size_t field;
  Missing missing;
  std::string_view name;
  std::string_view unit;         // empty: none
  std::string_view deviceClass;  // empty: none fits
  Statistics statistics = Statistics::kMeasurement;
  std::string_view timeKey = {};  // a text key of the state that tells when the value was reached
};

// Keys the live text does not hold: the service adds them from the archive.
constexpr std::size_t kFromArchive = std::numeric_limits<std::size_t>::max();

// Units are written into the configs as they stand, so they are JSON texts already.
constexpr std::string_view kCelsius = "\\u00b0C";
constexpr std::string_view kDegrees = "\\u00b0";

constexpr NumericKey Temperature(std::string_view key, std::size_t field, std::string_view name) {
  return {key, field, Missing::kDoubleDash, name, kCelsius, "temperature"};
}
constexpr NumericKey Humidity(std::string_view key, std::size_t field, std::string_view name) {
  return {key, field, Missing::kNotANumber, name, "%", "humidity"};
}
constexpr NumericKey Rain(std::string_view key, std::size_t field, std::string_view name,
                          Statistics statistics) {
  return {key, field, Missing::kDash, name, "mm", "precipitation", statistics};
}

constexpr std::array kNumericKeys = {
    Temperature("indoor_temperature", kFieldIndoorTemperature, "Indoor temperature"),
    Humidity("indoor_humidity", kFieldIndoorHumidity, "Indoor humidity"),
    Temperature("outdoor_temperature", kFieldOutdoorTemperature, "Outdoor temperature"),
    Humidity("outdoor_humidity", kFieldOutdoorHumidity, "Outdoor humidity"),
    Rain("rain_daily", kFieldDailyRain, "Rain today", Statistics::kTotalIncreasing),
    NumericKey{"rain_rate", kFieldRainRate, Missing::kDash, "Rain rate", "mm/h",
               "precipitation_intensity"},
    NumericKey{"wind_speed", kFieldWindSpeed, Missing::kDash, "Wind speed", "km/h", "wind_speed"},
    NumericKey{"wind_gust", kFieldWindGust, Missing::kDash, "Wind gust", "km/h", "wind_speed"},
    NumericKey{"wind_direction", kFieldWindDirectionDegrees, Missing::kDash, "Wind direction",
               kDegrees, "wind_direction", Statistics::kAngle},
    NumericKey{"pressure_relative", kFieldRelativePressure, Missing::kDash, "Relative pressure",
               "hPa", "pressure"},
    NumericKey{"pressure_absolute", kFieldAbsolutePressure, Missing::kDash, "Absolute pressure",
               "hPa", "pressure"},
    NumericKey{"uv_index", kFieldUvIndex, Missing::kNotANumber, "UV index", "UV index", ""},
    Temperature("dew_point", kFieldDewPoint, "Dew point"),
    Temperature("heat_index", kFieldHeatIndex, "Heat index"),
    Temperature("ch1_temperature", 18, "Channel 1 temperature"),
    Humidity("ch1_humidity", 19, "Channel 1 humidity"),
    Temperature("ch2_temperature", 20, "Channel 2 temperature"),
    Humidity("ch2_humidity", 21, "Channel 2 humidity"),
    Temperature("ch3_temperature", 22, "Channel 3 temperature"),
    Humidity("ch3_humidity", 23, "Channel 3 humidity"),
    Temperature("ch4_temperature", 24, "Channel 4 temperature"),
    Humidity("ch4_humidity", 25, "Channel 4 humidity"),
    Temperature("ch5_temperature", 26, "Channel 5 temperature"),
    Humidity("ch5_humidity", 27, "Channel 5 humidity"),
    Temperature("ch6_temperature", 28, "Channel 6 temperature"),
    Humidity("ch6_humidity", 29, "Channel 6 humidity"),
    Temperature("ch7_temperature", 30, "Channel 7 temperature"),
    Humidity("ch7_humidity", 31, "Channel 7 humidity"),
    Temperature("wind_chill", kFieldWindChill, "Wind chill"),
    Rain("rain_hourly", kFieldHourlyRain, "Rain last hour", Statistics::kNone),
    Rain("rain_weekly", kFieldWeeklyRain, "Rain this week", Statistics::kTotalIncreasing),
    Rain("rain_monthly", kFieldMonthlyRain, "Rain this month", Statistics::kTotalIncreasing),
    NumericKey{"logger", kFieldLoggerPercent, Missing::kNotANumber, "Logger fill", "%", ""},
    NumericKey{"outdoor_temperature_high_today", kFromArchive, Missing::kDoubleDash,
               "Outdoor high today", kCelsius, "temperature", Statistics::kMeasurement,
               "outdoor_temperature_high_today_time"},
    NumericKey{"outdoor_temperature_low_today", kFromArchive, Missing::kDoubleDash,
               "Outdoor low today", kCelsius, "temperature", Statistics::kMeasurement,
               "outdoor_temperature_low_today_time"},
    // The season's total falls to zero when a new season starts: a total that resets.
    Rain("rain_season", kFromArchive, "Rain this season", Statistics::kTotalIncreasing),
};

struct TextKey {
  std::string_view key;
  std::size_t field;
};

constexpr std::array kTextKeys = {TextKey{"wind_compass", kFieldWindDirectionPoint},
                                  TextKey{"date", kFieldDate}, TextKey{"time", kFieldTime}};

bool ControlCharacter(char c) {
  return static_cast<unsigned char>(c) < 0x20 || c == 0x7f;
}

bool MarkedMissing(std::string_view field, Missing missing) {
  switch (missing) {
    case Missing::kDoubleDash:
      return field.find("--") != std::string_view::npos;
    case Missing::kDash:
      return field.find('-') != std::string_view::npos;
    case Missing::kNotANumber:
      break;
  }
  return false;
}

// The field's number; nothing when the whole field is not one finite number.
std::optional<double> FieldNumber(std::string_view field, Missing missing) {
  if (MarkedMissing(field, missing)) {
    return std::nullopt;
  }
  double value = 0;
  const char* end = field.data() + field.size();
  const auto [stop, error] = std::from_chars(field.data(), end, value);
  if (field.empty() || error != std::errc() || stop != end || !std::isfinite(value)) {
    return std::nullopt;
  }
  return value;
}

// The field's number printed back in its shortest exact form, or JSON's null.
std::string JsonNumber(std::string_view field, Missing missing) {
  const std::optional<double> value = FieldNumber(field, missing);
  if (!value) {
    return "null";
  }
  std::array<char, 32> digits{};
  const auto printed = std::to_chars(digits.data(), digits.data() + digits.size(), *value);
  return {digits.data(), printed.ptr};
}

// Bytes past ASCII read as Latin-1, as the dashboard shows them.
std::string JsonString(std::string_view text) {
  constexpr std::string_view kHex = "0123456789abcdef";
  std::string json = "\"";
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      json += '\\';
      json += c;
    } else if (byte < 0x20 || byte >= 0x80) {
      json += "\\u00";
      json += kHex[byte >> 4];
      json += kHex[byte & 0xf];
    } else {
      json += c;
    }
  }
  return json + "\"";
}

// Home Assistant's ids allow letters, digits, '_' and '-' only.
bool IdCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
         c == '-';
}

// FNV-1a: stable across builds and machines, which std::hash is not.
std::uint64_t StableHash(std::string_view text) {
  std::uint64_t hash = 0xcbf29ce484222325U;
  for (const char c : text) {
    hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001b3U;
  }
  return hash;
}

std::string Hex(std::uint64_t value, std::size_t digits) {
  constexpr std::string_view kHex = "0123456789abcdef";
  std::string hex(digits, '0');
  for (std::size_t i = digits; i-- > 0; value >>= 4) {
    hex[i] = kHex[value & 0xf];
  }
  return hex;
}

struct ConfigClasses {
  std::string_view deviceClass;
  std::string_view stateClass;  // empty: none
};

ConfigClasses ClassesOf(const NumericKey& key, HaClasses classes) {
  switch (key.statistics) {
    case Statistics::kTotalIncreasing:
      return {key.deviceClass, "total_increasing"};
    case Statistics::kNone:
      return {key.deviceClass, {}};
    case Statistics::kAngle:
      if (classes == HaClasses::kBefore2025_4) {
        return {{}, "measurement"};
      }
      return {key.deviceClass, "measurement_angle"};
    case Statistics::kMeasurement:
      break;
  }
  return {key.deviceClass, "measurement"};
}

std::string ConfigTopic(const MqttTopics& topics, std::string_view node, const NumericKey& key) {
  return topics.haPrefix + "/sensor/" + std::string(node) + "/" + std::string(key.key) + "/config";
}

// The prefix as ids held it before "home/wx" and "home_wx" were kept apart.
std::string EarlierNodeId(std::string_view prefix) {
  std::string node(prefix);
  std::replace_if(
      node.begin(), node.end(), [](char c) { return !IdCharacter(c); }, '_');
  return node;
}

std::string DiscoveryConfig(const MqttTopics& topics, const NumericKey& key,
                            const std::string& device, HaClasses classes) {
  std::string config = "{\"name\":" + JsonString(key.name) +
                       ",\"state_topic\":" + JsonString(topics.State()) +
                       ",\"value_template\":\"{{ value_json." + std::string(key.key) + " }}\"" +
                       ",\"unique_id\":\"" + device + "_" + std::string(key.key) + "\"" +
                       ",\"availability_topic\":" + JsonString(topics.Status());
  if (!key.unit.empty()) {
    config += ",\"unit_of_measurement\":\"" + std::string(key.unit) + "\"";
  }
  const ConfigClasses chosen = ClassesOf(key, classes);
  if (!chosen.deviceClass.empty()) {
    config += ",\"device_class\":\"" + std::string(chosen.deviceClass) + "\"";
  }
  if (!chosen.stateClass.empty()) {
    config += ",\"state_class\":\"" + std::string(chosen.stateClass) + "\"";
  }
  if (!key.timeKey.empty()) {
    config += ",\"json_attributes_topic\":" + JsonString(topics.State()) +
              ",\"json_attributes_template\":\"{{ {'time': value_json." + std::string(key.timeKey) +
              "} | tojson }}\"";
  }
  return config + ",\"expire_after\":" + std::to_string(kStateExpirySeconds) +
         ",\"device\":{\"identifiers\":[\"" + device +
         "\"],\"name\":\"Nimbrel weather station\",\"model\":\"USB console 1941:8021\"}}";
}

}  // namespace

std::optional<BrokerAddress> ParseBrokerUrl(std::string_view url) {
  BrokerAddress address;
  if (url.starts_with("mqtts://")) {
    address = {{}, 8883, true};
    url.remove_prefix(8);
  } else if (url.starts_with("mqtt://")) {
    url.remove_prefix(7);
  } else {
    return std::nullopt;
  }
  if (url.ends_with('/')) {
    url.remove_suffix(1);
  }
  // A bracketed IPv6 address keeps its colons.
  const std::size_t hostEnd = url.starts_with('[') ? url.find(']') + 1 : url.rfind(':');
  std::string_view host = url.substr(0, hostEnd);
  if (hostEnd != std::string_view::npos && hostEnd < url.size()) {
    const std::string_view port = url.substr(hostEnd + 1);
    unsigned value = 0;
    const auto [stop, error] = std::from_chars(port.data(), port.data() + port.size(), value);
    if (url[hostEnd] != ':' || error != std::errc() || stop != port.data() + port.size() ||
        value == 0 || value > 65535) {
      return std::nullopt;
    }
    address.port = static_cast<std::uint16_t>(value);
  }
  if (host.starts_with('[') && host.ends_with(']')) {
    host = host.substr(1, host.size() - 2);
  }
  if (host.empty() || host.find_first_of("/@?# ") != std::string_view::npos ||
      std::any_of(host.begin(), host.end(), ControlCharacter)) {
    return std::nullopt;
  }
  address.host = host;
  return address;
}

bool ValidTopicPrefix(std::string_view prefix) {
  return !prefix.empty() && prefix.find_first_of("+#") == std::string_view::npos &&
         std::none_of(prefix.begin(), prefix.end(), ControlCharacter) && !prefix.starts_with('/') &&
         !prefix.ends_with('/');
}

std::optional<double> LiveNumber(const RecordFields& fields, std::size_t field) {
  const auto key = std::find_if(kNumericKeys.begin(), kNumericKeys.end(),
                                [field](const NumericKey& k) { return k.field == field; });
  return key != kNumericKeys.end() && field < fields.size()
             ? FieldNumber(fields[field].View(), key->missing)
             : std::nullopt;
}

std::string LiveStateJson(std::string_view liveText, const TodayFigures& figures,
                          std::string_view services) {
  const RecordFields fields = SplitRecord(liveText.substr(0, 255));
  std::string json = "{";
  // Appended piece by piece: gcc 12's -O3 mistakes a chain of string sums for overlapping copies.
  const auto member = [&json](std::string_view key, const std::string& value) {
    json.append("\"").append(key).append("\":").append(value).append(",");
  };
  for (const NumericKey& key : kNumericKeys) {
    if (key.field != kFromArchive) {
      member(key.key, JsonNumber(fields[key.field].View(), key.missing));
    }
  }
  json += TodayFiguresJson(figures);
  json += services;
  for (const TextKey& key : kTextKeys) {
    member(key.key, JsonString(fields[key.field].View()));
  }
  json.back() = '}';
  return json;
}

std::string ServicesStateJson(const ServiceOutcomes& outcomes, std::span<const std::size_t> shown) {
  std::string json;
  for (const std::size_t index : shown) {
    if (index >= outcomes.size()) {
      continue;
    }
    const ServiceOutcome& outcome = outcomes[index];
    const std::string_view name = OutcomeName(index);
    json.append("\"").append(name).append("_last_success\":");
    json.append(outcome.lastSuccess ? "\"" + web::UtcText(*outcome.lastSuccess) + "\"" : "null");
    json.append(",\"").append(name).append("_failing\":");
    json.append(outcome.failing ? "true," : "false,");
  }
  return json;
}

std::string MqttClientId(std::string_view machineId, const MqttTopics& topics) {
  // The prefix itself may be long or hold anything a topic may; its hash is short and plain.
  const std::string identity = std::string(machineId) + '\n' + topics.prefix;
  return "nimbrel-" + Hex(StableHash(identity), 15);
}

bool ValidClientId(std::string_view id) {
  return !id.empty() && id.size() <= 64 && std::all_of(id.begin(), id.end(), [](char c) {
    return IdCharacter(c) || c == '.' || c == ':';
  });
}

std::string NodeId(std::string_view prefix) {
  if (std::all_of(prefix.begin(), prefix.end(), IdCharacter)) {
    return std::string(prefix);
  }
  return EarlierNodeId(prefix) + "_" + Hex(StableHash(prefix), 8);
}

std::vector<MqttMessage> DiscoveryConfigs(const MqttTopics& topics, HaClasses classes) {
  const std::string node = NodeId(topics.prefix);
  const std::string device = "nimbrel_" + node;
  std::vector<MqttMessage> configs;
  configs.reserve(kNumericKeys.size());
  for (const NumericKey& key : kNumericKeys) {
    configs.push_back(
        {ConfigTopic(topics, node, key), DiscoveryConfig(topics, key, device, classes), true});
  }
  return configs;
}

std::vector<std::string> RetainedTopics(const MqttTopics& topics, bool discovery) {
  std::vector<std::string> retained{topics.State(), topics.Status()};
  if (discovery) {
    for (MqttMessage& config : DiscoveryConfigs(topics)) {
      retained.push_back(std::move(config.topic));
    }
  }
  return retained;
}

std::vector<std::string> UnrecordedTopics(const MqttTopics& topics) {
  std::vector<std::string> unrecorded = RetainedTopics(topics, true);
  const std::string earlier = EarlierNodeId(topics.prefix);
  if (earlier != NodeId(topics.prefix)) {
    for (const NumericKey& key : kNumericKeys) {
      unrecorded.push_back(ConfigTopic(topics, earlier, key));
    }
  }
  return unrecorded;
}

}  // namespace nimbrel
