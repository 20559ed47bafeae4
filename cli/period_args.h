// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <optional>
#include <string_view>

namespace nimbrel::cli {

// Dates as typed on the command line, in digits with a four-digit year at most: "2025-1-2",
// "2025-01", "2025". Nothing for anything that is not a real calendar date (2025-2-30, 2025-13).
std::optional<std::chrono::local_days> ReadDay(std::string_view text);
std::optional<std::chrono::year_month> ReadMonth(std::string_view text);
std::optional<std::chrono::year> ReadYear(std::string_view text);

}  // namespace nimbrel::cli
