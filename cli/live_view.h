// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "readings/live_readings.h"
#include "readings/reading_format.h"
#include "readings/unit_settings.h"

namespace nimbrel::cli {

// One value of the live readings as the dashboard shows it.
struct ShownReading {
  std::string_view name;  // indoorTemperature, windDirection, channelHumidity7, ...
  FormattedReading formatted;
};

// Every value the dashboard shows, in the user's units.
std::vector<ShownReading> ShownReadings(const LiveReadings& readings, const UnitSettings& units);

// One JSON object: the logger level, the 36 raw fields and the shown values.
std::string LiveJsonLine(const LiveReadings& readings, const UnitSettings& units);

// One line per shown value: name, value and unit.
std::string LiveTextLines(const LiveReadings& readings, const UnitSettings& units);

// Appends a JSON string literal (quotes included) holding the UTF-8 form of `text`.
void AppendJsonString(std::string& out, std::u16string_view text);

}  // namespace nimbrel::cli
