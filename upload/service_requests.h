// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <chrono>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "record/record_fields.h"
#include "upload/service_transport.h"

namespace nimbrel {

// The values of one live text that the composed services take, in the console's units (°C, %,
// degrees, km/h, hPa, mm). Nothing where the console reports no reading: a service never gets a
// made-up zero.
struct Observation {
  std::optional<double> outdoorTemperature;
  std::optional<double> dewPoint;
  std::optional<double> outdoorHumidity;
  std::optional<double> windDirection;  // degrees
  std::optional<double> windSpeed;
  std::optional<double> windGust;
  std::optional<double> relativePressure;
  std::optional<double> rainLastHour;  // the console's hourly counter
  std::optional<double> rainToday;     // the console's daily counter, since midnight
  std::optional<double> rainMonth;     // the console's monthly counter
  std::optional<double> uvIndex;
};

// Reads a live text by the console's rules: a temperature is missing when it holds "--", the
// other values when they hold a dash; any field that is not one finite number is missing too.
Observation ReadObservation(std::string_view liveText);

// The fields of a record in the order of Observation's members, for reading an archive's series
// (whose values are NaN where there is no reading) with ObservationOf.
inline constexpr std::array kObservationFields = {
    kFieldOutdoorTemperature, kFieldDewPoint,    kFieldOutdoorHumidity,  kFieldWindDirectionDegrees,
    kFieldWindSpeed,          kFieldWindGust,    kFieldRelativePressure, kFieldHourlyRain,
    kFieldDailyRain,          kFieldMonthlyRain, kFieldUvIndex};

// An archive's values of kObservationFields, in that order; NaN, or a negative value where the
// quantity cannot be negative, is no reading. Missing values at the end are no readings.
Observation ObservationOf(std::span<const double> values);

// The rain of a period from the console's daily counter (field 7) read at times across it, oldest
// first: the counter's rises added up, a fall being the reset at midnight (what it shows after it
// fell). Values that are NaN are skipped; nothing without two readings.
std::optional<double> RainFromDailyCounter(std::span<const double> dailyRain);

// A reading with its time in UTC: when the PC received a live reading, or a record's console time
// converted by the PC's time zone.
struct TimedReading {
  std::chrono::sys_seconds time;
  Observation values;
};

// The console's clock has no zone: its times are the PC's local time, converted here by the C
// library's rules (a time the spring change skips moves past the gap; the repeated autumn hour
// reads as one of its passes). Nothing for a time the library cannot convert.
std::optional<std::chrono::sys_seconds> UtcFromConsoleTime(std::chrono::local_seconds local);

// What a web service's request needs beyond the reading.
struct WebAccount {
  std::string id;
  std::string key;       // secret
  std::string endpoint;  // empty: the service's own URL
  std::string caFile;
  std::string software = "Nimbrel";  // "Nimbrel VERSION"
};

// The services' own addresses.
inline constexpr std::string_view kPwsWeatherUrl =
    "https://pwsupdate.pwsweather.com/api/v1/submitwx";
inline constexpr std::string_view kWowUrl = "https://wow.metoffice.gov.uk/automaticreading";
inline constexpr std::string_view kWindyUrl =
    "https://stations.windy.com/api/v2/observation/update";
inline constexpr std::string_view kCwopHost = "cwop.aprs.net";

WebRequest ComposePwsWeather(const Observation& values, std::chrono::sys_seconds time,
                             const WebAccount& account);
WebRequest ComposeWow(const Observation& values, std::chrono::sys_seconds time,
                      const WebAccount& account);
// The password travels as "Authorization: Bearer", never in the URL.
WebRequest ComposeWindy(const Observation& values, std::chrono::sys_seconds time,
                        const WebAccount& account);

// What CWOP's session needs beyond the reading.
struct CwopStation {
  std::string callsign;
  std::string passcode;  // secret; empty: "-1", a CWOP ID's
  double latitude = 0;   // decimal degrees, north positive
  double longitude = 0;  // east positive
  std::string host = std::string(kCwopHost);
  std::uint16_t port = 14580;
  std::string version;  // the program's version, for the login line
};

// The login line and the packet. `rainLast24Hours` (mm) comes from the archive; nothing gives
// "...".
AprsSession ComposeCwop(const Observation& values, std::chrono::sys_seconds time,
                        const CwopStation& station, std::optional<double> rainLast24Hours);

// The URL's query escaped: everything but letters, digits and "-._~" as %XX.
std::string EscapeQueryValue(std::string_view text);

// A request's URL as it may be shown: the values of PASSWORD and siteAuthenticationKey replaced by
// "***" (Windy's password is in a header, which is never shown).
std::string MaskedUrl(std::string_view url);

}  // namespace nimbrel
