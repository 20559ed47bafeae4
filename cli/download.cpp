// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/download.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <optional>
#include <string>
#include <utility>

#include "station/commands.h"
#include "station/link.h"

namespace nimbrel::cli {

namespace {

using Clock = DownloadMonitor::Clock;

constexpr std::string_view kNoHistory = "Not history data NOW!";
constexpr std::string_view kSendFailed = "Command send failed !";
// How long to wait for the console's answer to the refresh request before asking for history,
// so that its live message cannot end the download it would otherwise overtake.
constexpr auto kGreetingWait = std::chrono::seconds(2);
constexpr auto kPoll = std::chrono::milliseconds(100);

// The percentage of the download on one line of stderr, redrawn as it grows.
class ProgressLine {
 public:
  void Show(int done, int total) {
    if (total <= 0) {
      return;
    }
    const int percent = static_cast<int>(100L * done / total);
    if (percent == shown_) {
      return;
    }
    shown_ = percent;
    std::fprintf(stderr, "\rDownloading history: %3d%% (%d of %d records)", percent, done, total);
    std::fflush(stderr);
  }
  void End() {
    if (shown_ >= 0) {
      std::fputc('\n', stderr);
      shown_ = -1;
    }
  }

 private:
  int shown_ = -1;
};

// Follows the download until it completes or fails; on failure the reason has been printed.
DownloadEnd FollowDownload(Console& console, DownloadMonitor& monitor,
                           const InterruptWatcher& interrupt, long stallSeconds,
                           const DownloadTexts& texts) {
  const std::string lost = "; " + std::string(texts.lost) + ".";
  SharedState& state = console.State();
  ProgressLine progress;
  while (true) {
    const DownloadMonitor::Snapshot now = monitor.WaitForChange(kPoll);
    if (texts.progress) {
      progress.Show(now.done, now.total);
    }
    if (now.complete) {
      progress.End();
      return DownloadEnd::kComplete;
    }
    const auto cancel = [&](const std::string& why) {
      state.downloadCancelled = true;
      console.Send(CMD_CANCEL);
      state.downloadActive = false;
      progress.End();
      Fail(why);
      return DownloadEnd::kIncomplete;
    };
    if (interrupt.Interrupted()) {
      return cancel(std::string(texts.cancelled));
    }
    if (now.noHistory) {
      progress.End();
      Fail(kNoHistory);
      return DownloadEnd::kIncomplete;
    }
    if (now.endedEarly) {
      progress.End();
      Fail("The console ended the download early: " + std::to_string(now.endedEarly->first) +
           " of " + std::to_string(now.endedEarly->second) + " records arrived" + lost);
      return DownloadEnd::kIncomplete;
    }
    if (state.downloadCancelled) {
      progress.End();
      Fail("The console stopped sending its history" + lost);
      return DownloadEnd::kIncomplete;
    }
    if (!console.Device().IsValid()) {
      return cancel("The console went away during the download" + lost);
    }
    if (Clock::now() - now.lastHistory > std::chrono::seconds(stallSeconds)) {
      return cancel("No history record arrived for " + std::to_string(stallSeconds) +
                    " seconds; the download was cancelled.");
    }
  }
}

}  // namespace

void DownloadMonitor::LiveMessage(const HistoryRecord&) {
  Note([this] { ++seen_.liveMessages; });
}

void DownloadMonitor::NoHistory() {
  Note([this] { seen_.noHistory = true; });
}

void DownloadMonitor::HistoryStart(int total) {
  Note([this, total] {
    seen_.total = total;
    seen_.lastHistory = Clock::now();
  });
}

void DownloadMonitor::HistoryProgress(int accounted) {
  Note([this, accounted] {
    seen_.done = accounted;
    seen_.lastHistory = Clock::now();
  });
}

void DownloadMonitor::HistoryComplete() {
  Note([this] { seen_.complete = true; });
}

void DownloadMonitor::HistoryEndedEarly(int arrived, int total) {
  Note([this, arrived, total] { seen_.endedEarly = {arrived, total}; });
}

DownloadMonitor::Snapshot DownloadMonitor::WaitForChange(Clock::duration wait) {
  std::unique_lock lock(mutex_);
  changed_.wait_for(lock, wait);
  return seen_;
}

void DownloadMonitor::RestartStallClock() {
  std::lock_guard lock(mutex_);
  seen_.lastHistory = Clock::now();
}

void DownloadMonitor::Reset() {
  std::lock_guard lock(mutex_);
  seen_ = Fresh(seen_.liveMessages);
}

void DownloadMonitor::NewLink() {
  std::lock_guard lock(mutex_);
  seen_ = Fresh(0);
}

DownloadMonitor::Snapshot DownloadMonitor::Fresh(int liveMessages) {
  Snapshot fresh;
  fresh.liveMessages = liveMessages;
  fresh.lastHistory = Clock::now();
  return fresh;
}

DownloadResult DownloadHistory(Console& console, DownloadMonitor& monitor,
                               const InterruptWatcher& interrupt, long stallSeconds,
                               const std::string& destination, const DownloadTexts& texts) {
  monitor.Reset();
  SharedState& state = console.State();
  // The console's answer to the greeting comes first, so it cannot end the download.
  const auto greeted = Clock::now() + kGreetingWait;
  while (monitor.WaitForChange(kPoll).liveMessages == 0 && Clock::now() < greeted &&
         !interrupt.Interrupted()) {
  }
  state.SetExportFileName(destination);
  PrepareHistoryDownload(state, *console.Store());
  monitor.RestartStallClock();
  if (!console.Send(CMD_HISTORY)) {
    Fail(kSendFailed);
    return {};
  }
  const DownloadEnd end = FollowDownload(console, monitor, interrupt, stallSeconds, texts);
  return {end, monitor.WaitForChange(Clock::duration::zero()).done};
}

int Fail(std::string_view text) {
  std::fprintf(stderr, "%.*s\n", static_cast<int>(text.size()), text.data());
  return 1;
}

int RunDownload(const GlobalOptions& options, long stallSeconds, const std::string& destination,
                const DownloadTexts& texts, const DownloadFinish& finish) {
  std::atomic<Console*> running = nullptr;
  std::atomic<DownloadMonitor*> watching = nullptr;
  InterruptWatcher interrupt([&] {
    // As the status bar's cancel button: an export being written stops after its record.
    if (Console* console = running.load()) {
      console->State().downloadCancelled = true;
    }
    if (DownloadMonitor* monitor = watching.load()) {
      monitor->Wake();
    }
  });
  const std::unique_ptr<Console> opened = OpenConsole(options, HistoryUse::kDownload);
  if (!opened) {
    return 2;
  }
  Console& console = *opened;
  DownloadMonitor monitor(console);
  watching = &monitor;
  if (const auto failure = console.Connect(monitor)) {
    watching = nullptr;
    return Fail(*failure);
  }
  running = &console;
  const DownloadResult result =
      DownloadHistory(console, monitor, interrupt, stallSeconds, destination, texts);
  const int code = finish(console, result, interrupt);
  running = nullptr;
  watching = nullptr;
  console.Disconnect();
  return code;
}

}  // namespace nimbrel::cli
