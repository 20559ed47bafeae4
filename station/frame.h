// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace nimbrel {

// One input report from the console, as one read delivers it: report ID first.
inline constexpr std::size_t kFrameSize = 65;
using StationFrame = std::array<std::uint8_t, kFrameSize>;

// One output report to the console: report ID, 0xFC, opcode, three parameters, CRC, 0xFD.
inline constexpr std::size_t kCommandSize = 9;
using StationCommand = std::array<std::uint8_t, kCommandSize>;

// Byte positions within a frame.
inline constexpr std::size_t kFrameType = 1;
inline constexpr std::size_t kFramePosition = 6;  // low nibble: this frame, high: frames in all
inline constexpr std::size_t kFramePayloadLength = 7;
inline constexpr std::size_t kFramePayload = 8;
inline constexpr std::size_t kFrameCrcHigh = 62;
inline constexpr std::size_t kFrameCrcLow = 63;
inline constexpr std::size_t kMaxPayload = 54;

// Message types (frame byte 1).
inline constexpr std::uint8_t MSG_RECORD = 0xFE;
inline constexpr std::uint8_t MSG_WU_PARAMS = 0xFB;
inline constexpr std::uint8_t MSG_WC_PARAMS = 0xF1;
inline constexpr std::uint8_t MSG_REQUEST = 0xFA;

// CRC-16/XMODEM over bytes [first, end) of a buffer; 0 when first >= end.
std::uint16_t StationCrc16(const std::uint8_t* buffer, std::size_t first, std::size_t end);

// Whether bytes 62-63 hold the CRC of bytes 1-61, high byte first.
bool FrameCrcGood(const StationFrame& frame);

// Record channel header: bytes 2-3 and 4-5, big-endian.
inline unsigned FrameRecordCount(const StationFrame& frame) {
  return static_cast<unsigned>(frame[2] << 8 | frame[3]);
}
inline unsigned FrameRecordNumber(const StationFrame& frame) {
  return static_cast<unsigned>(frame[4] << 8 | frame[5]);
}

}  // namespace nimbrel
