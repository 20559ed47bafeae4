// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <chrono>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "i18n/language.h"
#include "readings/unit_settings.h"

namespace nimbrel::web {

// A query longer than this is refused before it is read.
inline constexpr std::size_t kMostQueryBytes = 2048;

// One parameter of a query, decoded.
struct Parameter {
  std::string name;
  std::string value;
  bool hasValue = false;  // "name=" or "name=x", not a bare "name"
};

// The parameters of a query, or the reason it cannot be read: too long, a bad %-escape, a
// parameter named twice. Empty pieces ("a=1&&b=2") are skipped.
struct ParsedQuery {
  std::vector<Parameter> parameters;
  std::string error;  // empty: read

  const Parameter* Find(std::string_view name) const;
};
ParsedQuery ParseQuery(std::string_view query);

// The first parameter whose name is not among `known`: the request asks for something we do not
// do, which is better said than ignored.
const Parameter* FirstUnknown(const ParsedQuery& query, std::span<const std::string_view> known);

// The names every answer takes: units (metric or imperial), temperature, rain, pressure, wind,
// pressure_type, direction, lang.
inline constexpr std::array<std::string_view, 8> kDisplayParameters = {
    "units", "temperature", "rain", "pressure", "wind", "pressure_type", "direction", "lang"};

// The user's units with the query's choices on top, or the error text of a value we do not take.
struct DisplayChoice {
  UnitSettings units;
  LanguageIndex language = LanguageIndex::kEnglish;
  std::string error;  // empty: read
};
DisplayChoice ReadDisplay(const ParsedQuery& query, const UnitSettings& saved,
                          LanguageIndex savedLanguage);

// "en", "de", "fr", "it", "es".
std::string_view LanguageCode(LanguageIndex language);

// Dates as a query gives them, in digits with a year of 1970 to 2099 (the console's clock cannot
// go further): "2025-1-2", "2025-01", "2025". Nothing for anything that is not a real date.
std::optional<std::chrono::local_days> ReadQueryDay(std::string_view text);
std::optional<std::chrono::year_month> ReadQueryMonth(std::string_view text);
std::optional<std::chrono::year> ReadQueryYear(std::string_view text);

}  // namespace nimbrel::web
