// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <thread>

#include "service/mqtt_announced.h"
#include "service/mqtt_client.h"
#include "service/service_log.h"

namespace nimbrel {

// The pause before the next attempt to reach the broker: `first`, doubling with every failure up
// to `longest`, back to `first` once a connection has lasted.
class RetryPause {
 public:
  RetryPause(std::chrono::milliseconds first, std::chrono::milliseconds longest)
      : first_(first), longest_(longest), next_(first) {}

  std::chrono::milliseconds Next();
  void Reset() { next_ = first_; }

 private:
  std::chrono::milliseconds first_;
  std::chrono::milliseconds longest_;
  std::chrono::milliseconds next_;
};

struct PublisherOptions {
  BrokerAddress broker;
  MqttSession session;  // its will is set by the publisher
  MqttTopics topics;
  bool discovery = true;
  HaClasses classes = HaClasses::kCurrent;
  // Where the retained topics left on brokers are remembered; empty: nowhere, so nothing left
  // behind by other settings is cleared.
  std::filesystem::path announcedFile;
  // How long the broker has to answer a connection.
  std::chrono::milliseconds connectWait{10'000};
  std::chrono::milliseconds firstRetry{1'000};
  std::chrono::milliseconds longestRetry{60'000};
  // A connection that ends sooner does not start the pauses again: a broker that takes us and
  // drops us at once (another client with our name, a login it dislikes) is not hammered.
  std::chrono::milliseconds steadyAfter{60'000};
};

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
  // How one connection ended.
  struct SessionEnd {
    bool stopped = false;    // the service stops
    bool connected = false;  // the broker took the connection
    bool steady = false;     // and it lasted
    std::string failure;     // why it ended, when not stopped
  };

  void Run(std::stop_token stop);
  SessionEnd Session(std::stop_token stop);
  bool Serve(std::stop_token stop, SessionEnd& end);
  std::optional<std::string> AwaitConnection(std::stop_token stop);
  void Announce();
  void ClearLeftovers();
  void KeepRecord(const std::set<std::string>& topics);
  void RecordWhenDelivered();
  void PublishPendingState();
  void Pause(std::chrono::milliseconds pause, std::stop_token stop);
  std::string Where() const;

  MqttClient& client_;
  const PublisherOptions options_;
  const ServiceLogLine log_;
  const std::set<std::string> retained_;  // what these settings leave on the broker
  RetryPause retry_;
  // On the publisher's thread only.
  bool brief_ = false;  // the last connection ended before it was steady
  AnnouncedTopics announced_;
  bool recordPending_ = false;  // the file still names cleared topics until the broker has them
  bool recordFailed_ = false;
  std::mutex mutex_;
  std::condition_variable_any wake_;
  std::string latest_;  // the newest state, published again after every reconnection
  bool unpublished_ = false;
  std::jthread thread_;  // last: it starts after everything it uses
};

}  // namespace nimbrel
