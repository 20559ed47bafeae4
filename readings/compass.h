// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <string_view>

namespace nimbrel {

// The 16 compass points; point n (1 to 16) is entry n - 1, and n is also the number of its marker
// on the dashboard's dial (0 is the dial without a marker).
inline constexpr std::array<std::u16string_view, 16> CompassPoints = {
    u"N", u"NNE", u"NE", u"ENE", u"E", u"ESE", u"SE", u"SSE",
    u"S", u"SSW", u"SW", u"WSW", u"W", u"WNW", u"NW", u"NNW"};

// The number 1 to 16 of the point whose name equals the whole text (case-sensitive), or -1.
int CompassPointIndex(std::u16string_view text);

// The point 1 to 16 of a direction in whole degrees. The console's sectors have whole-number
// bounds, not exact 22.5-degree ones: east is 79 to 100. Anything from 349 up or from 11 down,
// negative numbers included, is north.
int CompassSectorFromDegrees(int degrees);

}  // namespace nimbrel
