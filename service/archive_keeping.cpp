// SPDX-License-Identifier: GPL-3.0-or-later
#include "service/archive_keeping.h"

#include <utility>
#include <vector>

#include "archive/archive.h"
#include "record/record_time.h"

namespace nimbrel {

ArchiveKeeping::ArchiveKeeping(Archive& archive, unsigned seasonStart, ServiceLogLine log)
    : archive_(archive), seasonStart_(seasonStart), log_(std::move(log)) {}

TodayFigures ArchiveKeeping::Offer(std::string_view liveText) {
  std::lock_guard lock(mutex_);
  liveText_ = std::string(liveText);
  AddLiveReading(liveDay_, liveText);
  return FiguresOf(archived_, liveDay_);
}

void ArchiveKeeping::KeepLive() {
  std::optional<std::string> text;
  {
    std::lock_guard lock(mutex_);
    text = std::exchange(liveText_, std::nullopt);
  }
  if (!text) {
    return;
  }
  bool kept = false;
  const auto now = std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
  if (const ArchiveStatus fault = archive_.AddLiveSample(*text, now, kept)) {
    log_("archive: " + fault->message, false);
  } else if (kept) {
    log_("archive: live reading kept", true);
  }
  // A new day, or a download that may have brought more of it.
  if (const auto time = RecordTimeOfText(*text)) {
    const auto day = std::chrono::floor<std::chrono::days>(*time);
    if (figuresDay_ != day) {
      ReadArchivedFigures(day);
    }
  }
}

bool ArchiveKeeping::Sync(ConsoleLink& console) {
  log_("archive sync: downloading the console's log", true);
  std::string line;
  const bool complete = console.Sync(archive_, line);
  figuresDay_.reset();
  if (!line.empty()) {
    log_("archive sync: " + line, false);
  }
  return complete;
}

// Reads what the archive knows of the day and its rain season for the state.
void ArchiveKeeping::ReadArchivedFigures(std::chrono::local_days day) {
  const DayRange season = SeasonOf(day, seasonStart_);
  std::vector<DaySummary> days;
  if (const ArchiveStatus fault = archive_.ReadDays(season.first, day, days)) {
    log_("archive: today's figures cannot be read: " + fault->message, false);
    return;
  }
  ArchivedFigures figures;
  figures.seasonStart = seasonStart_;
  figures.today.day = day;
  if (!days.empty() && days.back().day == day) {
    figures.today = days.back();
  }
  if (day > season.first) {
    figures.seasonRainBefore = Summarize(days, season.first, day - std::chrono::days{1}).rainTotal;
  }
  {
    std::lock_guard lock(mutex_);
    archived_ = std::move(figures);
  }
  figuresDay_ = day;
}

}  // namespace nimbrel
