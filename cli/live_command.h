// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/options.h"

namespace nimbrel::cli {

// live [--count N] [--json]: prints each live message as the dashboard shows it.
int RunLiveCommand(const GlobalOptions& options);

}  // namespace nimbrel::cli
