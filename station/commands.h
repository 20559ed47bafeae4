// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

#include "station/frame.h"

namespace nimbrel {

// The fixed commands, CRC included.
inline constexpr StationCommand CMD_CANCEL = {0x00, 0xFC, 0x07, 0x00, 0x00, 0x00, 0xE5, 0x50, 0xFD};
inline constexpr StationCommand CMD_REFRESH = {0x00, 0xFC, 0x03, 0x00, 0x00,
                                               0x00, 0x2F, 0xA1, 0xFD};
inline constexpr StationCommand CMD_HISTORY = {0x00, 0xFC, 0x05, 0x00, 0x00,
                                               0x00, 0x08, 0x38, 0xFD};
inline constexpr StationCommand CMD_ACK = {0x00, 0xFC, 0xD4, 0x01, 0x00, 0x00, 0xE1, 0xBF, 0xFD};
inline constexpr StationCommand CMD_NAK = {0x00, 0xFC, 0xD4, 0x02, 0x00, 0x00, 0xB8, 0xEF, 0xFD};
inline constexpr StationCommand CMD_RECORD_ACK = {0x00, 0xFC, 0xD5, 0x01, 0x00,
                                                  0x00, 0x97, 0x0B, 0xFD};
inline constexpr StationCommand CMD_RECORD_NAK = {0x00, 0xFC, 0xD5, 0x02, 0x00,
                                                  0x00, 0xCE, 0x5B, 0xFD};

// Opcodes of the two commands built at run time.
inline constexpr std::uint8_t kOpSetDate = 0x08;
inline constexpr std::uint8_t kOpSetTime = 0x09;

// A command with its CRC high byte first, as all fixed commands carry it.
StationCommand MakeCommand(std::uint8_t opcode, std::uint8_t p1, std::uint8_t p2, std::uint8_t p3);

// CMD_SET_DATE: year modulo 100, month, day as plain numbers; CRC low byte first.
StationCommand MakeSetDateCommand(int year, int month, int day);

// CMD_SET_TIME: hour, minute, second as plain numbers; CRC low byte first.
StationCommand MakeSetTimeCommand(int hour, int minute, int second);

}  // namespace nimbrel
