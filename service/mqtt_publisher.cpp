// SPDX-License-Identifier: GPL-3.0-or-later
#include "service/mqtt_publisher.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <iterator>
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

// "2 s", or "0.25 s" for the short pauses of tests.
std::string Seconds(std::chrono::milliseconds duration) {
  std::array<char, 32> digits{};
  const auto printed = std::to_chars(digits.data(), digits.data() + digits.size(),
                                     static_cast<double>(duration.count()) / 1000.0);
  return std::string(digits.data(), printed.ptr) + " s";
}

std::set<std::string> RetainedSet(const PublisherOptions& options) {
  std::vector<std::string> topics = RetainedTopics(options.topics, options.discovery);
  return {std::make_move_iterator(topics.begin()), std::make_move_iterator(topics.end())};
}

}  // namespace

std::chrono::milliseconds RetryPause::Next() {
  const std::chrono::milliseconds pause = next_;
  next_ = std::min(next_ * 2, longest_);
  return pause;
}

MqttPublisher::MqttPublisher(MqttClient& client, PublisherOptions options, ServiceLogLine log)
    : client_(client),
      options_(std::move(options)),
      log_(std::move(log)),
      retained_(RetainedSet(options_)),
      retry_(options_.firstRetry, options_.longestRetry),
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

std::string MqttPublisher::Where() const {
  return options_.broker.host + ":" + std::to_string(options_.broker.port);
}

void MqttPublisher::Run(std::stop_token stop) {
  if (!options_.announcedFile.empty()) {
    if (const auto failure = ReadAnnouncedTopics(options_.announcedFile, announced_)) {
      log_("MQTT: cannot read what was announced before (" + *failure +
               "); Home Assistant devices of earlier settings stay on the broker",
           false);
    }
    // A broker this service has no record of may hold what an earlier version left there.
    if (!announced_.contains(Where())) {
      const std::vector<std::string> unrecorded = UnrecordedTopics(options_.topics);
      announced_[Where()] = {unrecorded.begin(), unrecorded.end()};
    }
  }
  std::string lastFailure;  // empty once a connection has lasted: its end is news
  while (!stop.stop_requested()) {
    const SessionEnd end = Session(stop);
    if (end.stopped) {
      return;
    }
    if (end.connected) {
      brief_ = !end.steady;
    }
    if (end.steady) {
      retry_.Reset();
      lastFailure.clear();
    }
    // The same failure again is not news; the pause before the next attempt is.
    const std::chrono::milliseconds pause = retry_.Next();
    log_("MQTT broker " + Where() + ": " + end.failure + "; next attempt in " + Seconds(pause),
         end.failure == lastFailure);
    lastFailure = end.failure;
    Pause(pause, stop);
  }
}

// One connection from start to end.
MqttPublisher::SessionEnd MqttPublisher::Session(std::stop_token stop) {
  SessionEnd end;
  MqttSession session = options_.session;
  session.will = {options_.topics.Status(), std::string(kOffline), true};
  std::optional<std::string> failure = client_.Connect(options_.broker, session);
  if (!failure && (failure = AwaitConnection(stop))) {
    client_.Disconnect(std::chrono::milliseconds(0));
  }
  if (failure) {
    end.stopped = stop.stop_requested();
    end.failure = failure->empty() ? "connection failed, no reason given" : *failure;
    return end;
  }
  end.connected = true;
  end.stopped = Serve(stop, end);
  return end;
}

// Keeps a taken connection until it is lost or the service stops; true for the latter.
bool MqttPublisher::Serve(std::stop_token stop, SessionEnd& end) {
  const auto since = Clock::now();
  const std::string connected =
      "MQTT broker " + Where() + ": connected as " + options_.session.clientId;
  // While the broker keeps dropping us, each new connection is a detail.
  log_(connected, brief_);
  Announce();
  std::vector<MqttMessage> received;
  while (!stop.stop_requested()) {
    PublishPendingState();
    if (recordPending_ && !client_.Unacknowledged()) {
      KeepRecord(retained_);
      recordPending_ = false;
    }
    if (!end.steady && Clock::now() - since >= options_.steadyAfter) {
      end.steady = true;
      if (std::exchange(brief_, false)) {
        log_(connected, false);
      }
    }
    received.clear();
    if (client_.Service(kServiceSlice, received) == MqttLink::kLost) {
      end.steady = end.steady || Clock::now() - since >= options_.steadyAfter;
      end.failure = client_.LastError();
      if (end.failure.empty()) {
        end.failure = "connection lost";
      }
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

// Nothing once the broker has taken the connection, else why not.
std::optional<std::string> MqttPublisher::AwaitConnection(std::stop_token stop) {
  const auto deadline = Clock::now() + options_.connectWait;
  std::vector<MqttMessage> received;
  while (!stop.stop_requested() && Clock::now() < deadline) {
    switch (client_.Service(kServiceSlice, received)) {
      case MqttLink::kConnected:
        return std::nullopt;
      case MqttLink::kLost:
        return client_.LastError();
      case MqttLink::kConnecting:
        break;
    }
  }
  return stop.stop_requested() ? "stopped"
                               : "no answer within " + Seconds(options_.connectWait) +
                                     " (is it an MQTT broker, and is TLS right?)";
}

// Leftovers go first, then discovery, so that Home Assistant knows the sensors before their
// state and availability.
void MqttPublisher::Announce() {
  ClearLeftovers();
  if (options_.discovery) {
    client_.Subscribe(options_.topics.HaStatus());
    for (const MqttMessage& config : DiscoveryConfigs(options_.topics, options_.classes)) {
      client_.Publish(config, true);
    }
  }
  client_.Publish({options_.topics.Status(), std::string(kOnline), true}, true);
  std::lock_guard lock(mutex_);
  unpublished_ = !latest_.empty();
}

// An empty retained message removes a retained one: Home Assistant then drops the sensor of an
// old config. The file names old and new topics until the broker has taken the clearing.
void MqttPublisher::ClearLeftovers() {
  if (options_.announcedFile.empty()) {
    return;
  }
  const std::set<std::string>& recorded = announced_[Where()];
  if (recorded == retained_) {
    return;
  }
  std::vector<std::string> stale;
  std::set_difference(recorded.begin(), recorded.end(), retained_.begin(), retained_.end(),
                      std::back_inserter(stale));
  std::set<std::string> both = recorded;
  both.insert(retained_.begin(), retained_.end());
  KeepRecord(both);
  // Unsent, they stay in the file, to be cleared on the next connection.
  bool sent = true;
  for (const std::string& topic : stale) {
    sent = client_.Publish({topic, {}, true}, true) && sent;
  }
  recordPending_ = sent;
  if (!stale.empty()) {
    log_("MQTT: cleared " + std::to_string(stale.size()) +
             " retained topics that earlier settings left on the broker",
         false);
  }
}

void MqttPublisher::KeepRecord(const std::set<std::string>& topics) {
  announced_[Where()] = topics;
  if (const auto failure = WriteAnnouncedTopics(options_.announcedFile, announced_)) {
    log_("MQTT: cannot remember what was announced (" + *failure +
             "); a change of settings will leave these topics on the broker",
         std::exchange(recordFailed_, true));
  }
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

void MqttPublisher::Pause(std::chrono::milliseconds pause, std::stop_token stop) {
  std::unique_lock lock(mutex_);
  wake_.wait_for(lock, stop, pause, [] { return false; });
}

}  // namespace nimbrel
