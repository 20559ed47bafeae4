// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "record/record_fields.h"
#include "service/state_figures.h"
#include "settings/service_settings.h"

namespace nimbrel {

// One MQTT message, as published or received.
struct MqttMessage {
  std::string topic;
  std::string payload;
  bool retain = false;

  friend bool operator==(const MqttMessage&, const MqttMessage&) = default;
};

// Where the broker listens: mqtt://HOST[:PORT] (1883) or mqtts://HOST[:PORT] (8883, TLS).
struct BrokerAddress {
  std::string host;
  std::uint16_t port = 1883;
  bool tls = false;

  friend bool operator==(const BrokerAddress&, const BrokerAddress&) = default;
};

// Nothing for a scheme other than mqtt:// or mqtts://, an empty host, a path, a control
// character or a port outside 1 to 65535.
std::optional<BrokerAddress> ParseBrokerUrl(std::string_view url);

// A topic prefix may not be empty, hold the wildcards '+' and '#' or a control character, or
// begin or end with '/'.
bool ValidTopicPrefix(std::string_view prefix);

// The console's live text as one JSON object, every number in the console's own units: null for a
// field that holds no reading or no number. Wind compass point, date and time are texts. Today's
// figures from the archive go with it, and `services`: members from ServicesStateJson.
std::string LiveStateJson(std::string_view liveText, const TodayFigures& figures = {},
                          std::string_view services = {});

// How each weather service at `shown` (indices into ServiceOutcomes) fared, as members of the
// state, each followed by a comma: "NAME_last_success" (UTC, "2026-06-01T12:00:10Z"; null before
// the first) and "NAME_failing" (whether its last try failed).
std::string ServicesStateJson(const ServiceOutcomes& outcomes, std::span<const std::size_t> shown);

// The number of a field of a live text by the state's rules; nothing for no reading.
std::optional<double> LiveNumber(const RecordFields& fields, std::size_t field);

// Where the service publishes, below the user's prefix.
struct MqttTopics {
  std::string prefix = "nimbrel";
  std::string haPrefix = "homeassistant";

  std::string State() const { return prefix + "/state"; }
  std::string Status() const { return prefix + "/status"; }
  // Home Assistant says "online" here when it (re)starts.
  std::string HaStatus() const { return haPrefix + "/status"; }
};

// The client's name at the broker, one per machine and prefix: a broker drops the older of two
// connections with one name, so two machines must never share one. 23 characters at most, which
// every broker takes.
std::string MqttClientId(std::string_view machineId, const MqttTopics& topics);

// Whether a client ID given by the user is one we send: 1 to 64 letters, digits, '-', '_', '.'
// or ':'.
bool ValidClientId(std::string_view id);

// The prefix as it appears in Home Assistant's ids: as it stands when it holds only letters,
// digits, '_' and '-', so that existing entities keep their ids; otherwise with those characters
// replaced and a hash of the whole prefix added, so that "home/wx" and "home_wx" stay apart.
std::string NodeId(std::string_view prefix);

// A live reading older than this reads as unavailable in Home Assistant.
inline constexpr int kStateExpirySeconds = 900;

// Home Assistant 2025.4 brought the wind_direction device class and the measurement_angle state
// class, and rejects a config that names them before that.
enum class HaClasses : std::uint8_t { kCurrent, kBefore2025_4 };

// One retained Home Assistant discovery config per numeric key of the state, all of one device.
std::vector<MqttMessage> DiscoveryConfigs(const MqttTopics& topics,
                                          HaClasses classes = HaClasses::kCurrent);

// Every retained topic the service publishes with these settings: state, status and, with
// discovery, the configs.
std::vector<std::string> RetainedTopics(const MqttTopics& topics, bool discovery);

// What a service that kept no record of its announcements (an earlier version) may have left
// with these prefixes: every retained topic with discovery on, and the configs under the id the
// prefix had before ids were kept apart.
std::vector<std::string> UnrecordedTopics(const MqttTopics& topics);

}  // namespace nimbrel
