// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "service/console_link.h"
#include "service/service_log.h"
#include "service/state_figures.h"

namespace nimbrel {

// Keeps the archive up to date: the console's log at each sync, a live reading now and then, and
// what the archive knows of today for the state. Only the service's thread writes the archive;
// the reader's thread hands its live texts over.
class ArchiveKeeping {
 public:
  ArchiveKeeping(Archive& archive, unsigned seasonStart, ServiceLogLine log);

  // On the reader's thread: the live text waits for KeepLive; returns today's figures with it.
  TodayFigures Offer(std::string_view liveText);
  // Keeps the live text offered since the last call, if any, as a sample; reads today's figures
  // again on a new day or after a sync.
  void KeepLive();
  // Downloads the console's log into the archive; true when the whole log arrived.
  bool Sync(ConsoleLink& console);

 private:
  void ReadArchivedFigures(std::chrono::local_days day);

  Archive& archive_;
  const unsigned seasonStart_;
  const ServiceLogLine log_;
  // The day today's figures were last read for; nothing: they must be read again.
  std::optional<std::chrono::local_days> figuresDay_;
  std::mutex mutex_;
  std::optional<std::string> liveText_;
  std::optional<ArchivedFigures> archived_;
  DaySummary liveDay_;  // the live readings of their newest day
};

}  // namespace nimbrel
