// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/live_command.h"

#include <cstdio>

#include "cli/console.h"
#include "cli/countdown.h"
#include "cli/environment.h"
#include "cli/live_view.h"
#include "platform/interrupt.h"
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
  LivePrinter(Console& console, const LiveArgs& args, const UnitSettings& units, Countdown& printed)
      : CommandMessages(console), args_(args), units_(units), printed_(printed) {}

  void LiveMessage(const HistoryRecord& text) override {
    if (!printed_.Claim()) {
      return;  // the count is printed; the main thread is on its way to disconnect
    }
    DecodeLiveText(RecordText(text), readings_);
    const std::string out = args_.json ? LiveJsonLine(readings_, units_) + "\n"
                                       : LiveTextLines(readings_, units_) + "\n";
    std::fwrite(out.data(), 1, out.size(), stdout);
    std::fflush(stdout);
    printed_.Count();
  }

 private:
  const LiveArgs args_;
  const UnitSettings units_;
  Countdown& printed_;
  LiveReadings readings_;
};

}  // namespace

int RunLiveCommand(const GlobalOptions& options) {
  LiveArgs args;
  if (!ParseLiveArgs(options.commandArgs, args)) {
    return 2;
  }
  Countdown printed(args.count);
  InterruptWatcher interrupt([&printed] { printed.Wake(); });
  const std::unique_ptr<Console> console = OpenConsole(options);
  if (!console) {
    return 2;
  }
  LivePrinter live(*console, args, EffectiveUnits(options.units), printed);
  if (const auto failure = console->Connect(live)) {
    std::fprintf(stderr, "%s\n", failure->c_str());
    return 1;
  }
  printed.Wait(interrupt);
  console->Disconnect();
  return 0;
}

}  // namespace nimbrel::cli
