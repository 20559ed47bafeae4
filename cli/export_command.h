// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/options.h"

namespace nimbrel::cli {

// export --out FILE (--whole | --from Y-M-D --to Y-M-D) [--set LIST] [--stall-timeout S]:
// downloads the console's history and writes the export file, as the export panel does.
int RunExportCommand(const GlobalOptions& options);

}  // namespace nimbrel::cli
