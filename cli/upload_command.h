// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/options.h"
#include "upload/upload_request.h"

namespace nimbrel::cli {

// upload [--wu-id ID --wu-key KEY] [--wc-id ID --wc-key KEY] [--wu-endpoint HOST[:PORT]]
// [--wc-endpoint HOST[:PORT]] [--count N]: sends the console's upload texts to the services.
int RunUploadCommand(const GlobalOptions& options);

// One service's station and server, as the upload options give them.
struct ServiceArgs {
  StationIdAndKey idAndKey;
  UploadEndpoint endpoint;
  // Auto Upload is switched on for a service given both an ID and a key.
  bool Enabled() const { return !idAndKey.id.empty() && !idAndKey.key.empty(); }
};

struct UploadArgs {
  ServiceArgs wu{{}, DefaultEndpoint(ServerIndex::WeatherUnderground)};
  ServiceArgs wc{{}, DefaultEndpoint(ServerIndex::Weathercloud)};
  long count = 0;  // 0: until interrupted

  const ServiceArgs& For(ServerIndex service) const {
    return service == ServerIndex::Weathercloud ? wc : wu;
  }
};

// The upload options: --wu-id, --wu-key, --wc-id, --wc-key, --wu-endpoint, --wc-endpoint, --count.
// The error text for anything else, a bad value, or (with `needService`) no service to upload to.
std::optional<std::string> ParseUploadArgs(const std::vector<std::string_view>& args,
                                           UploadArgs& parsed, bool needService);

// "wunderground" or "weathercloud", as the upload lines name the service.
std::string_view ServiceName(ServerIndex service);

}  // namespace nimbrel::cli
