// SPDX-License-Identifier: GPL-3.0-or-later
#include "web/routes.h"

#include "web/answer_cache.h"

#include <algorithm>
#include <array>
#include <memory>

#include "i18n/utf8.h"
#include "readings/live_readings.h"
#include "readings/reading_format.h"
#include "web/json_text.h"
#include "web/page_files.h"
#include "web/page_texts.h"
#include "web/query.h"
#ifdef NIMBREL_WITH_ARCHIVE
#include "web/history_routes.h"
#endif

namespace nimbrel::web {

namespace {

constexpr std::string_view kApiPrefix = "/api/";
constexpr std::string_view kTextsPath = "/api/v1/texts";

// A value the dashboard shows, under the state object's key.
struct ShownKey {
  std::string_view key;
  std::size_t field;
  ReadingKind kind;
};

constexpr std::array<ShownKey, 30> kShownKeys = {{
    {"indoor_temperature", kFieldIndoorTemperature, ReadingKind::Temperature},
    {"indoor_humidity", kFieldIndoorHumidity, ReadingKind::Humidity},
    {"outdoor_temperature", kFieldOutdoorTemperature, ReadingKind::Temperature},
    {"outdoor_humidity", kFieldOutdoorHumidity, ReadingKind::Humidity},
    {"dew_point", kFieldDewPoint, ReadingKind::Temperature},
    {"heat_index", kFieldHeatIndex, ReadingKind::Temperature},
    {"wind_chill", kFieldWindChill, ReadingKind::Temperature},
    {"wind_speed", kFieldWindSpeed, ReadingKind::WindSpeed},
    {"wind_gust", kFieldWindGust, ReadingKind::WindSpeed},
    {"rain_daily", kFieldDailyRain, ReadingKind::Rainfall},
    {"rain_rate", kFieldRainRate, ReadingKind::RainRate},
    {"rain_hourly", kFieldHourlyRain, ReadingKind::Rainfall},
    {"rain_weekly", kFieldWeeklyRain, ReadingKind::Rainfall},
    {"rain_monthly", kFieldMonthlyRain, ReadingKind::Rainfall},
    {"uv_index", kFieldUvIndex, ReadingKind::UvIndex},
    {"ch1_temperature", 18, ReadingKind::Temperature},
    {"ch1_humidity", 19, ReadingKind::Humidity},
    {"ch2_temperature", 20, ReadingKind::Temperature},
    {"ch2_humidity", 21, ReadingKind::Humidity},
    {"ch3_temperature", 22, ReadingKind::Temperature},
    {"ch3_humidity", 23, ReadingKind::Humidity},
    {"ch4_temperature", 24, ReadingKind::Temperature},
    {"ch4_humidity", 25, ReadingKind::Humidity},
    {"ch5_temperature", 26, ReadingKind::Temperature},
    {"ch5_humidity", 27, ReadingKind::Humidity},
    {"ch6_temperature", 28, ReadingKind::Temperature},
    {"ch6_humidity", 29, ReadingKind::Humidity},
    {"ch7_temperature", 30, ReadingKind::Temperature},
    {"ch7_humidity", 31, ReadingKind::Humidity},
    {"pressure", 0, ReadingKind::Pressure},  // the field of the chosen type
}};

// "21.3 °C"; null for what the dashboard leaves blank.
void AppendShown(std::string& out, const FormattedReading& reading) {
  if (!reading.drawn) {
    out += "null";
    return;
  }
  std::u16string text = reading.value;
  if (!reading.suffix.empty()) {
    text.append(u" ").append(reading.suffix);
  }
  AppendJsonString(out, ToUtf8(text));
}

std::string FormattedJson(const LiveReadings& readings, const UnitSettings& units) {
  std::string out = "{";
  for (const ShownKey& shown : kShownKeys) {
    const std::size_t field =
        shown.kind == ReadingKind::Pressure ? std::size_t{PressureField(units)} : shown.field;
    AppendJsonString(out, shown.key);
    out += ':';
    AppendShown(out, FormatReading(shown.kind, readings[field].View(), units));
    out += ',';
  }
  const FormattedReading direction =
      FormatReading(ReadingKind::WindDirection, readings[WindDirectionField(units)].View(), units);
  out += "\"wind_direction\":";
  AppendShown(out, direction);
  out += ",\"wind_dial\":" + std::to_string(direction.dialNumber) + "}";
  return out;
}

Response CurrentAnswer(const ApiContext& context, const DisplayChoice& display) {
  const LiveSnapshot live = context.live ? context.live() : LiveSnapshot{};
  std::string out = "{\"state\":";
  out += live.text.empty() || live.stateJson.empty() ? "null" : live.stateJson;
  out += ",\"formatted\":";
  if (live.text.empty()) {
    out += "null";
  } else {
    LiveReadings readings;
    DecodeLiveText(live.text, readings);
    out += FormattedJson(readings, display.units);
  }
  out += ",\"time\":";
  if (live.received && !live.text.empty()) {
    AppendJsonString(out, UtcText(*live.received));
  } else {
    out += "null";
  }
  out += ",\"console\":";
  AppendJsonString(out, ConsoleStateName(live.console));
  out += ",\"lang\":";
  AppendJsonString(out, LanguageCode(display.language));
  out += ",\"history\":";
  out += context.openArchive ? "true" : "false";
  return JsonResponse(out + "}");
}

Response PageFile(const Request& request) {
  std::string_view path = request.path;
  if (path == "/") {
    path = "/index.html";
  }
  const auto files = PageFiles();
  const auto file = std::find_if(files.begin(), files.end(),
                                 [&](const EmbeddedFile& f) { return f.path == path; });
  if (file == files.end()) {
    return ErrorResponse(404, "no such page or file");
  }
  Response response;
  response.contentType = std::string(file->contentType);
  response.body = std::string(file->gzipped);
  response.gzipped = true;
  response.headers.push_back({"Cache-Control", "no-cache"});
  return response;
}

using RouteAnswer = Response (*)(const ApiContext&, const ParsedQuery&, const DisplayChoice&);

struct ApiRoute {
  std::string_view path;
  std::span<const std::string_view> parameters;  // beside the display ones
  RouteAnswer answer;
  bool readsArchive;
};

Response Current(const ApiContext& context, const ParsedQuery&, const DisplayChoice& display) {
  return CurrentAnswer(context, display);
}

#ifndef NIMBREL_WITH_ARCHIVE
// Never reached: without the archive there is no way to open one.
Response SeriesAnswer(const ApiContext&, const ParsedQuery&, const DisplayChoice&) {
  return ErrorResponse(503, "history needs the archive, which this build leaves out");
}
constexpr RouteAnswer StatsAnswer = SeriesAnswer;
#endif

constexpr std::array<std::string_view, 6> kSeriesParameters = {"what", "from",   "to",
                                                               "last", "points", "channels"};
constexpr std::array<std::string_view, 5> kStatsParameters = {"day", "month", "year", "season",
                                                              "all"};
const std::array<ApiRoute, 3> kApiRoutes = {{
    {"/api/v1/current", {}, Current, false},
    {"/api/v1/series", kSeriesParameters, SeriesAnswer, true},
    {"/api/v1/stats", kStatsParameters, StatsAnswer, true},
}};

Response ApiAnswer(const ApiContext& context, AnswerCache& cache, const Request& request) {
  const auto route = std::find_if(kApiRoutes.begin(), kApiRoutes.end(),
                                  [&](const ApiRoute& r) { return r.path == request.path; });
  if (route == kApiRoutes.end()) {
    return ErrorResponse(404,
                         "no such API route; see /api/v1/current, /api/v1/series, "
                         "/api/v1/stats, /api/v1/events, /api/v1/texts");
  }
  const ParsedQuery query = ParseQuery(request.query);
  if (!query.error.empty()) {
    return ErrorResponse(400, query.error);
  }
  if (const Parameter* unknown = FirstUnknown(query, route->parameters)) {
    const bool plain = unknown->name.size() <= 32 &&
                       std::all_of(unknown->name.begin(), unknown->name.end(), [](char c) {
                         return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
                       });
    return ErrorResponse(
        400, plain ? "unknown parameter: " + unknown->name : std::string("unknown parameter"));
  }
  const DisplayChoice display = ReadDisplay(query, context.units, context.language);
  if (!display.error.empty()) {
    return ErrorResponse(400, display.error);
  }
  if (route->readsArchive && !context.openArchive) {
    return ErrorResponse(503, "history needs the archive, which this build leaves out");
  }
  if (!route->readsArchive || !context.archiveGeneration) {
    return route->answer(context, query, display);
  }
  const std::string key = request.path + "?" + request.query;
  const std::uint64_t generation = context.archiveGeneration();
  if (auto kept = cache.Find(key, generation, AnswerCache::Clock::now())) {
    return *std::move(kept);
  }
  Response response = route->answer(context, query, display);
  if (response.status == 200) {
    cache.Keep(key, generation, AnswerCache::Clock::now(), response);
  }
  return response;
}

// What the handler keeps for the run.
struct Served {
  ApiContext context;
  std::string texts;  // the page's words, the same for the whole run
  AnswerCache cache;
};

Response Answer(Served& served, const Request& request) {
  if (request.method != "GET" && request.method != "HEAD") {
    Response response = ErrorResponse(405, "only GET and HEAD are answered");
    response.headers.push_back({"Allow", "GET, HEAD"});
    return response;
  }
  if (request.path == kTextsPath) {
    Response response = JsonResponse(served.texts);
    response.headers = {{"Cache-Control", "no-cache"}};
    return response;
  }
  if (request.path.starts_with(kApiPrefix)) {
    return ApiAnswer(served.context, served.cache, request);
  }
  return PageFile(request);
}

}  // namespace

std::string_view ConsoleStateName(ConsoleState state) {
  switch (state) {
    case ConsoleState::kConnected:
      return "connected";
    case ConsoleState::kGone:
      return "gone";
    case ConsoleState::kWaiting:
      break;
  }
  return "waiting";
}

Response ErrorResponse(int status, std::string_view message) {
  std::string body = "{\"error\":";
  AppendJsonString(body, message);
  Response response = JsonResponse(body + "}");
  response.status = status;
  return response;
}

Response JsonResponse(std::string body) {
  Response response;
  response.body = std::move(body);
  response.headers.push_back({"Cache-Control", "no-store"});
  return response;
}

Handler MakeApi(ApiContext context) {
  auto served = std::make_shared<Served>();
  served->texts = PageTextsJson(LoadLanguagePacks());
  served->context = std::move(context);
  return [served](const Request& request) {
    // Whatever goes wrong inside an answer (memory, a broken invariant) is the server's 500,
    // never a dropped connection or a stopped service.
    try {
      return Answer(*served, request);
    } catch (const std::exception&) {
      return ErrorResponse(500, "the answer failed");
    }
  };
}

}  // namespace nimbrel::web
