// SPDX-License-Identifier: GPL-3.0-or-later
#include "archive/past_readings.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "upload/service_requests.h"

namespace nimbrel {
namespace {

using std::chrono::sys_seconds;
using namespace std::chrono_literals;

// A local day on either side covers every time zone between the UTC times and the console's.
ArchiveRange DaysAround(sys_seconds after, sys_seconds before) {
  const auto day = [](sys_seconds time) {
    return std::chrono::local_days{std::chrono::floor<std::chrono::days>(time).time_since_epoch()};
  };
  return {false, day(after) - std::chrono::days{1}, day(before) + std::chrono::days{1}};
}

}  // namespace

std::vector<TimedReading> ArchivePastReadings::Between(sys_seconds after, sys_seconds before) {
  std::vector<TimedReading> found;
  if (before <= after) {
    return found;
  }
  ArchiveError error;
  const std::unique_ptr<Archive> archive = OpenArchive(options_, error);
  if (!archive) {
    return found;
  }
  const auto keep = [&](RecordTimePoint local, std::span<const double> values) {
    const std::optional<sys_seconds> utc = UtcFromConsoleTime(local);
    if (utc && *utc > after && *utc < before) {
      found.push_back({*utc, ObservationOf(values)});
    }
  };
  const ArchiveRange range = DaysAround(after, before);
  if (archive->ReadSeries(range, kObservationFields, keep) ||
      archive->ReadLiveSeries(std::chrono::local_seconds{range.first},
                              std::chrono::local_seconds{range.last + std::chrono::days{1}},
                              kObservationFields, keep)) {
    return {};
  }
  // The live samples follow the newest record; a clock change may still leave them out of order.
  std::stable_sort(found.begin(), found.end(),
                   [](const TimedReading& a, const TimedReading& b) { return a.time < b.time; });
  return found;
}

std::optional<double> ArchivePastReadings::RainLast24Hours(sys_seconds at) {
  const std::vector<TimedReading> readings = Between(at - 24h - 1s, at + 1s);
  std::vector<double> daily;
  daily.reserve(readings.size());
  for (const TimedReading& reading : readings) {
    daily.push_back(reading.values.rainToday.value_or(NAN));
  }
  return RainFromDailyCounter(daily);
}

}  // namespace nimbrel
