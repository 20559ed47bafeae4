// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "cli/console.h"
#include "cli/options.h"
#include "platform/interrupt.h"

namespace nimbrel::cli {

enum class DownloadEnd { kComplete, kIncomplete };

// How one download of the console's history log went.
struct DownloadResult {
  DownloadEnd end = DownloadEnd::kIncomplete;
  int accounted = 0;  // records stored or given up
};

// What a downloading command does once the download is over, with the console still connected.
using DownloadFinish =
    std::function<int(Console& console, const DownloadResult& result, const InterruptWatcher&)>;

// How a download that does not complete is reported: what the user lost ("no file was written")
// and the text for an interrupt.
struct DownloadTexts {
  std::string_view lost;
  std::string_view cancelled;
  bool progress = true;  // the percentage on stderr, redrawn as it grows
};

// What the reader reports during a download, kept for the thread that follows it. Only history
// records restart the stall clock: the console's own messages say nothing about the download.
class DownloadMonitor : public CommandMessages {
 public:
  using Clock = std::chrono::steady_clock;

  explicit DownloadMonitor(Console& console) : CommandMessages(console) {}

  void LiveMessage(const HistoryRecord&) override;
  void NoHistory() override;
  void HistoryStart(int total) override;
  void HistoryProgress(int accounted) override;
  void HistoryComplete() override;
  void HistoryEndedEarly(int arrived, int total) override;

  void Wake() { changed_.notify_all(); }

  struct Snapshot {
    int liveMessages = 0, total = 0, done = 0;
    bool noHistory = false, complete = false;
    std::optional<std::pair<int, int>> endedEarly;  // records arrived, of the download's total
    Clock::time_point lastHistory;
  };
  // Waits up to `wait` for a change; returns a snapshot.
  Snapshot WaitForChange(Clock::duration wait);
  void RestartStallClock();
  // Forgets the last download's end, before the next one starts.
  void Reset();
  // Forgets the live messages of an earlier link too, before connecting again: the next download
  // then waits for the new link's answer to the greeting.
  void NewLink();

 private:
  template <typename Change>
  void Note(Change change) {
    std::lock_guard lock(mutex_);
    change();
    changed_.notify_all();
  }

  std::mutex mutex_;
  std::condition_variable changed_;
  Snapshot seen_ = Fresh(0);

  static Snapshot Fresh(int liveMessages);
};

// Greets, asks for the history and follows the download to its end, with the console connected
// to `monitor` (or to messages built on it).
DownloadResult DownloadHistory(Console& console, DownloadMonitor& monitor,
                               const InterruptWatcher& interrupt, long stallSeconds,
                               const std::string& destination, const DownloadTexts& texts);

// Connects to the console the options name and downloads its history log for `destination` (the
// reader takes history frames only while one is chosen). A download that does not complete is
// reported on stderr with `texts`; `finish` runs either way
// and its result is the command's. Returns 1 or 2 without calling `finish` when no download
// could start.
int RunDownload(const GlobalOptions& options, long stallSeconds, const std::string& destination,
                const DownloadTexts& texts, const DownloadFinish& finish);

int Fail(std::string_view text);

}  // namespace nimbrel::cli
