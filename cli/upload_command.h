// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/options.h"

namespace nimbrel::cli {

// upload [--wu-id ID --wu-key KEY] [--wc-id ID --wc-key KEY] [--wu-endpoint HOST[:PORT]]
// [--wc-endpoint HOST[:PORT]] [--count N]: sends the console's upload texts to the services.
int RunUploadCommand(const GlobalOptions& options);

}  // namespace nimbrel::cli
