// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <optional>
#include <vector>

#include "archive/archive.h"
#include "upload/service_runner.h"

namespace nimbrel {

// The readings an outage left unsent, from the archive's records and the live samples after
// them, with the console's local times converted to UTC by the PC's time zone. Each call opens a
// connection of its own, so the services' threads may call it at once while another thread
// writes the archive.
class ArchivePastReadings final : public PastReadings {
 public:
  explicit ArchivePastReadings(ArchiveOptions options) : options_(std::move(options)) {}

  // Nothing when the archive cannot be read: the service then has nothing to catch up, and the
  // next outage's readings are looked for again.
  std::vector<TimedReading> Between(std::chrono::sys_seconds after,
                                    std::chrono::sys_seconds before) override;
  std::optional<double> RainLast24Hours(std::chrono::sys_seconds at) override;

 private:
  const ArchiveOptions options_;
};

}  // namespace nimbrel
