// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

namespace nimbrel {

// The upload parameter texts the console composes from its current readings (a 36-field live
// text). A reading that is missing or not a number is left out of both.

// Weather Underground query parameters, imperial units, with the console's clock as `dateutc`:
// "dateutc=2026-03-05%2014%3A30%3A00&winddir=225&windspeedmph=4.5&...&UV=2".
std::string WuParamText(std::string_view liveText);

// Weathercloud path segments in tenths (temperatures in °C, pressure in hPa, wind in m/s, rain in
// mm): "/temp/235/hum/45/dew/112/...".
std::string WeathercloudParamText(std::string_view liveText);

}  // namespace nimbrel
