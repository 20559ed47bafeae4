// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string_view>

#include "settings/settings_store.h"
#include "upload/upload_request.h"

namespace nimbrel {

// One service's station and server, for a front end without the setup panel.
struct UploadTarget {
  StationIdAndKey idAndKey;
  UploadEndpoint endpoint;
  // Auto Upload is switched on for a service given both an ID and a key.
  bool Enabled() const { return !idAndKey.id.empty() && !idAndKey.key.empty(); }
};

struct UploadTargets {
  UploadTarget wu{{}, DefaultEndpoint(ServerIndex::WeatherUnderground)};
  UploadTarget wc{{}, DefaultEndpoint(ServerIndex::Weathercloud)};

  const UploadTarget& For(ServerIndex service) const {
    return service == ServerIndex::Weathercloud ? wc : wu;
  }
  UploadTarget& For(ServerIndex service) { return service == ServerIndex::Weathercloud ? wc : wu; }
};

// "wunderground" or "weathercloud", as the upload lines name the service.
inline std::string_view ServiceName(ServerIndex service) {
  return service == ServerIndex::Weathercloud ? "weathercloud" : "wunderground";
}

}  // namespace nimbrel
