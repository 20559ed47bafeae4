// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <algorithm>
#include <array>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "upload/upload_clock.h"
#include "upload/upload_socket.h"
#include "upload/upload_worker.h"

namespace nimbrel::testing {

using Events = std::vector<std::string>;
constexpr auto kWu = ServerIndex::WeatherUnderground;
constexpr auto kWc = ServerIndex::Weathercloud;

// A clock that jumps ahead by each pause at once and remembers the pauses.
struct FakeClock final : UploadClock {
  std::chrono::milliseconds now{0};
  std::vector<std::chrono::milliseconds> pauses;

  std::chrono::milliseconds Now() override { return now; }
  bool Sleep(std::chrono::milliseconds pause, std::stop_token stop) override {
    pauses.push_back(pause);
    now += pause;
    return !stop.stop_requested();
  }
};

// A socket that plays a script and keeps what was sent.
struct ScriptedSocket final : UploadSocket {
  int openFailures = 0;  // the first this many opens fail
  SocketStatus connect = SocketStatus::kOk;
  std::size_t sendLimit = 1 << 20;  // bytes taken by one send call
  int sendTimeoutFailures = 0;      // the first this many settings fail
  int receiveTimeoutFailures = 0;
  std::deque<std::pair<SocketStatus, std::string>> receives;  // after them: closed
  int opens = 0, sendCalls = 0, sendTimeoutsSet = 0, closes = 0;
  std::string sent;

  // Replies with `text` in chunks of at most `chunk` bytes, then closes.
  void Reply(const std::string& text, std::size_t chunk = 1024) {
    for (std::size_t at = 0; at < text.size(); at += chunk) {
      receives.emplace_back(SocketStatus::kOk, text.substr(at, chunk));
    }
  }
  bool Open(std::string_view, std::uint16_t) override { return ++opens > openFailures; }
  SocketStatus Connect(std::chrono::milliseconds, std::stop_token) override { return connect; }
  bool SetSendTimeout(std::chrono::milliseconds) override {
    return ++sendTimeoutsSet > sendTimeoutFailures;
  }
  bool SetReceiveTimeout(std::chrono::milliseconds) override {
    return receiveTimeoutFailures-- <= 0;
  }
  SocketResult Send(std::span<const char> bytes, std::stop_token) override {
    ++sendCalls;
    const std::size_t count = std::min(bytes.size(), sendLimit);
    sent.append(bytes.data(), count);
    return {SocketStatus::kOk, count};
  }
  SocketResult Receive(std::span<char> buffer, std::stop_token) override {
    if (receives.empty()) {
      return {SocketStatus::kClosed};
    }
    const auto [status, text] = receives.front();
    receives.pop_front();
    const std::size_t count = std::min(text.size(), buffer.size());
    std::copy_n(text.begin(), count, buffer.begin());
    return {status, count};
  }
  void Close() override { ++closes; }
};

// Records the worker's hand-offs as "ack wu", "wc dropped", ...; safe to use from any thread.
class RecordingUploads final : public UploadMessages {
 public:
  void UploadAckWu() override { Add("ack wu"); }
  void UploadAckWc() override { Add("ack wc"); }
  void UploadFinished(const UploadRequest& request, const UploadResult& result) override {
    // In the order of UploadOutcome.
    constexpr std::array kNames = {"acknowledged", "not-acknowledged", "no-connection",
                                   "send-failed",  "receive-failed",   "no-reply",
                                   "dropped",      "stopped"};
    Add(std::string(request.service == ServerIndex::Weathercloud ? "wc " : "wu ") +
            kNames.at(static_cast<std::size_t>(result.outcome)),
        result);
  }
  // Waits until `count` requests have finished; false after `timeout`.
  bool WaitForFinished(std::size_t count, std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return results_.size() >= count; });
  }
  // Hands over what was recorded, the results to `results` when given, and forgets it.
  std::vector<std::string> Take(std::vector<UploadResult>* results = nullptr) {
    std::lock_guard lock(mutex_);
    if (results != nullptr) {
      *results = results_;
    }
    results_.clear();
    return std::exchange(events_, {});
  }

 private:
  void Add(std::string event, std::optional<UploadResult> result = std::nullopt) {
    std::lock_guard lock(mutex_);
    events_.push_back(std::move(event));
    if (result) {
      results_.push_back(*result);
    }
    changed_.notify_all();
  }

  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::string> events_;
  std::vector<UploadResult> results_;
};

}  // namespace nimbrel::testing
