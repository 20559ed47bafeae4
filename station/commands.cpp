// SPDX-License-Identifier: GPL-3.0-or-later
#include "station/commands.h"

namespace nimbrel {

namespace {

enum class CrcOrder { kHighFirst, kLowFirst };

StationCommand BuildCommand(std::uint8_t opcode, std::uint8_t p1, std::uint8_t p2, std::uint8_t p3,
                            CrcOrder order) {
  StationCommand command = {0x00, 0xFC, opcode, p1, p2, p3, 0x00, 0x00, 0xFD};
  const std::uint16_t crc = StationCrc16(command.data(), 1, 6);
  const auto high = static_cast<std::uint8_t>(crc >> 8);
  const auto low = static_cast<std::uint8_t>(crc & 0xFF);
  command[6] = order == CrcOrder::kHighFirst ? high : low;
  command[7] = order == CrcOrder::kHighFirst ? low : high;
  return command;
}

std::uint8_t Byte(int value) {
  return static_cast<std::uint8_t>(value & 0xFF);
}

}  // namespace

StationCommand MakeCommand(std::uint8_t opcode, std::uint8_t p1, std::uint8_t p2, std::uint8_t p3) {
  return BuildCommand(opcode, p1, p2, p3, CrcOrder::kHighFirst);
}

StationCommand MakeSetDateCommand(int year, int month, int day) {
  return BuildCommand(kOpSetDate, Byte(year % 100), Byte(month), Byte(day), CrcOrder::kLowFirst);
}

StationCommand MakeSetTimeCommand(int hour, int minute, int second) {
  return BuildCommand(kOpSetTime, Byte(hour), Byte(minute), Byte(second), CrcOrder::kLowFirst);
}

}  // namespace nimbrel
