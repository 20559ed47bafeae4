// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace nimbrel {

// The weather service shown in the setup panel; the value is its index in the service list and
// the byte stored in "ls".
enum class ServerIndex : std::uint8_t { WeatherUnderground = 0, Weathercloud = 1 };
inline constexpr std::size_t kServiceCount = 2;

// A station ID or key holds at most this many UTF-16 units (the stored form adds a NUL).
inline constexpr std::size_t kMaxStationTextLength = 63;

// What the upload indicator shows for a service.
enum class UploadStatus : std::uint8_t { Hidden = 0, Confirmed = 1, Failed = 2 };

// The upload settings of one service. Only the ID and key are stored; the rest starts afresh
// at every run.
struct ServiceSettings {
  std::u16string stationId;
  std::u16string stationKey;
  bool autoUpload = false;
  UploadStatus uploadStatus = UploadStatus::Hidden;
  int successCount = 0;  // acknowledgements since the last upload check
};

// The shared record of the upload settings, owned by the user-interface thread.
struct ServerSettings {
  ServerIndex serverIndex = ServerIndex::WeatherUnderground;
  std::array<ServiceSettings, kServiceCount> services{};  // in ServerIndex order

  ServiceSettings& Service(ServerIndex service) { return services[Slot(service)]; }
  const ServiceSettings& Service(ServerIndex service) const { return services[Slot(service)]; }
  ServiceSettings& Selected() { return Service(serverIndex); }
  const ServiceSettings& Selected() const { return Service(serverIndex); }

 private:
  // Masked so that a stray value can never index past the two services.
  static std::size_t Slot(ServerIndex service) { return static_cast<std::size_t>(service) & 1U; }
};

}  // namespace nimbrel
