// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "service/mqtt_payloads.h"

namespace nimbrel {

// What one connection to the broker needs: who we are, who may read, and what the broker
// publishes for us when the connection dies without a goodbye.
struct MqttSession {
  std::string clientId;
  std::string user;      // empty: no login
  std::string password;  // never logged
  std::string caFile;    // mqtts:// only; empty: the system's certificate authorities
  MqttMessage will;
  std::chrono::seconds keepAlive{30};
};

enum class MqttLink { kConnecting, kConnected, kLost };

// One broker connection, driven from one thread (the publisher's). The platform implements it
// over libmosquitto; nothing here waits longer than it is told to.
class MqttClient {
 public:
  virtual ~MqttClient() = default;

  // Starts connecting without waiting for the broker's answer; the error text when it cannot.
  virtual std::optional<std::string> Connect(const BrokerAddress& broker,
                                             const MqttSession& session) = 0;
  // Moves the traffic for up to `wait`; what arrives on subscribed topics is appended.
  virtual MqttLink Service(std::chrono::milliseconds wait, std::vector<MqttMessage>& received) = 0;
  // Retained messages that matter (availability) go at least once; the state at most once.
  virtual bool Publish(const MqttMessage& message, bool atLeastOnce) = 0;
  virtual bool Subscribe(std::string_view topic) = 0;
  // Whether earlier messages still wait to be written: the next state then waits too, so that
  // nothing piles up behind a slow broker.
  virtual bool Backlogged() const = 0;
  // Whether messages sent at least once still wait for the broker to take them.
  virtual bool Unacknowledged() const = 0;
  // Waits up to `wait` for the messages sent at least once to be taken, then says goodbye (the
  // broker drops the will).
  virtual void Disconnect(std::chrono::milliseconds wait) = 0;
  // Why the last call failed or the connection was lost.
  virtual std::string LastError() const = 0;
};

}  // namespace nimbrel
