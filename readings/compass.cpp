// SPDX-License-Identifier: GPL-3.0-or-later
#include "readings/compass.h"

namespace nimbrel {

int CompassPointIndex(std::u16string_view text) {
  for (std::size_t i = 0; i < CompassPoints.size(); ++i) {
    if (CompassPoints[i] == text) {
      return static_cast<int>(i) + 1;
    }
  }
  return -1;
}

int CompassSectorFromDegrees(int degrees) {
  // The last degree of sectors 1 (N) to 16 (NNW); north goes on from 349.
  static constexpr std::array<int, 16> kLastDegree = {11,  33,  55,  78,  100, 123, 145, 168,
                                                      190, 213, 235, 258, 280, 303, 325, 348};
  for (std::size_t i = 0; i < kLastDegree.size(); ++i) {
    if (degrees <= kLastDegree[i]) {
      return static_cast<int>(i) + 1;
    }
  }
  return 1;
}

}  // namespace nimbrel
