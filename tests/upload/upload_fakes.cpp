#include "tests/upload/upload_fakes.h"

#include <algorithm>
#include <array>

namespace nimbrel::testing {

bool FakeClock::Sleep(std::chrono::milliseconds pause, std::stop_token stop) {
  if (stop.stop_requested()) {
    return false;
  }
  pauses.push_back(pause);
  now += pause;
  return true;
}

void ScriptedSocket::Reply(const std::string& text, std::size_t chunk) {
  replyBytes += text;
  for (std::size_t at = 0; at < text.size(); at += chunk) {
    receives.push_back({SocketStatus::kOk, std::min(chunk, text.size() - at)});
  }
}

bool ScriptedSocket::Open(std::string_view /*host*/, std::uint16_t /*port*/) {
  return ++opens > openFailures;
}

SocketStatus ScriptedSocket::Connect(std::chrono::milliseconds /*timeout*/,
                                     std::stop_token /*stop*/) {
  return connect;
}

bool ScriptedSocket::SetSendTimeout(std::chrono::milliseconds /*timeout*/) {
  ++sendTimeoutsSet;
  return sendTimeoutsSet > sendTimeoutFailures;
}

bool ScriptedSocket::SetReceiveTimeout(std::chrono::milliseconds /*timeout*/) {
  return receiveTimeoutFailures-- <= 0;
}

SocketResult ScriptedSocket::Send(std::span<const char> bytes, std::stop_token /*stop*/) {
  ++sendCalls;
  if (sent.size() >= sendBreaksAfter) {
    return {sendBreak};
  }
  const std::size_t count = std::min({bytes.size(), sendLimit, sendBreaksAfter - sent.size()});
  sent.append(bytes.data(), count);
  return {SocketStatus::kOk, count};
}

SocketResult ScriptedSocket::Receive(std::span<char> buffer, std::stop_token /*stop*/) {
  if (receives.empty()) {
    return {SocketStatus::kClosed};
  }
  const SocketResult next = receives.front();
  receives.pop_front();
  if (next.status == SocketStatus::kOk) {
    const std::size_t count = std::min(next.count, buffer.size());
    std::copy_n(replyBytes.begin(), count, buffer.begin());
    replyBytes.erase(0, count);
    return {SocketStatus::kOk, count};
  }
  return next;
}

void RecordingUploads::UploadFinished(const UploadRequest& request, const UploadResult& result) {
  const char* service = request.service == ServerIndex::Weathercloud ? "wc" : "wu";
  std::lock_guard lock(mutex_);
  events_.push_back(std::string(service) + " " + OutcomeName(result.outcome));
  results_.push_back(result);
  changed_.notify_all();
}

bool RecordingUploads::WaitForFinished(std::size_t count, std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, timeout, [&] { return results_.size() >= count; });
}

std::vector<std::string> RecordingUploads::Events() {
  std::lock_guard lock(mutex_);
  return events_;
}

std::vector<UploadResult> RecordingUploads::Results() {
  std::lock_guard lock(mutex_);
  return results_;
}

void RecordingUploads::Clear() {
  std::lock_guard lock(mutex_);
  events_.clear();
  results_.clear();
}

void RecordingUploads::Add(std::string event) {
  std::lock_guard lock(mutex_);
  events_.push_back(std::move(event));
}

const char* OutcomeName(UploadOutcome outcome) {
  // In the order of UploadOutcome.
  constexpr std::array kNames = {"acknowledged", "not-acknowledged", "no-connection",
                                 "send-failed",  "receive-failed",   "no-reply",
                                 "dropped",      "stopped"};
  return kNames.at(static_cast<std::size_t>(outcome));
}

}  // namespace nimbrel::testing
