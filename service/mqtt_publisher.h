// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <thread>

#include "service/mqtt_client.h"

namespace nimbrel {

// The pause before the next attempt to reach the broker: 1 s, doubling with every failure up to
// one minute, back to 1 s once a connection has worked.
class RetryPause {
 public:
  static constexpr std::chrono::seconds kFirst{1};
  static constexpr std::chrono::seconds kLongest{60};

  std::chrono::seconds Next();
  void Reset() { next_ = kFirst; }

 private:
  std::chrono::seconds next_ = kFirst;
};

struct PublisherOptions {
  BrokerAddress broker;
  MqttSession session;  // its will is set by the publisher
  MqttTopics topics;
  bool discovery = true;
  // How long the broker has to answer a connection.
  std::chrono::milliseconds connectWait{10'000};
};

// A line for the log; `detail` lines only show with --verbose.
using ServiceLogLine = std::function<void(std::string_view line, bool detail)>;

// Keeps one broker connection on a thread of its own and publishes the newest state there. A
// state handed over while the broker is away or slow replaces the one before it, so memory stays
// bounded and the caller never waits for the network.
class MqttPublisher {
 public:
  MqttPublisher(MqttClient& client, PublisherOptions options, ServiceLogLine log);
  MqttPublisher(const MqttPublisher&) = delete;
  MqttPublisher& operator=(const MqttPublisher&) = delete;
  ~MqttPublisher();

  // Any thread; never blocks on the network.
  void PublishState(std::string json);

  // Publishes "offline", says goodbye and ends the thread, all within about a second.
  void Stop();

 private:
  void Run(std::stop_token stop);
  bool Session(std::stop_token stop);
  bool AwaitConnection(std::stop_token stop);
  void Announce();
  void PublishPendingState();
  void Pause(std::chrono::seconds pause, std::stop_token stop);

  MqttClient& client_;
  const PublisherOptions options_;
  const ServiceLogLine log_;
  RetryPause retry_;
  std::mutex mutex_;
  std::condition_variable_any wake_;
  std::string latest_;  // the newest state, published again after every reconnection
  bool unpublished_ = false;
  std::jthread thread_;  // last: it starts after everything it uses
};

}  // namespace nimbrel
