// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/mqtt_mosquitto.h"

#include <mosquitto.h>

#include <unistd.h>

#include <array>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <set>
#include <system_error>

namespace nimbrel {

namespace {

constexpr int kAtMostOnce = 0;
constexpr int kAtLeastOnce = 1;

// The library's text without its full stop, which the log line goes on after; a TLS failure
// with what usually causes it.
std::string Reason(int rc) {
  std::string text = mosquitto_strerror(rc);
  if (text.ends_with('.')) {
    text.pop_back();
  }
  if (rc == MOSQ_ERR_TLS) {
    text += " (is the broker's certificate authority trusted? --mqtt-ca names it)";
  }
  return text;
}

void InitLibraryOnce() {
  static std::once_flag once;
  std::call_once(once, [] {
    mosquitto_lib_init();
#ifdef SIGPIPE
    // A broker that closes a TLS connection must end the write, not the program.
    std::signal(SIGPIPE, SIG_IGN);
#endif
  });
}

class MosquittoClient : public MqttClient {
 public:
  MosquittoClient() { InitLibraryOnce(); }
  ~MosquittoClient() override { Drop(); }

  std::optional<std::string> Connect(const BrokerAddress& broker,
                                     const MqttSession& session) override {
    Drop();
    link_ = MqttLink::kConnecting;
    error_.clear();
    unacknowledged_.clear();
    mosq_ = mosquitto_new(session.clientId.c_str(), true, this);
    if (mosq_ == nullptr) {
      return Failed("out of memory");
    }
    mosquitto_int_option(mosq_, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    mosquitto_connect_callback_set(mosq_, OnConnect);
    mosquitto_disconnect_callback_set(mosq_, OnDisconnect);
    mosquitto_message_callback_set(mosq_, OnMessage);
    mosquitto_publish_callback_set(mosq_, OnPublish);
    const MqttMessage& will = session.will;
    int rc = mosquitto_will_set(mosq_, will.topic.c_str(), static_cast<int>(will.payload.size()),
                                will.payload.data(), kAtLeastOnce, will.retain);
    if (rc == MOSQ_ERR_SUCCESS && !session.user.empty()) {
      rc = mosquitto_username_pw_set(mosq_, session.user.c_str(),
                                     session.password.empty() ? nullptr : session.password.c_str());
    }
    if (rc == MOSQ_ERR_SUCCESS && broker.tls) {
      rc = session.caFile.empty() ? mosquitto_int_option(mosq_, MOSQ_OPT_TLS_USE_OS_CERTS, 1)
                                  : mosquitto_tls_set(mosq_, session.caFile.c_str(), nullptr,
                                                      nullptr, nullptr, nullptr);
    }
    if (rc == MOSQ_ERR_SUCCESS) {
      rc = mosquitto_connect_async(mosq_, broker.host.c_str(), broker.port,
                                   static_cast<int>(session.keepAlive.count()));
    }
    if (rc != MOSQ_ERR_SUCCESS) {
      return Failed(rc == MOSQ_ERR_ERRNO
                        ? "cannot connect: " + std::generic_category().message(errno)
                        : Reason(rc));
    }
    return std::nullopt;
  }

  MqttLink Service(std::chrono::milliseconds wait, std::vector<MqttMessage>& received) override {
    if (mosq_ == nullptr) {
      return MqttLink::kLost;
    }
    received_ = &received;
    const int rc = mosquitto_loop(mosq_, static_cast<int>(wait.count()), 1);
    received_ = nullptr;
    if (rc != MOSQ_ERR_SUCCESS && link_ != MqttLink::kLost) {
      Lose(rc == MOSQ_ERR_CONN_LOST || rc == MOSQ_ERR_NO_CONN ? "connection lost" : Reason(rc));
    }
    return link_;
  }

  bool Publish(const MqttMessage& message, bool atLeastOnce) override {
    int id = 0;
    const int rc = mosquitto_publish(
        mosq_, &id, message.topic.c_str(), static_cast<int>(message.payload.size()),
        message.payload.data(), atLeastOnce ? kAtLeastOnce : kAtMostOnce, message.retain);
    if (rc != MOSQ_ERR_SUCCESS) {
      error_ = Reason(rc);
      return false;
    }
    if (atLeastOnce) {
      unacknowledged_.insert(id);
    }
    return true;
  }

  bool Subscribe(std::string_view topic) override {
    return mosquitto_subscribe(mosq_, nullptr, std::string(topic).c_str(), kAtMostOnce) ==
           MOSQ_ERR_SUCCESS;
  }

  bool Backlogged() const override { return mosq_ != nullptr && mosquitto_want_write(mosq_); }
  bool Unacknowledged() const override { return !unacknowledged_.empty(); }

  void Disconnect(std::chrono::milliseconds wait) override {
    if (mosq_ == nullptr) {
      return;
    }
    const auto deadline = std::chrono::steady_clock::now() + wait;
    std::vector<MqttMessage> ignored;
    while (link_ == MqttLink::kConnected && !unacknowledged_.empty() &&
           std::chrono::steady_clock::now() < deadline) {
      Service(std::chrono::milliseconds(50), ignored);
    }
    if (link_ == MqttLink::kConnected) {
      mosquitto_disconnect(mosq_);
      Service(std::chrono::milliseconds(50), ignored);
    }
    Drop();
  }

  std::string LastError() const override { return error_; }

 private:
  static MosquittoClient& Self(void* user) { return *static_cast<MosquittoClient*>(user); }

  static void OnConnect(mosquitto*, void* user, int rc) {
    MosquittoClient& self = Self(user);
    if (rc == 0) {
      self.link_ = MqttLink::kConnected;
    } else {
      self.Lose(std::string("refused: ") + mosquitto_connack_string(rc));
    }
  }
  static void OnDisconnect(mosquitto*, void* user, int) { Self(user).Lose("connection lost"); }
  static void OnPublish(mosquitto*, void* user, int id) { Self(user).unacknowledged_.erase(id); }
  static void OnMessage(mosquitto*, void* user, const mosquitto_message* message) {
    MosquittoClient& self = Self(user);
    if (self.received_ != nullptr && message->topic != nullptr) {
      const auto* bytes = static_cast<const char*>(message->payload);
      self.received_->push_back(
          {message->topic, std::string(bytes, bytes + message->payloadlen), message->retain});
    }
  }

  void Lose(std::string why) {
    if (link_ != MqttLink::kLost) {
      error_ = std::move(why);
    }
    link_ = MqttLink::kLost;
  }

  std::optional<std::string> Failed(std::string why) {
    error_ = why;
    link_ = MqttLink::kLost;
    return why;
  }

  void Drop() {
    if (mosq_ != nullptr) {
      mosquitto_destroy(mosq_);
      mosq_ = nullptr;
    }
  }

  mosquitto* mosq_ = nullptr;
  MqttLink link_ = MqttLink::kLost;
  std::string error_;
  std::set<int> unacknowledged_;
  std::vector<MqttMessage>* received_ = nullptr;  // during Service only
};

}  // namespace

std::unique_ptr<MqttClient> MakeMosquittoClient() {
  return std::make_unique<MosquittoClient>();
}

std::string MachineId() {
  if (const char* given = std::getenv("NIMBREL_MACHINE_ID"); given != nullptr && *given) {
    return given;
  }
  for (const char* file : {"/etc/machine-id", "/var/lib/dbus/machine-id"}) {
    std::string id;
    if (std::ifstream in(file); in && std::getline(in, id) && !id.empty()) {
      return id;
    }
  }
  std::array<char, 256> host{};
  if (gethostname(host.data(), host.size() - 1) == 0) {
    return host.data();
  }
  return {};
}

std::filesystem::path AnnouncedTopicsFile() {
  std::filesystem::path state;
  // A relative XDG_STATE_HOME is invalid and ignored, like an unset one.
  if (const char* xdg = std::getenv("XDG_STATE_HOME");
      xdg != nullptr && std::filesystem::path(xdg).is_absolute()) {
    state = xdg;
  } else if (const char* home = std::getenv("HOME"); home != nullptr && *home) {
    state = std::filesystem::path(home) / ".local" / "state";
  } else {
    return {};
  }
  return state / "nimbrel" / "mqtt-announced";
}

}  // namespace nimbrel
