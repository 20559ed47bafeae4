// SPDX-License-Identifier: GPL-3.0-or-later
#include "web/history_routes.h"

#include <algorithm>
#include <charconv>
#include <memory>

#include "archive/archive.h"
#include "chart/chart_columns.h"
#include "chart/chart_load.h"
#include "i18n/utf8.h"
#include "stats/stats_text.h"
#include "web/json_text.h"

namespace nimbrel::web {

namespace {

using std::chrono::local_days;

// The archive, or the answer that says it cannot be read now: the whole text goes to the
// service's report, the answer does not name the file.
std::unique_ptr<Archive> OpenToRead(const ApiContext& context, Response& failure) {
  ArchiveError error{};
  std::unique_ptr<Archive> archive = context.openArchive(error);
  if (!archive) {
    if (context.reportFault) {
      context.reportFault(error.message);
    }
    failure = ErrorResponse(503, "the archive cannot be read now");
  }
  return archive;
}

Response ReadFailure(const ApiContext& context, const ArchiveError& error) {
  if (context.reportFault) {
    context.reportFault(error.message);
  }
  return ErrorResponse(503, "the archive cannot be read now");
}

bool ReadWhole(std::string_view text, int& value) {
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size() && !text.empty();
}

struct SeriesQuery {
  ChartRequest request;
  int points = kDefaultPoints;
};

std::string ReadSeriesQuery(const ParsedQuery& query, SeriesQuery& parsed) {
  const Parameter* what = query.Find("what");
  const auto kind = what ? ParseChartKind(what->value) : std::nullopt;
  if (!kind) {
    return "what takes temperature, humidity, pressure, wind, rain or uv";
  }
  parsed.request.kind = *kind;
  const Parameter* last = query.Find("last");
  const Parameter* from = query.Find("from");
  const Parameter* to = query.Find("to");
  if (last ? from || to : !(from && to)) {
    return "give either last or both from and to";
  }
  if (last) {
    const auto period = ParseChartLast(last->value);
    if (!period) {
      return "last takes 24h, 7d, 30d or 12m";
    }
    parsed.request.period = *period;
  } else {
    const auto first = ReadQueryDay(from->value);
    const auto final = ReadQueryDay(to->value);
    if (!first || !final) {
      return "from and to take dates such as 2025-1-2, years 1970 to 2099";
    }
    if (*final < *first) {
      return "to is before from";
    }
    parsed.request.period = {ChartSpan::kChosen, *first, *final};
  }
  if (const Parameter* points = query.Find("points");
      points && (!ReadWhole(points->value, parsed.points) || parsed.points < 1 ||
                 parsed.points > kMostPoints)) {
    return "points takes a number of 1 to 2000";
  }
  if (const Parameter* channels = query.Find("channels");
      channels && !ParseChartChannels(channels->value, parsed.request.channels)) {
    return "channels takes channel numbers 1 to 7, comma-separated";
  }
  return {};
}

std::string_view StyleName(ChartStyle style) {
  switch (style) {
    case ChartStyle::kPoints:
      return "points";
    case ChartStyle::kBars:
      return "bars";
    case ChartStyle::kLine:
      break;
  }
  return "line";
}

// The columns as [start, first, last, min, max], null for a column without a reading; "breaks"
// lists the columns whose first reading is not joined to the reading before (they are further
// apart than the gap limit). A line joins across empty columns otherwise, as the window draws it:
// columns narrower than the record interval are no gap.
void AppendColumns(std::string& out, const ChartSeries& series, const ChartWindow& window,
                   int points) {
  const std::vector<ChartColumn> columns = ColumnsOf(series, window, points);
  const auto span = window.end - window.begin;
  std::string breaks;
  bool seen = false;  // a column with a reading came before
  out += ",\"columns\":[";
  for (std::size_t i = 0; i < columns.size(); ++i) {
    const ChartColumn& column = columns[i];
    const auto start = window.begin + span * static_cast<long>(i) / points;
    out += i == 0 ? "[" : ",[";
    AppendJsonString(out, IsoMinuteText(start));
    if (!column.present) {
      out += ",null,null,null,null]";
      continue;
    }
    for (const double value : {column.first, column.last, column.min, column.max}) {
      out += ',';
      AppendJsonNumber(out, value, series.decimals);
    }
    out += ']';
    if (column.gapBefore && seen) {
      breaks += (breaks.empty() ? "" : ",") + std::to_string(i);
    }
    seen = true;
  }
  out += "],\"breaks\":[" + breaks + "]";
}

std::string SeriesJson(const ChartData& data, int points) {
  std::string out = "{\"what\":";
  AppendJsonString(out, ChartKindName(data.kind));
  out += ",\"unit\":";
  AppendJsonString(out, data.series.empty() ? "" : ToUtf8(data.series.front().unit));
  out += ",\"from\":";
  AppendJsonString(out, IsoMinuteText(data.window.begin));
  out += ",\"to\":";
  AppendJsonString(out, IsoMinuteText(data.window.end));
  out += ",\"points\":" + std::to_string(points) + ",\"series\":[";
  for (const ChartSeries& series : data.series) {
    out += &series == data.series.data() ? "{\"key\":" : ",{\"key\":";
    AppendJsonString(out, ChartSeriesKey(series, data.units));
    out += ",\"unit\":";
    AppendJsonString(out, ToUtf8(series.unit));
    out += ",\"style\":";
    AppendJsonString(out, StyleName(series.style));
    out += series.axis == ChartAxis::kRight ? ",\"axis\":\"right\"" : ",\"axis\":\"left\"";
    out += ",\"decimals\":" + std::to_string(series.decimals);
    AppendColumns(out, series, data.window, points);
    out += '}';
  }
  return out + "]}";
}

local_days Today(const ApiContext& context) {
  return std::chrono::floor<std::chrono::days>(context.now ? context.now() : ClockNow());
}

// The days one period parameter names, or an error text.
std::string ReadStatsPeriod(const ApiContext& context, const Parameter& p, DayRange& period) {
  const local_days today = Today(context);
  const std::chrono::year_month_day date{today};
  if (p.name == "day") {
    const auto day = p.value == "today"       ? std::optional(today)
                     : p.value == "yesterday" ? std::optional(today - std::chrono::days{1})
                                              : ReadQueryDay(p.value);
    period = {day.value_or(today), day.value_or(today)};
    return day ? "" : "day takes today, yesterday or a date such as 2025-1-2";
  }
  if (p.name == "month") {
    const auto month =
        p.value == "current" ? std::optional(date.year() / date.month()) : ReadQueryMonth(p.value);
    period = month ? MonthDays(*month) : DayRange{};
    return month ? "" : "month takes current or a year and month such as 2025-1";
  }
  if (p.value == "current") {
    period = p.name == "year" ? YearDays(date.year()) : SeasonOf(today, context.rainSeasonStart);
    return "";
  }
  const auto year = ReadQueryYear(p.value);
  if (!year) {
    return p.name + " takes current or a year such as 2025";
  }
  period = p.name == "year" ? YearDays(*year) : SeasonDays(*year, context.rainSeasonStart);
  return "";
}

// From the first dated record to the last, or to today's live samples after it.
Response ReadAll(const ApiContext& context, Archive& archive, DayRange& period,
                 std::vector<DaySummary>& days) {
  ArchiveInfo info;
  if (const ArchiveStatus status = archive.ReadInfo(info)) {
    return ReadFailure(context, *status);
  }
  if (!info.firstRecord || !info.lastRecord) {
    return ErrorResponse(404, "the archive holds no dated records yet");
  }
  const auto day = [](RecordTimePoint time) { return std::chrono::floor<std::chrono::days>(time); };
  period = {day(*info.firstRecord), day(*info.lastRecord)};
  if (const ArchiveStatus status =
          archive.ReadDays(period.first, std::max(period.last, Today(context)), days)) {
    return ReadFailure(context, *status);
  }
  if (!days.empty()) {
    period.last = std::max(period.last, days.back().day);
  }
  return Response{};
}

}  // namespace

Response SeriesAnswer(const ApiContext& context, const ParsedQuery& query,
                      const DisplayChoice& display) {
  SeriesQuery parsed;
  parsed.request.units = display.units;
  if (const std::string error = ReadSeriesQuery(query, parsed); !error.empty()) {
    return ErrorResponse(400, error);
  }
  Response failure;
  const std::unique_ptr<Archive> archive = OpenToRead(context, failure);
  if (!archive) {
    return failure;
  }
  ChartData data;
  const RecordTimePoint now = context.now ? context.now() : ClockNow();
  if (const ArchiveStatus status = LoadChart(*archive, parsed.request, now, data)) {
    return ReadFailure(context, *status);
  }
  return JsonResponse(SeriesJson(data, parsed.points));
}

Response StatsAnswer(const ApiContext& context, const ParsedQuery& query,
                     const DisplayChoice& display) {
  constexpr std::string_view kOnePeriod =
      "give one of day=Y-M-D, month=Y-M, year=Y, season=Y or all";
  const Parameter* chosen = nullptr;
  for (const std::string_view name : {"day", "month", "year", "season", "all"}) {
    if (const Parameter* p = query.Find(name)) {
      if (chosen != nullptr) {
        return ErrorResponse(400, kOnePeriod);
      }
      chosen = p;
    }
  }
  if (chosen == nullptr || (chosen->name == "all" && !chosen->value.empty())) {
    return ErrorResponse(400, kOnePeriod);
  }
  DayRange period{};
  if (chosen->name != "all") {
    if (const std::string error = ReadStatsPeriod(context, *chosen, period); !error.empty()) {
      return ErrorResponse(400, error);
    }
  }
  Response failure;
  const std::unique_ptr<Archive> archive = OpenToRead(context, failure);
  if (!archive) {
    return failure;
  }
  std::vector<DaySummary> days;
  if (chosen->name == "all") {
    if (Response answer = ReadAll(context, *archive, period, days); answer.status != 200) {
      return answer;
    }
  } else if (const ArchiveStatus status = archive->ReadDays(period.first, period.last, days)) {
    return ReadFailure(context, *status);
  }
  return JsonResponse(StatsJson(Summarize(days, period.first, period.last), display.units));
}

}  // namespace nimbrel::web
