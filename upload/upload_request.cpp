// SPDX-License-Identifier: GPL-3.0-or-later
#include "upload/upload_request.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <utility>

#include "i18n/utf8.h"

namespace nimbrel {
namespace {

constexpr std::string_view kWuPath = "GET /weatherstation/updateweatherstation.php?";
constexpr std::string_view kWuTail =
    "&softwaretype=vws%20versionxx&action=updateraw&realtime=1&rtfreq2.5";
constexpr std::string_view kWeathercloudPath = "GET /v01/set/";
// Two spaces after "Host:" are what the services have always been sent.
constexpr std::string_view kHostLine = " HTTP/1.0\r\nHost:  ";
constexpr std::string_view kRequestEnd = "\r\n\r\n";

bool IsHostCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '.' || c == '_';
}

// The host as the "Host:" line names it; a port other than 80 is part of it.
std::string HostValue(const UploadEndpoint& endpoint) {
  std::string value = endpoint.host;
  if (endpoint.port != kUploadPort) {
    std::array<char, 8> digits{};
    const auto end = std::to_chars(digits.data(), digits.data() + digits.size(), endpoint.port).ptr;
    value += ':';
    value.append(digits.data(), end);
  }
  return value;
}

// Appends the key and notes where it went.
void AppendKey(UploadRequest& request, std::string_view key) {
  request.keyOffset = request.text.size();
  request.keyLength = key.size();
  request.text += key;
}

void ComposeWu(UploadRequest& request, std::string_view id, std::string_view key,
               std::string_view parameters) {
  request.text = kWuPath;
  request.text += "ID=";
  request.text += id;
  request.text += "&PASSWORD=";
  AppendKey(request, key);
  request.text += '&';
  request.text += parameters;
  request.text += kWuTail;
}

void ComposeWeathercloud(UploadRequest& request, std::string_view id, std::string_view key,
                         std::string_view parameters) {
  request.text = kWeathercloudPath;
  request.text += "wid/";
  request.text += id;
  request.text += "/key/";
  AppendKey(request, key);
  request.text += parameters;
}

}  // namespace

UploadEndpoint DefaultEndpoint(ServerIndex service) {
  const std::string_view host =
      service == ServerIndex::Weathercloud ? kWeathercloudUploadHost : kWuUploadHost;
  return {std::string(host), kUploadPort};
}

std::optional<UploadEndpoint> ParseEndpoint(std::string_view text) {
  const std::size_t colon = text.find(':');
  const std::string_view host = text.substr(0, colon);
  if (host.empty() || host.size() > kMaxHostLength ||
      !std::all_of(host.begin(), host.end(), IsHostCharacter)) {
    return std::nullopt;
  }
  UploadEndpoint endpoint{std::string(host), kUploadPort};
  if (colon == std::string_view::npos) {
    return endpoint;
  }
  const std::string_view port = text.substr(colon + 1);
  unsigned value = 0;
  const auto [end, error] = std::from_chars(port.data(), port.data() + port.size(), value);
  if (port.empty() || error != std::errc() || end != port.data() + port.size() || value == 0 ||
      value > 65535) {
    return std::nullopt;
  }
  endpoint.port = static_cast<std::uint16_t>(value);
  return endpoint;
}

std::string_view ParameterText(std::span<const char> payload) {
  const std::string_view bytes(payload.data(), std::min(payload.size(), kMaxParameterTextLength));
  return bytes.substr(0, bytes.find('\0'));
}

std::optional<UploadRequest> BuildUploadRequest(ServerIndex service, std::string_view parameterText,
                                                bool autoUpload, const StationIdAndKey& idAndKey,
                                                const UploadEndpoint& endpoint) {
  if (!autoUpload || idAndKey.id.empty() || idAndKey.key.empty()) {
    return std::nullopt;
  }
  const std::string id = ToUtf8(ClipUtf16(idAndKey.id, kMaxStationTextLength));
  const std::string key = ToUtf8(ClipUtf16(idAndKey.key, kMaxStationTextLength));
  const std::string_view parameters = ParameterText(parameterText);

  UploadRequest request;
  request.service = service;
  request.endpoint = endpoint;
  if (service == ServerIndex::Weathercloud) {
    ComposeWeathercloud(request, id, key, parameters);
  } else {
    ComposeWu(request, id, key, parameters);
  }
  request.text += kHostLine;
  request.text += HostValue(endpoint);
  request.text += kRequestEnd;
  return request;
}

std::optional<UploadRequest> BuildUploadRequest(ServerIndex service, std::string_view parameterText,
                                                const ServerSettings& settings,
                                                const StationTexts& texts,
                                                const UploadEndpoints& endpoints) {
  if (!settings.Service(service).autoUpload) {
    return std::nullopt;
  }
  return BuildUploadRequest(service, parameterText, true, texts.InForce(service),
                            endpoints.For(service));
}

std::string MaskedRequestLine(const UploadRequest& request) {
  std::string line = request.text.substr(0, request.text.find("\r\n"));
  if (request.keyLength > 0 && request.keyOffset + request.keyLength <= line.size()) {
    line.replace(request.keyOffset, request.keyLength, "***");
  }
  return line;
}

}  // namespace nimbrel
