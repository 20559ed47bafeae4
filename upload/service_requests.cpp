// SPDX-License-Identifier: GPL-3.0-or-later
#include "upload/service_requests.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <ctime>
#include <utility>
#include <vector>

#include "readings/number_text.h"
#include "record/record_fields.h"

namespace nimbrel {
namespace {

using std::chrono::sys_seconds;

// The services want the exact units; the dashboard's rounded factors are for display only.
double Fahrenheit(double celsius) {
  return celsius * 1.8 + 32;
}
double Mph(double kmh) {
  return kmh / 1.609344;
}
double MetresPerSecond(double kmh) {
  return kmh / 3.6;
}
double InHg(double hpa) {
  return hpa / 33.86389;
}
double Inches(double mm) {
  return mm / 25.4;
}

// Printed with a fixed number of decimals; a value that rounds to zero has no minus sign.
std::string Fixed(double value, int decimals) {
  FixedText buffer;
  std::string text(PrintFixed(value, decimals, buffer));
  if (!text.empty() && text.front() == '-' &&
      text.find_first_of("123456789") == std::string::npos) {
    text.erase(0, 1);
  }
  return text;
}

// Direction in whole degrees 0 to 359.
long Degrees(double value) {
  const long whole = std::lround(value);
  return ((whole % 360) + 360) % 360;
}

// A field's number by the console's marks for no reading.
std::optional<double> FieldValue(std::string_view field, bool mayBeNegative) {
  if (field.find(mayBeNegative ? "--" : "-") != std::string_view::npos) {
    return std::nullopt;
  }
  return ReadFieldNumber(field);
}

std::string TwoDigits(unsigned value) {
  return std::string(1, static_cast<char>('0' + value / 10 % 10)) +
         static_cast<char>('0' + value % 10);
}

struct UtcParts {
  int year;
  unsigned month, day, hour, minute, second;
};

UtcParts Utc(sys_seconds time) {
  const auto day = std::chrono::floor<std::chrono::days>(time);
  const std::chrono::year_month_day date{day};
  const std::chrono::hh_mm_ss clock{time - day};
  return {static_cast<int>(date.year()),
          static_cast<unsigned>(date.month()),
          static_cast<unsigned>(date.day()),
          static_cast<unsigned>(clock.hours().count()),
          static_cast<unsigned>(clock.minutes().count()),
          static_cast<unsigned>(clock.seconds().count())};
}

// "YYYY-MM-DD HH:MM:SS".
std::string DateUtc(sys_seconds time) {
  const UtcParts utc = Utc(time);
  return std::to_string(utc.year) + "-" + TwoDigits(utc.month) + "-" + TwoDigits(utc.day) + " " +
         TwoDigits(utc.hour) + ":" + TwoDigits(utc.minute) + ":" + TwoDigits(utc.second);
}

using Query = std::vector<std::pair<std::string_view, std::string>>;

// Adds the value when there is one: a missing reading is left out, never sent as zero.
void Add(Query& query, std::string_view name, const std::optional<double>& value,
         double (*convert)(double), int decimals) {
  if (value) {
    query.emplace_back(name, Fixed(convert ? convert(*value) : *value, decimals));
  }
}

std::string Url(std::string_view base, const Query& query) {
  std::string url(base);
  char separator = '?';
  for (const auto& [name, value] : query) {
    url += separator;
    url.append(name).append("=").append(EscapeQueryValue(value));
    separator = '&';
  }
  return url;
}

// The imperial fields PWSweather and WOW share, as Weather Underground's protocol names them.
void AddImperial(Query& query, const Observation& values) {
  Add(query, "tempf", values.outdoorTemperature, Fahrenheit, 1);
  Add(query, "dewptf", values.dewPoint, Fahrenheit, 1);
  Add(query, "humidity", values.outdoorHumidity, nullptr, 0);
  if (values.windDirection) {
    query.emplace_back("winddir", std::to_string(Degrees(*values.windDirection)));
  }
  Add(query, "windspeedmph", values.windSpeed, Mph, 1);
  Add(query, "windgustmph", values.windGust, Mph, 1);
  Add(query, "baromin", values.relativePressure, InHg, 3);
  Add(query, "rainin", values.rainLastHour, Inches, 2);
  Add(query, "dailyrainin", values.rainToday, Inches, 2);
}

// The UV index as the console wrote it, without trailing noise: 3 or 3.5.
std::optional<std::string> UvText(const Observation& values) {
  if (!values.uvIndex) {
    return std::nullopt;
  }
  return Fixed(*values.uvIndex, std::round(*values.uvIndex) == *values.uvIndex ? 0 : 1);
}

WebRequest Request(std::string_view ownUrl, const Query& query, const WebAccount& account) {
  WebRequest request;
  request.url = Url(account.endpoint.empty() ? ownUrl : account.endpoint, query);
  request.caFile = account.caFile;
  return request;
}

// APRS: a whole number in `width` digits, kept within them; dots for no reading.
std::string AprsNumber(const std::optional<double>& value, std::size_t width) {
  if (!value) {
    return std::string(width, '.');
  }
  const long most = width >= 5 ? 99999 : width == 3 ? 999 : 99;
  const long whole = std::clamp(std::lround(*value), 0L, most);
  std::string digits = std::to_string(whole);
  return std::string(width - std::min(width, digits.size()), '0') + digits;
}

// tTTT: three characters, "-01" for -1 °F.
std::string AprsTemperature(const std::optional<double>& celsius) {
  if (!celsius) {
    return "...";
  }
  const long whole = std::clamp(std::lround(Fahrenheit(*celsius)), -99L, 999L);
  if (whole < 0) {
    return "-" + AprsNumber(static_cast<double>(-whole), 2);
  }
  return AprsNumber(static_cast<double>(whole), 3);
}

// ddmm.hhN or dddmm.hhW: degrees, then minutes to a hundredth.
std::string AprsPosition(double degrees, std::size_t degreeDigits, char positive, char negative) {
  const long hundredths = std::lround(std::fabs(degrees) * 6000);
  const long whole = hundredths / 6000;
  const long minutes = hundredths % 6000;
  std::string text = AprsNumber(static_cast<double>(whole), degreeDigits);
  text += TwoDigits(static_cast<unsigned>(minutes / 100));
  text += '.';
  text += TwoDigits(static_cast<unsigned>(minutes % 100));
  text += degrees < 0 ? negative : positive;
  return text;
}

std::optional<double> Scaled(const std::optional<double>& value, double (*convert)(double),
                             double factor) {
  return value ? std::optional(convert(*value) * factor) : std::nullopt;
}

}  // namespace

Observation ReadObservation(std::string_view liveText) {
  const RecordFieldViews fields = SplitRecordInPlace(liveText.substr(0, 255));
  const auto value = [&fields](std::size_t field, bool mayBeNegative) {
    return FieldValue(fields[field], mayBeNegative);
  };
  Observation values;
  values.outdoorTemperature = value(kFieldOutdoorTemperature, true);
  values.dewPoint = value(kFieldDewPoint, true);
  values.outdoorHumidity = value(kFieldOutdoorHumidity, false);
  values.windDirection = value(kFieldWindDirectionDegrees, false);
  values.windSpeed = value(kFieldWindSpeed, false);
  values.windGust = value(kFieldWindGust, false);
  values.relativePressure = value(kFieldRelativePressure, false);
  values.rainLastHour = value(kFieldHourlyRain, false);
  values.rainToday = value(kFieldDailyRain, false);
  values.rainMonth = value(kFieldMonthlyRain, false);
  values.uvIndex = value(kFieldUvIndex, false);
  return values;
}

Observation ObservationOf(std::span<const double> values) {
  const auto value = [&values](std::size_t index) -> std::optional<double> {
    const bool mayBeNegative = index < 2;  // the two temperatures
    if (index >= values.size() || !std::isfinite(values[index]) ||
        (!mayBeNegative && values[index] < 0)) {
      return std::nullopt;
    }
    return values[index];
  };
  return {value(0), value(1), value(2), value(3), value(4), value(5),
          value(6), value(7), value(8), value(9), value(10)};
}

std::optional<double> RainFromDailyCounter(std::span<const double> dailyRain) {
  std::optional<double> previous;
  std::optional<double> total;
  for (const double value : dailyRain) {
    if (!std::isfinite(value) || value < 0) {
      continue;
    }
    if (previous) {
      total = total.value_or(0) + (value >= *previous ? value - *previous : value);
    }
    previous = value;
  }
  return total;
}

std::optional<sys_seconds> UtcFromConsoleTime(std::chrono::local_seconds local) {
  const auto day = std::chrono::floor<std::chrono::days>(local);
  const std::chrono::year_month_day date{day};
  const std::chrono::hh_mm_ss clock{local - day};
  std::tm parts{};
  parts.tm_year = static_cast<int>(date.year()) - 1900;
  parts.tm_mon = static_cast<int>(static_cast<unsigned>(date.month())) - 1;
  parts.tm_mday = static_cast<int>(static_cast<unsigned>(date.day()));
  parts.tm_hour = static_cast<int>(clock.hours().count());
  parts.tm_min = static_cast<int>(clock.minutes().count());
  parts.tm_sec = static_cast<int>(clock.seconds().count());
  parts.tm_isdst = -1;  // the zone's rules decide
  const std::time_t utc = std::mktime(&parts);
  if (utc == static_cast<std::time_t>(-1)) {
    return std::nullopt;
  }
  return sys_seconds{std::chrono::seconds{utc}};
}

std::string EscapeQueryValue(std::string_view text) {
  constexpr std::string_view kHex = "0123456789ABCDEF";
  std::string escaped;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
        c == '.' || c == '_' || c == '~') {
      escaped += c;
    } else {
      escaped += '%';
      escaped += kHex[byte >> 4];
      escaped += kHex[byte & 0xf];
    }
  }
  return escaped;
}

WebRequest ComposePwsWeather(const Observation& values, sys_seconds time,
                             const WebAccount& account) {
  Query query = {{"ID", account.id}, {"PASSWORD", account.key}, {"dateutc", DateUtc(time)}};
  AddImperial(query, values);
  Add(query, "monthrainin", values.rainMonth, Inches, 2);
  if (const auto uv = UvText(values)) {
    query.emplace_back("UV", *uv);
  }
  query.emplace_back("softwaretype", account.software);
  query.emplace_back("action", "updateraw");
  return Request(kPwsWeatherUrl, query, account);
}

WebRequest ComposeWow(const Observation& values, sys_seconds time, const WebAccount& account) {
  Query query = {{"siteid", account.id},
                 {"siteAuthenticationKey", account.key},
                 {"dateutc", DateUtc(time)},
                 {"softwaretype", account.software},
                 {"action", "updateraw"}};
  AddImperial(query, values);
  return Request(kWowUrl, query, account);
}

WebRequest ComposeWindy(const Observation& values, sys_seconds time, const WebAccount& account) {
  Query query = {{"id", account.id}, {"ts", std::to_string(time.time_since_epoch().count())}};
  Add(query, "temp", values.outdoorTemperature, nullptr, 1);
  Add(query, "dewpoint", values.dewPoint, nullptr, 1);
  Add(query, "humidity", values.outdoorHumidity, nullptr, 0);
  Add(query, "wind", values.windSpeed, MetresPerSecond, 1);
  Add(query, "gust", values.windGust, MetresPerSecond, 1);
  if (values.windDirection) {
    query.emplace_back("winddir", std::to_string(Degrees(*values.windDirection)));
  }
  Add(query, "pressure",
      Scaled(
          values.relativePressure, [](double hpa) { return hpa; }, 100),
      nullptr, 0);
  Add(query, "precip", values.rainLastHour, nullptr, 1);
  if (const auto uv = UvText(values)) {
    query.emplace_back("uv", *uv);
  }
  query.emplace_back("softwaretype", account.software);
  WebRequest request = Request(kWindyUrl, query, account);
  request.headers.emplace_back("Authorization", "Bearer " + account.key);
  return request;
}

AprsSession ComposeCwop(const Observation& values, sys_seconds time, const CwopStation& station,
                        std::optional<double> rainLast24Hours) {
  AprsSession session;
  session.host = station.host;
  session.port = station.port;
  const std::string passcode = station.passcode.empty() ? "-1" : station.passcode;
  session.loginLine = "user " + station.callsign + " pass " + passcode + " vers Nimbrel " +
                      station.version + "\r\n";
  const UtcParts utc = Utc(time);
  const auto hundredths = [](const std::optional<double>& mm) { return Scaled(mm, Inches, 100); };
  std::optional<double> humidity = values.outdoorHumidity;
  if (humidity && std::lround(*humidity) >= 100) {
    humidity = 0;  // two digits: "00" stands for 100 %
  }
  const std::optional<double> direction =
      values.windDirection ? std::optional<double>(Degrees(*values.windDirection)) : std::nullopt;
  session.packet = station.callsign + ">APRS,TCPIP*:@" + TwoDigits(utc.day) + TwoDigits(utc.hour) +
                   TwoDigits(utc.minute) + "z" + AprsPosition(station.latitude, 2, 'N', 'S') + "/" +
                   AprsPosition(station.longitude, 3, 'E', 'W') + "_" + AprsNumber(direction, 3) +
                   "/" + AprsNumber(Scaled(values.windSpeed, Mph, 1), 3) + "g" +
                   AprsNumber(Scaled(values.windGust, Mph, 1), 3) + "t" +
                   AprsTemperature(values.outdoorTemperature) + "r" +
                   AprsNumber(hundredths(values.rainLastHour), 3) + "p" +
                   AprsNumber(hundredths(rainLast24Hours), 3) + "P" +
                   AprsNumber(hundredths(values.rainToday), 3) + "h" + AprsNumber(humidity, 2) +
                   "b" +
                   AprsNumber(Scaled(
                                  values.relativePressure, [](double hpa) { return hpa; }, 10),
                              5) +
                   "Nimbrel\r\n";
  return session;
}

std::string MaskedUrl(std::string_view url) {
  std::string masked(url);
  for (const std::string_view name : {"PASSWORD=", "siteAuthenticationKey="}) {
    for (std::size_t at = masked.find(name); at != std::string::npos;
         at = masked.find(name, at + 1)) {
      if (at == 0 || (masked[at - 1] != '?' && masked[at - 1] != '&')) {
        continue;
      }
      const std::size_t value = at + name.size();
      const std::size_t end = std::min(masked.find('&', value), masked.size());
      masked.replace(value, end - value, "***");
    }
  }
  return masked;
}

}  // namespace nimbrel
