// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <string>
#include <string_view>

namespace nimbrel::web {

// Appends a JSON string literal (quotes included) of UTF-8 text; control characters escaped.
void AppendJsonString(std::string& out, std::string_view text);

// A number with the given decimals, by the "C" rules whatever the locale.
void AppendJsonNumber(std::string& out, double value, int decimals);

// ISO 8601 in UTC to the second: "2026-12-07T22:10:05Z".
std::string UtcText(std::chrono::sys_seconds time);

}  // namespace nimbrel::web
