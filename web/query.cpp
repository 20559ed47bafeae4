// SPDX-License-Identifier: GPL-3.0-or-later
#include "web/query.h"

#include <algorithm>
#include <array>
#include <charconv>

namespace nimbrel::web {

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') {
    return c - '0';
  }
  if (c >= 'a' && c <= 'f') {
    return c - 'a' + 10;
  }
  if (c >= 'A' && c <= 'F') {
    return c - 'A' + 10;
  }
  return -1;
}

// Form encoding: '+' is a space, %XX a byte. Nothing for a broken escape.
std::optional<std::string> Decode(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '+') {
      out.push_back(' ');
    } else if (text[i] != '%') {
      out.push_back(text[i]);
    } else {
      const int high = i + 2 < text.size() ? HexDigit(text[i + 1]) : -1;
      const int low = i + 2 < text.size() ? HexDigit(text[i + 2]) : -1;
      if (high < 0 || low < 0) {
        return std::nullopt;
      }
      out.push_back(static_cast<char>(high * 16 + low));
      i += 2;
    }
  }
  return out;
}

template <typename T>
struct Choice {
  std::string_view text;
  T value;
};

template <typename T, std::size_t N>
bool Choose(const ParsedQuery& query, std::string_view name,
            const std::array<Choice<T>, N>& choices, T& value, std::string& error) {
  const Parameter* parameter = query.Find(name);
  if (parameter == nullptr) {
    return true;
  }
  const auto match = std::find_if(choices.begin(), choices.end(),
                                  [&](const Choice<T>& c) { return c.text == parameter->value; });
  if (match == choices.end()) {
    error = std::string(name) + " takes";
    for (const Choice<T>& c : choices) {
      error.append(&c == choices.data() ? " " : ", ").append(c.text);
    }
    return false;
  }
  value = match->value;
  return true;
}

constexpr std::array<Choice<LanguageIndex>, 5> kLanguages = {{
    {"en", LanguageIndex::kEnglish},
    {"de", LanguageIndex::kGerman},
    {"fr", LanguageIndex::kFrench},
    {"it", LanguageIndex::kItalian},
    {"es", LanguageIndex::kSpanish},
}};

// The whole units of "metric" and "imperial"; the saved pressure type and direction stay.
bool ChooseSystem(const ParsedQuery& query, UnitSettings& units, std::string& error) {
  constexpr std::array<Choice<bool>, 2> kSystems = {{{"metric", true}, {"imperial", false}}};
  bool metric = true;
  if (query.Find("units") == nullptr || !Choose(query, "units", kSystems, metric, error)) {
    return error.empty();
  }
  units.temperatureUnit = metric ? TemperatureUnit::Celsius : TemperatureUnit::Fahrenheit;
  units.rainUnit = metric ? RainUnit::Millimetre : RainUnit::Inch;
  units.pressureUnit = metric ? PressureUnit::Hpa : PressureUnit::InHg;
  units.windSpeedUnit = metric ? WindSpeedUnit::KmPerHour : WindSpeedUnit::Mph;
  return true;
}

// Up to three numbers of 1 to 4 digits joined by '-'; nothing for anything else.
std::optional<std::array<int, 3>> DateNumbers(std::string_view text, std::size_t count) {
  std::array<int, 3> numbers{};
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t dash = i + 1 < count ? text.find('-') : text.size();
    const std::string_view piece = text.substr(0, dash);
    if (dash == std::string_view::npos || piece.empty() || piece.size() > 4 ||
        !std::all_of(piece.begin(), piece.end(), [](char c) { return c >= '0' && c <= '9'; })) {
      return std::nullopt;
    }
    std::from_chars(piece.data(), piece.data() + piece.size(), numbers[i]);
    text.remove_prefix(std::min(dash + 1, text.size()));
  }
  if (numbers[0] < 1970 || numbers[0] > 2099) {
    return std::nullopt;
  }
  return numbers;
}

}  // namespace

const Parameter* ParsedQuery::Find(std::string_view name) const {
  const auto found = std::find_if(parameters.begin(), parameters.end(),
                                  [&](const Parameter& p) { return p.name == name; });
  return found == parameters.end() ? nullptr : &*found;
}

ParsedQuery ParseQuery(std::string_view query) {
  ParsedQuery parsed;
  if (query.size() > kMostQueryBytes) {
    parsed.error = "the query is too long";
    return parsed;
  }
  while (!query.empty()) {
    const std::size_t amp = std::min(query.find('&'), query.size());
    const std::string_view piece = query.substr(0, amp);
    query.remove_prefix(std::min(amp + 1, query.size()));
    if (piece.empty()) {
      continue;
    }
    const std::size_t equals = piece.find('=');
    const auto name = Decode(piece.substr(0, equals));
    const auto value = Decode(equals == std::string_view::npos ? "" : piece.substr(equals + 1));
    if (!name || !value) {
      parsed.error = "the query holds a broken %-escape";
      return parsed;
    }
    if (parsed.Find(*name) != nullptr) {
      parsed.parameters.clear();
      parsed.error = "a parameter is given twice";
      return parsed;
    }
    parsed.parameters.push_back({*name, *value, equals != std::string_view::npos});
  }
  return parsed;
}

const Parameter* FirstUnknown(const ParsedQuery& query, std::span<const std::string_view> known) {
  for (const Parameter& parameter : query.parameters) {
    if (std::find(known.begin(), known.end(), parameter.name) == known.end() &&
        std::find(kDisplayParameters.begin(), kDisplayParameters.end(), parameter.name) ==
            kDisplayParameters.end()) {
      return &parameter;
    }
  }
  return nullptr;
}

DisplayChoice ReadDisplay(const ParsedQuery& query, const UnitSettings& saved,
                          LanguageIndex savedLanguage) {
  DisplayChoice choice{saved, savedLanguage, {}};
  UnitSettings& u = choice.units;
  std::string& e = choice.error;
  using enum TemperatureUnit;
  using enum RainUnit;
  using enum PressureUnit;
  using enum WindSpeedUnit;
  using enum PressureType;
  using enum WindDirectionFormat;
  constexpr std::array<Choice<TemperatureUnit>, 2> kTemperature = {
      {{"C", Celsius}, {"F", Fahrenheit}}};
  constexpr std::array<Choice<RainUnit>, 2> kRain = {{{"mm", Millimetre}, {"in", Inch}}};
  constexpr std::array<Choice<PressureUnit>, 3> kPressure = {
      {{"hPa", Hpa}, {"mmHg", MmHg}, {"inHg", InHg}}};
  constexpr std::array<Choice<WindSpeedUnit>, 4> kWind = {
      {{"mph", Mph}, {"m/s", MetresPerSecond}, {"km/h", KmPerHour}, {"knots", Knots}}};
  constexpr std::array<Choice<PressureType>, 2> kType = {
      {{"relative", Relative}, {"absolute", Absolute}}};
  constexpr std::array<Choice<WindDirectionFormat>, 2> kDirection = {
      {{"points", Points16}, {"degrees", Degrees360}}};
  // The first value we do not take ends the reading; its text is the answer.
  (void)(ChooseSystem(query, u, e) &&
         Choose(query, "temperature", kTemperature, u.temperatureUnit, e) &&
         Choose(query, "rain", kRain, u.rainUnit, e) &&
         Choose(query, "pressure", kPressure, u.pressureUnit, e) &&
         Choose(query, "wind", kWind, u.windSpeedUnit, e) &&
         Choose(query, "pressure_type", kType, u.pressureType, e) &&
         Choose(query, "direction", kDirection, u.windDirectionFormat, e) &&
         Choose(query, "lang", kLanguages, choice.language, e));
  return choice;
}

std::string_view LanguageCode(LanguageIndex language) {
  for (const Choice<LanguageIndex>& c : kLanguages) {
    if (c.value == language) {
      return c.text;
    }
  }
  return "en";
}

std::optional<std::chrono::local_days> ReadQueryDay(std::string_view text) {
  const auto n = DateNumbers(text, 3);
  if (!n) {
    return std::nullopt;
  }
  const std::chrono::year_month_day date{std::chrono::year{(*n)[0]},
                                         std::chrono::month{static_cast<unsigned>((*n)[1])},
                                         std::chrono::day{static_cast<unsigned>((*n)[2])}};
  return date.ok() ? std::optional(std::chrono::local_days{date}) : std::nullopt;
}

std::optional<std::chrono::year_month> ReadQueryMonth(std::string_view text) {
  const auto n = DateNumbers(text, 2);
  const auto month =
      n ? std::chrono::year{(*n)[0]} / static_cast<unsigned>((*n)[1]) : std::chrono::year_month{};
  return n && month.ok() ? std::optional(month) : std::nullopt;
}

std::optional<std::chrono::year> ReadQueryYear(std::string_view text) {
  const auto n = DateNumbers(text, 1);
  return n ? std::optional(std::chrono::year{(*n)[0]}) : std::nullopt;
}

}  // namespace nimbrel::web
