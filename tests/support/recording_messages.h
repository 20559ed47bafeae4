#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "station/messages.h"

namespace nimbrel::testing {

// Records every hand-off of the reader, in order, as one line each ("live <text>", "progress 2").
class RecordingMessages : public ReaderMessages {
 public:
  void LiveMessage(const HistoryRecord& text) override;
  void WuMessage(const ParamBuffer& text) override;
  void WeathercloudMessage(const ParamBuffer& text) override;
  void TimeRequest() override { Record("time"); }
  void NoHistory() override { Record("no-history"); }
  void HistoryComplete() override { Record("complete"); }
  void HistoryStart(int recordCount) override { Record("start " + std::to_string(recordCount)); }
  void HistoryProgress(int accounted) override { Record("progress " + std::to_string(accounted)); }
  void HistoryEndedEarly(int arrived, int count) override {
    Record("ended " + std::to_string(arrived) + " of " + std::to_string(count));
  }

  std::vector<std::string> Events() const;
  void Clear();
  // The whole buffer of the last live message, to check what follows the text.
  HistoryRecord LastLiveBuffer() const;

 private:
  void Record(std::string event);
  mutable std::mutex mutex_;
  std::vector<std::string> events_;
  HistoryRecord lastLive_{};
};

}  // namespace nimbrel::testing
