// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/options.h"
#include "upload/upload_request.h"
#include "upload/upload_targets.h"

namespace nimbrel::cli {

// upload [--wu-id ID --wu-key KEY] [--wc-id ID --wc-key KEY] [--wu-endpoint HOST[:PORT]]
// [--wc-endpoint HOST[:PORT]] [--count N]: sends the console's upload texts to the services.
int RunUploadCommand(const GlobalOptions& options);

using ServiceArgs = UploadTarget;

struct UploadArgs : UploadTargets {
  long count = 0;  // 0: until interrupted
};

// The upload options: --wu-id, --wu-key, --wc-id, --wc-key, --wu-endpoint, --wc-endpoint, --count.
// The error text for anything else, a bad value, or (with `needService`) no service to upload to.
std::optional<std::string> ParseUploadArgs(const std::vector<std::string_view>& args,
                                           UploadArgs& parsed, bool needService);

}  // namespace nimbrel::cli
