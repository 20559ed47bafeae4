// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "settings/export_validation.h"

namespace nimbrel::cli {

struct ExportArgs {
  std::string out;
  ExportChoices choices;
  long stallSeconds = 30;
};

// Reads the export command's arguments. The dates are split at "-" into the three boxes of the
// export panel, as typed, and --set names the data sets. Returns an error text for bad usage.
std::optional<std::string> ParseExportArgs(const std::vector<std::string_view>& args,
                                           ExportArgs& parsed);

// Sets the data sets named in a comma-separated list (pressure, indoor, outdoor, dewpoint,
// heatindex, wind, rain, uv, ch1 to ch7, all); false for an unknown name.
bool ParseDataSets(std::string_view list, std::array<bool, kDataSetCount>& sets);

}  // namespace nimbrel::cli
