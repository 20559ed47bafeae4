#include "tests/support/recording_messages.h"

#include <algorithm>

namespace nimbrel::testing {

namespace {

template <std::size_t N>
std::string TextOf(const std::array<char, N>& buffer) {
  const auto end = std::find(buffer.begin(), buffer.end(), '\0');
  return std::string(buffer.begin(), end);
}

}  // namespace

void RecordingMessages::LiveMessage(const HistoryRecord& text) {
  {
    std::lock_guard lock(mutex_);
    lastLive_ = text;
  }
  Record("live " + TextOf(text));
}

void RecordingMessages::WuMessage(const ParamBuffer& text) {
  Record("wu " + TextOf(text));
}

void RecordingMessages::WeathercloudMessage(const ParamBuffer& text) {
  Record("wc " + TextOf(text));
}

std::vector<std::string> RecordingMessages::Events() const {
  std::lock_guard lock(mutex_);
  return events_;
}

void RecordingMessages::Clear() {
  std::lock_guard lock(mutex_);
  events_.clear();
}

HistoryRecord RecordingMessages::LastLiveBuffer() const {
  std::lock_guard lock(mutex_);
  return lastLive_;
}

void RecordingMessages::Record(std::string event) {
  std::lock_guard lock(mutex_);
  events_.push_back(std::move(event));
}

}  // namespace nimbrel::testing
