// SPDX-License-Identifier: GPL-3.0-or-later
#include "service/mqtt_publisher.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace nimbrel {

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::string_view kOnline = "online";
constexpr std::string_view kOffline = "offline";
// Short enough that a new state and a stop are seen at once.
constexpr std::chrono::milliseconds kServiceSlice{100};
constexpr std::chrono::milliseconds kGoodbyeWait{1000};

std::string Seconds(std::chrono::seconds pause) {
  return std::to_string(pause.count()) + " s";
}

}  // namespace

std::chrono::seconds RetryPause::Next() {
  const std::chrono::seconds pause = next_;
  next_ = std::min(next_ * 2, kLongest);
  return pause;
}

MqttPublisher::MqttPublisher(MqttClient& client, PublisherOptions options, ServiceLogLine log)
    : client_(client),
      options_(std::move(options)),
      log_(std::move(log)),
      thread_([this](std::stop_token stop) { Run(stop); }) {}

MqttPublisher::~MqttPublisher() {
  Stop();
}

void MqttPublisher::PublishState(std::string json) {
  {
    std::lock_guard lock(mutex_);
    latest_ = std::move(json);
    unpublished_ = true;
  }
  wake_.notify_all();
}

void MqttPublisher::Stop() {
  thread_.request_stop();
  if (thread_.joinable()) {
    thread_.join();
  }
}

void MqttPublisher::Run(std::stop_token stop) {
  const std::string where = options_.broker.host + ":" + std::to_string(options_.broker.port);
  std::string lastFailure;
  while (!stop.stop_requested()) {
    if (Session(stop)) {
      return;
    }
    // The same failure again is not news; the pause before the next attempt is.
    const std::string failure = client_.LastError();
    const std::chrono::seconds pause = retry_.Next();
    log_("MQTT broker " + where + ": " + failure + "; next attempt in " + Seconds(pause),
         failure == lastFailure);
    lastFailure = failure;
    Pause(pause, stop);
  }
}

// One connection from start to end; true when it ended because the service stops.
bool MqttPublisher::Session(std::stop_token stop) {
  MqttSession session = options_.session;
  session.will = {options_.topics.Status(), std::string(kOffline), true};
  if (client_.Connect(options_.broker, session)) {
    return false;
  }
  if (!AwaitConnection(stop)) {
    client_.Disconnect(std::chrono::milliseconds(0));
    return stop.stop_requested();
  }
  retry_.Reset();
  log_("MQTT broker " + options_.broker.host + ":" + std::to_string(options_.broker.port) +
           ": connected",
       false);
  Announce();
  std::vector<MqttMessage> received;
  while (!stop.stop_requested()) {
    PublishPendingState();
    received.clear();
    if (client_.Service(kServiceSlice, received) == MqttLink::kLost) {
      return false;
    }
    const bool haRestarted = std::any_of(received.begin(), received.end(), [&](const auto& m) {
      // A retained birth message is old news: it arrives at every subscription.
      return m.topic == options_.topics.HaStatus() && m.payload == kOnline && !m.retain;
    });
    if (haRestarted && options_.discovery) {
      log_("Home Assistant is back: discovery announced again", true);
      Announce();
    }
  }
  client_.Publish({options_.topics.Status(), std::string(kOffline), true}, true);
  client_.Disconnect(kGoodbyeWait);
  return true;
}

bool MqttPublisher::AwaitConnection(std::stop_token stop) {
  const auto deadline = Clock::now() + options_.connectWait;
  std::vector<MqttMessage> received;
  while (!stop.stop_requested() && Clock::now() < deadline) {
    switch (client_.Service(kServiceSlice, received)) {
      case MqttLink::kConnected:
        return true;
      case MqttLink::kLost:
        return false;
      case MqttLink::kConnecting:
        break;
    }
  }
  return false;
}

// Discovery first, so that Home Assistant knows the sensors before their state and availability.
void MqttPublisher::Announce() {
  if (options_.discovery) {
    client_.Subscribe(options_.topics.HaStatus());
    for (const MqttMessage& config : DiscoveryConfigs(options_.topics)) {
      client_.Publish(config, true);
    }
  }
  client_.Publish({options_.topics.Status(), std::string(kOnline), true}, true);
  std::lock_guard lock(mutex_);
  unpublished_ = !latest_.empty();
}

void MqttPublisher::PublishPendingState() {
  MqttMessage state{options_.topics.State(), {}, true};
  {
    std::lock_guard lock(mutex_);
    if (!unpublished_ || client_.Backlogged()) {
      return;
    }
    state.payload = latest_;
    unpublished_ = false;
  }
  if (client_.Publish(state, false)) {
    log_("MQTT: published " + state.payload, true);
  }
}

void MqttPublisher::Pause(std::chrono::seconds pause, std::stop_token stop) {
  std::unique_lock lock(mutex_);
  wake_.wait_for(lock, stop, pause, [] { return false; });
}

}  // namespace nimbrel
