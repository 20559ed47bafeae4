#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "station/frame.h"

namespace nimbrel::testing {

// Builds a frame as the console sends it, with a good CRC unless told otherwise.
struct FrameShape {
  std::uint8_t type = MSG_RECORD;
  std::uint8_t header[4] = {0, 0, 0, 0};  // bytes 2-5
  int number = 1;                         // this frame, 1-based
  int count = 1;                          // frames in the message
  std::string_view payload;               // at most 54 bytes are placed
  int lengthByte = -1;                    // byte 7; -1: the payload's length
  bool badCrc = false;
};
StationFrame MakeFrame(const FrameShape& shape);

// Splits a text into the frames of one message on a channel, 54 bytes a frame.
std::vector<StationFrame> MessageFrames(std::uint8_t type, const std::uint8_t (&header)[4],
                                        std::string_view text);

// Header of a history frame: record count and record number, big-endian.
inline void HistoryHeader(std::uint8_t (&header)[4], unsigned count, unsigned number) {
  header[0] = static_cast<std::uint8_t>(count >> 8);
  header[1] = static_cast<std::uint8_t>(count);
  header[2] = static_cast<std::uint8_t>(number >> 8);
  header[3] = static_cast<std::uint8_t>(number);
}

}  // namespace nimbrel::testing
