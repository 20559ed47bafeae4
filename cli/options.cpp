// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/options.h"

#include <array>
#include <charconv>
#include <utility>

namespace nimbrel::cli {

namespace {

template <typename Enum, std::size_t N>
std::optional<Enum> Choose(std::string_view text,
                           const std::array<std::pair<std::string_view, Enum>, N>& names) {
  for (const auto& [name, value] : names) {
    if (text == name) {
      return value;
    }
  }
  return std::nullopt;
}

// Sets a unit from the option's value; false when the value names no unit.
bool ParseUnit(std::string_view option, std::string_view value, UnitOverrides& units) {
  using T = TemperatureUnit;
  using W = WindSpeedUnit;
  if (option == "--temperature") {
    units.temperature = Choose<T, 2>(value, {{{"C", T::Celsius}, {"F", T::Fahrenheit}}});
    return units.temperature.has_value();
  }
  if (option == "--rain") {
    units.rain =
        Choose<RainUnit, 2>(value, {{{"mm", RainUnit::Millimetre}, {"in", RainUnit::Inch}}});
    return units.rain.has_value();
  }
  if (option == "--pressure") {
    units.pressure = Choose<PressureUnit, 3>(
        value,
        {{{"hPa", PressureUnit::Hpa}, {"mmHg", PressureUnit::MmHg}, {"inHg", PressureUnit::InHg}}});
    return units.pressure.has_value();
  }
  if (option == "--wind") {
    units.windSpeed = Choose<W, 4>(value, {{{"mph", W::Mph},
                                            {"m/s", W::MetresPerSecond},
                                            {"km/h", W::KmPerHour},
                                            {"knots", W::Knots}}});
    return units.windSpeed.has_value();
  }
  if (option == "--pressure-type") {
    units.pressureType = Choose<PressureType, 2>(
        value, {{{"abs", PressureType::Absolute}, {"rel", PressureType::Relative}}});
    return units.pressureType.has_value();
  }
  units.direction = Choose<WindDirectionFormat, 2>(
      value, {{{"16", WindDirectionFormat::Points16}, {"360", WindDirectionFormat::Degrees360}}});
  return units.direction.has_value();
}

bool IsUnitOption(std::string_view option) {
  return option == "--temperature" || option == "--rain" || option == "--pressure" ||
         option == "--wind" || option == "--pressure-type" || option == "--direction";
}

std::optional<std::string> ParseArchiveOption(std::string_view option, std::string_view value,
                                              GlobalOptions& options) {
  if (option == "--archive") {
    options.archive = value;
    return value.empty() ? std::optional<std::string>("--archive needs a file name") : std::nullopt;
  }
  long& minutes = options.archiveLiveMinutes;
  const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), minutes);
  if (error != std::errc() || end != value.data() + value.size() || minutes < 0) {
    return "--archive-live-minutes takes a number of minutes (0 keeps no live readings)";
  }
  return std::nullopt;
}

}  // namespace

UnitSettings UnitOverrides::AppliedTo(UnitSettings saved) const {
  saved.temperatureUnit = temperature.value_or(saved.temperatureUnit);
  saved.rainUnit = rain.value_or(saved.rainUnit);
  saved.pressureUnit = pressure.value_or(saved.pressureUnit);
  saved.windSpeedUnit = windSpeed.value_or(saved.windSpeedUnit);
  saved.pressureType = pressureType.value_or(saved.pressureType);
  saved.windDirectionFormat = direction.value_or(saved.windDirectionFormat);
  return saved;
}

std::optional<std::string> ParseGlobalOptions(const std::vector<std::string_view>& args,
                                              GlobalOptions& options) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    if (arg == "--help" || arg == "-h") {
      options.help = true;
    } else if (arg == "--version") {
      options.version = true;
    } else if (arg == "--simulate") {
      options.simulate = true;
    } else if (arg == "--archive" || arg == "--archive-live-minutes") {
      if (i + 1 == args.size()) {
        return std::string(arg) + " needs a value";
      }
      if (const auto error = ParseArchiveOption(arg, args[++i], options)) {
        return error;
      }
    } else if (arg == "--rain-season-start") {
      long month = 0;
      if (i + 1 == args.size() || !ParsePositive(args[++i], month) || month > 12) {
        return "--rain-season-start takes a month from 1 to 12";
      }
      options.rainSeasonStart = static_cast<unsigned>(month);
    } else if (IsUnitOption(arg) || arg.starts_with("--console-")) {
      if (i + 1 == args.size()) {
        return std::string(arg) + " needs a value";
      }
      const std::string_view value = args[++i];
      if (arg.starts_with("--console-")) {
        options.console.push_back({std::string(arg), std::string(value)});
      } else if (!ParseUnit(arg, value, options.units)) {
        return "unknown unit '" + std::string(value) + "' for " + std::string(arg);
      }
    } else if (arg.starts_with("-")) {
      return "unknown option " + std::string(arg);
    } else {
      options.command = arg;
      options.commandArgs.assign(args.begin() + static_cast<long>(i) + 1, args.end());
      return std::nullopt;
    }
  }
  return std::nullopt;
}

bool ParsePositive(std::string_view text, long& value) {
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size() && value > 0;
}

}  // namespace nimbrel::cli
