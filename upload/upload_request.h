// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "settings/server_settings.h"
#include "settings/settings_store.h"

namespace nimbrel {

// The console's parameter text is used up to its first zero byte, at most this many bytes.
inline constexpr std::size_t kMaxParameterTextLength = 1023;

// Where each service takes its uploads: plain HTTP on port 80.
inline constexpr std::string_view kWuUploadHost = "rtupdate.wunderground.com";
inline constexpr std::string_view kWeathercloudUploadHost = "api.weathercloud.net";
inline constexpr std::uint16_t kUploadPort = 80;
// A host name holds at most this many characters.
inline constexpr std::size_t kMaxHostLength = 127;

// The server a service's requests go to. The request's "Host:" line names the same server.
struct UploadEndpoint {
  std::string host;
  std::uint16_t port = kUploadPort;

  friend bool operator==(const UploadEndpoint&, const UploadEndpoint&) = default;
};

UploadEndpoint DefaultEndpoint(ServerIndex service);

// "HOST" or "HOST:PORT", for a server of the user's own that speaks the same protocol. Nothing
// when the host is empty, too long or holds anything but letters, digits, '-', '.' and '_' (it
// goes into the request as it is), or when the port is not a number from 1 to 65535.
std::optional<UploadEndpoint> ParseEndpoint(std::string_view text);

// The endpoints of both services, the built-in ones unless overridden.
struct UploadEndpoints {
  UploadEndpoint wu = DefaultEndpoint(ServerIndex::WeatherUnderground);
  UploadEndpoint weathercloud = DefaultEndpoint(ServerIndex::Weathercloud);

  const UploadEndpoint& For(ServerIndex service) const {
    return service == ServerIndex::Weathercloud ? weathercloud : wu;
  }
};

// One complete request, as the worker receives it (its own copy).
struct UploadRequest {
  ServerIndex service = ServerIndex::WeatherUnderground;  // TM_UPLOAD_WU or TM_UPLOAD_WC
  UploadEndpoint endpoint;
  std::string text;  // the bytes sent, UTF-8
  // Where the station key sits in `text`, so that it can be shown masked.
  std::size_t keyOffset = 0;
  std::size_t keyLength = 0;
};

// The console's parameter text in a received payload: up to the first zero byte, at most
// kMaxParameterTextLength bytes.
std::string_view ParameterText(std::span<const char> payload);

// The station ID and key in force for each service. The setup panel implements it: the texts of
// its edit boxes for the service it shows, the stored ones for the other.
class StationTexts {
 public:
  virtual ~StationTexts() = default;
  virtual StationIdAndKey InForce(ServerIndex service) const = 0;
};

// Wraps one parameter text of `service` into its HTTP GET request. Nothing when Auto Upload is
// off for the service or the ID or key is empty. The ID and key are cut to
// kMaxStationTextLength characters and sent in UTF-8; nothing is percent-encoded.
std::optional<UploadRequest> BuildUploadRequest(ServerIndex service, std::string_view parameterText,
                                                bool autoUpload, const StationIdAndKey& idAndKey,
                                                const UploadEndpoint& endpoint);

// The same with the flag from `settings` and the ID and key from `texts`: what the dashboard
// does on WM_WU_MESSAGE and WM_WEATHERCLOUD_MESSAGE.
std::optional<UploadRequest> BuildUploadRequest(ServerIndex service, std::string_view parameterText,
                                                const ServerSettings& settings,
                                                const StationTexts& texts,
                                                const UploadEndpoints& endpoints);

// The request's first line with the station key replaced by "***", for showing to the user.
std::string MaskedRequestLine(const UploadRequest& request);

}  // namespace nimbrel
