// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "stats/period_stats.h"

namespace nimbrel {

// What the archive knows of the live reading's day and its rain season, read by the service's
// main loop.
struct ArchivedFigures {
  DaySummary today;                        // its day is the one the figures are of
  std::optional<double> seasonRainBefore;  // the season's days before that day
  unsigned seasonStart = 1;                // the month the season starts in
};

// What the state carries beside the readings.
struct TodayFigures {
  std::optional<Extreme> outdoorHigh;
  std::optional<Extreme> outdoorLow;
  std::optional<double> seasonRain;

  friend bool operator==(const TodayFigures&, const TodayFigures&) = default;
};

// Adds a live text to the summary of the live readings of its day; a reading of a later day
// starts that day afresh, one of an earlier day (the console's clock set back) is left out.
void AddLiveReading(DaySummary& liveDay, std::string_view liveText);

// Today's figures from what the archive knows and the live readings since: both of the same day
// go together; when the live readings have reached a later day that the archive has not yet, the
// archived day is added to the season's rain, unless the new day starts another season. Without
// the archive's figures there is no season's rain.
TodayFigures FiguresOf(const std::optional<ArchivedFigures>& archived, const DaySummary& liveDay);

// The figures as members of the state object, each followed by a comma: numbers in the console's
// units, times as "HH:MM" texts, null for what is not known.
std::string TodayFiguresJson(const TodayFigures& figures);

}  // namespace nimbrel
