// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/options.h"

namespace nimbrel::cli {

// chart: one chart of the archive written as a PNG or SVG file, without a display.
int RunChartCommand(const GlobalOptions& options);

}  // namespace nimbrel::cli
