#include "cli/live_command.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>

#include "platform/hidapi_backend.h"
#include "station/commands.h"
#include "station/link.h"
#include "station/reader.h"

namespace nimbrel::cli {

namespace {

// Prints live texts as they come and answers the console's time requests.
class LivePrinter : public ReaderMessages {
 public:
  LivePrinter(StationTransport& transport, SharedState& state, int count)
      : transport_(transport), state_(state), wanted_(count) {}

  void LiveMessage(const HistoryRecord& text) override {
    const std::string_view line = RecordText(text);
    std::printf("%.*s\n", static_cast<int>(line.size()), line.data());
    std::fflush(stdout);
    std::lock_guard lock(mutex_);
    ++printed_;
    done_.notify_all();
  }
  void TimeRequest() override { SendDateTime(transport_, state_); }
  void WuMessage(const ParamBuffer&) override {}
  void WeathercloudMessage(const ParamBuffer&) override {}
  void NoHistory() override {}
  void HistoryComplete() override {}
  void HistoryStart(int) override {}
  void HistoryProgress(int) override {}

  void WaitUntilDone() {
    std::unique_lock lock(mutex_);
    done_.wait(lock, [this] { return wanted_ > 0 && printed_ >= wanted_; });
  }

 private:
  StationTransport& transport_;
  SharedState& state_;
  const int wanted_;
  std::mutex mutex_;
  std::condition_variable done_;
  int printed_ = 0;
};

}  // namespace

int RunLiveCommand(const LiveOptions& options) {
  HidapiBackend backend;
  StationDevice device(backend);
  if (!device.FindStation()) {
    std::fprintf(stderr, "No connection: no weather station console (USB 1941:8021) was found.\n");
    return 1;
  }
  SharedState state;
  LinkCounters counters;
  HistoryStore store;
  LivePrinter printer(device, state, options.count);
  ReaderThread reader;

  state.linkConnected = true;
  reader.Start({device, state, counters, store, printer});
  SendCommand(device, state, CMD_CANCEL);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  if (!SendCommand(device, state, CMD_REFRESH)) {
    std::fprintf(stderr, "Send command failed: the console did not take the refresh request.\n");
  }
  printer.WaitUntilDone();
  reader.RequestStop();
  reader.Join();
  device.CloseStation();
  return 0;
}

}  // namespace nimbrel::cli
