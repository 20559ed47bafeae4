#include "cli/live_command.h"

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <mutex>

#include "cli/console.h"
#include "cli/environment.h"
#include "cli/interrupt.h"
#include "cli/live_view.h"
#include "readings/live_readings.h"

namespace nimbrel::cli {

namespace {

struct LiveArgs {
  long count = 0;  // 0: until interrupted
  bool json = false;
};

bool ParseLiveArgs(const std::vector<std::string_view>& args, LiveArgs& live) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--json") {
      live.json = true;
    } else if (args[i] == "--count" && i + 1 < args.size() &&
               ParsePositive(args[i + 1], live.count)) {
      ++i;
    } else {
      std::fprintf(stderr, "nimbrel-cli live: unexpected argument '%.*s'\n",
                   static_cast<int>(args[i].size()), args[i].data());
      return false;
    }
  }
  return true;
}

// Prints each live message as it arrives, on the reader's thread.
class LivePrinter : public CommandMessages {
 public:
  LivePrinter(Console& console, const LiveArgs& args, const UnitSettings& units)
      : CommandMessages(console), args_(args), units_(units) {}

  void LiveMessage(const HistoryRecord& text) override {
    DecodeLiveText(RecordText(text), readings_);
    const std::string out = args_.json ? LiveJsonLine(readings_, units_) + "\n"
                                       : LiveTextLines(readings_, units_) + "\n";
    std::fwrite(out.data(), 1, out.size(), stdout);
    std::fflush(stdout);
    std::lock_guard lock(mutex_);
    ++printed_;
    changed_.notify_all();
  }

  void Wake() {
    std::lock_guard lock(mutex_);
    changed_.notify_all();
  }

  // Waits until enough messages were printed or the user interrupts.
  void Wait(const InterruptWatcher& interrupt) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] {
      return interrupt.Interrupted() || (args_.count > 0 && printed_ >= args_.count);
    });
  }

 private:
  const LiveArgs args_;
  const UnitSettings units_;
  LiveReadings readings_;
  std::mutex mutex_;
  std::condition_variable changed_;
  long printed_ = 0;
};

}  // namespace

int RunLiveCommand(const GlobalOptions& options) {
  LiveArgs args;
  if (!ParseLiveArgs(options.commandArgs, args)) {
    return 2;
  }
  std::atomic<LivePrinter*> printer = nullptr;
  InterruptWatcher interrupt([&] {
    if (LivePrinter* live = printer.load()) {
      live->Wake();
    }
  });
  std::string error;
  auto source = MakeConsole(options, error);
  if (!source) {
    std::fprintf(stderr, "nimbrel-cli: %s\n", error.c_str());
    return 2;
  }
  Console console(std::move(*source));
  LivePrinter live(console, args, EffectiveUnits(options.units));
  printer = &live;
  if (const auto failure = console.Connect(live)) {
    std::fprintf(stderr, "%s\n", failure->c_str());
    return 1;
  }
  live.Wait(interrupt);
  console.Disconnect();
  printer = nullptr;
  return 0;
}

}  // namespace nimbrel::cli
