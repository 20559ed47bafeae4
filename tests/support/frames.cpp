#include "tests/support/frames.h"

#include <algorithm>

namespace nimbrel::testing {

StationFrame MakeFrame(const FrameShape& shape) {
  StationFrame frame{};
  frame[kFrameType] = shape.type;
  std::copy(std::begin(shape.header), std::end(shape.header), frame.begin() + 2);
  frame[kFramePosition] = static_cast<std::uint8_t>(shape.count << 4 | shape.number);
  const std::size_t placed = std::min(shape.payload.size(), kMaxPayload);
  std::copy_n(shape.payload.begin(), placed, frame.begin() + kFramePayload);
  frame[kFramePayloadLength] =
      static_cast<std::uint8_t>(shape.lengthByte >= 0 ? shape.lengthByte : static_cast<int>(placed));
  const std::uint16_t crc = StationCrc16(frame.data(), 1, kFrameCrcHigh);
  frame[kFrameCrcHigh] = static_cast<std::uint8_t>(crc >> 8);
  frame[kFrameCrcLow] = static_cast<std::uint8_t>(crc & 0xFF);
  if (shape.badCrc) {
    frame[kFrameCrcLow] ^= 0xFF;
  }
  return frame;
}

std::vector<StationFrame> MessageFrames(std::uint8_t type, const std::uint8_t (&header)[4],
                                        std::string_view text) {
  const int count = static_cast<int>(std::max<std::size_t>(1, (text.size() + 53) / 54));
  std::vector<StationFrame> frames;
  for (int number = 1; number <= count; ++number) {
    FrameShape shape;
    shape.type = type;
    std::copy(std::begin(header), std::end(header), shape.header);
    shape.number = number;
    shape.count = count;
    shape.payload =
        text.substr(std::min(text.size(), static_cast<std::size_t>(number - 1) * 54), 54);
    frames.push_back(MakeFrame(shape));
  }
  return frames;
}

}  // namespace nimbrel::testing
