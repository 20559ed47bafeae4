// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

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

// Nothing for a scheme other than mqtt:// or mqtts://, an empty host, a path or a port outside 1
// to 65535.
std::optional<BrokerAddress> ParseBrokerUrl(std::string_view url);

// A topic prefix may not be empty, hold the wildcards '+' and '#', or begin or end with '/'.
bool ValidTopicPrefix(std::string_view prefix);

// The console's live text as one JSON object, every number in the console's own units: null for a
// field that holds no reading or no number. Wind compass point, date and time are texts.
std::string LiveStateJson(std::string_view liveText);

// Where the service publishes, below the user's prefix.
struct MqttTopics {
  std::string prefix = "nimbrel";
  std::string haPrefix = "homeassistant";

  std::string State() const { return prefix + "/state"; }
  std::string Status() const { return prefix + "/status"; }
  // Home Assistant says "online" here when it (re)starts.
  std::string HaStatus() const { return haPrefix + "/status"; }
};

// The client's name at the broker, one per prefix (two services with one prefix would publish over
// each other anyway).
std::string MqttClientId(const MqttTopics& topics);

// A live reading older than this reads as unavailable in Home Assistant.
inline constexpr int kStateExpirySeconds = 900;

// One retained Home Assistant discovery config per numeric key of the state, all of one device.
std::vector<MqttMessage> DiscoveryConfigs(const MqttTopics& topics);

}  // namespace nimbrel
