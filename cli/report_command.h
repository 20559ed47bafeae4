// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>

#include "cli/options.h"

namespace nimbrel::cli {

// report (--month | --year) [--format text|csv] [--out FILE] [--degree-base T]: a climatological
// summary of the archive.
int RunReportCommand(const GlobalOptions& options);

// Writes the text to a file beside `path` and renames it over `path`, so that a failure leaves
// no half file (and a file already there as it was). Returns the reason of a failure.
std::optional<std::string> WriteWholeFile(const std::string& path, std::string_view text);

}  // namespace nimbrel::cli
