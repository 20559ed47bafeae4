// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/options.h"

namespace nimbrel::cli {

// serve: runs unattended until SIGTERM or SIGINT. Follows the console, keeps its live readings and
// its log in the archive, uploads, and publishes to an MQTT broker when asked.
int RunServeCommand(const GlobalOptions& options);

}  // namespace nimbrel::cli
