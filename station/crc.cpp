// SPDX-License-Identifier: GPL-3.0-or-later
#include "station/frame.h"

namespace nimbrel {

namespace {

constexpr std::array<std::uint16_t, 256> MakeCrcTable() {
  std::array<std::uint16_t, 256> table{};
  for (unsigned byte = 0; byte < 256; ++byte) {
    std::uint16_t crc = static_cast<std::uint16_t>(byte << 8);
    for (int bit = 0; bit < 8; ++bit) {
      crc = static_cast<std::uint16_t>((crc & 0x8000) ? (crc << 1) ^ 0x1021 : crc << 1);
    }
    table[byte] = crc;
  }
  return table;
}

constexpr auto kCrcTable = MakeCrcTable();

}  // namespace

std::uint16_t StationCrc16(const std::uint8_t* buffer, std::size_t first, std::size_t end) {
  std::uint16_t crc = 0;
  for (std::size_t i = first; i < end; ++i) {
    crc = static_cast<std::uint16_t>((crc << 8) ^ kCrcTable[((crc >> 8) ^ buffer[i]) & 0xFF]);
  }
  return crc;
}

bool FrameCrcGood(const StationFrame& frame) {
  const std::uint16_t crc = StationCrc16(frame.data(), 1, kFrameCrcHigh);
  return frame[kFrameCrcHigh] == (crc >> 8) && frame[kFrameCrcLow] == (crc & 0xFF);
}

}  // namespace nimbrel
