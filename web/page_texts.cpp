// SPDX-License-Identifier: GPL-3.0-or-later
#include "web/page_texts.h"

#include <array>
#include <string_view>

#include "i18n/own_texts.h"
#include "i18n/utf8.h"
#include "web/json_text.h"
#include "web/query.h"

namespace nimbrel::web {

namespace {

enum class From : std::uint8_t { kPack, kOwn };

// A word of the page and where the window keeps the same word.
struct PageText {
  std::string_view key;
  From from;
  int number;  // ln of the packs, or an own key
};

constexpr std::array<PageText, 70> kPageTexts = {{
    {"language_name", From::kPack, kLanguageNameKey},
    {"language", From::kPack, 2},
    {"logger", From::kPack, 54},
    {"state_connected", From::kPack, 55},
    {"state_gone", From::kPack, 56},
    {"state_waiting", From::kOwn, kOwnConsoleWaiting},
    {"reading_at", From::kPack, 58},
    {"time", From::kPack, 60},
    {"now", From::kOwn, kOwnNow},
    {"history", From::kOwn, kOwnHistoryTab},
    {"records", From::kOwn, kOwnRecordsTab},
    {"indoor", From::kOwn, kOwnFirstSeries},
    {"outdoor", From::kOwn, kOwnFirstSeries + 1},
    {"temperature", From::kPack, 8},
    {"humidity", From::kPack, 9},
    {"wind", From::kOwn, kOwnFirstKind + 3},
    {"speed", From::kOwn, kOwnFirstSeries + 10},
    {"gust", From::kOwn, kOwnFirstSeries + 11},
    {"direction", From::kOwn, kOwnFirstSeries + 12},
    {"rain", From::kOwn, kOwnFirstKind + 4},
    {"rain_daily", From::kPack, 62},
    {"rain_rate", From::kOwn, kOwnFirstSeries + 13},
    {"rain_hourly", From::kOwn, kOwnLastHourRain},
    {"rain_weekly", From::kPack, 63},
    {"rain_monthly", From::kPack, 64},
    {"index", From::kPack, 17},
    {"pressure", From::kOwn, kOwnFirstKind + 2},
    {"pressure_relative", From::kOwn, kOwnFirstSeries + 9},
    {"pressure_absolute", From::kOwn, kOwnAbsolutePressure},
    {"uv", From::kOwn, kOwnFirstKind + 5},
    {"uv_index", From::kOwn, kOwnFirstSeries + 15},
    {"dew_point", From::kOwn, kOwnFirstSeries + 2},
    {"heat_index", From::kOwn, kOwnFirstSeries + 3},
    {"wind_chill", From::kOwn, kOwnFirstSeries + 4},
    {"channels", From::kOwn, kOwnChannelsTitle},
    {"channel", From::kOwn, kOwnFirstSeries + 5},  // "CH%1"
    {"connecting", From::kOwn, kOwnConnecting},
    {"console_waiting", From::kOwn, kOwnHeldByWindow},
    {"console_gone", From::kOwn, kOwnConsoleGone},
    {"service_gone", From::kOwn, kOwnServiceGone},
    {"readings", From::kOwn, kOwnReadingsTitle},
    {"period", From::kOwn, kOwnPeriodTitle},
    {"last_24h", From::kOwn, kOwnFirstPeriod},
    {"last_7d", From::kOwn, kOwnFirstPeriod + 1},
    {"last_30d", From::kOwn, kOwnFirstPeriod + 2},
    {"last_12m", From::kOwn, kOwnFirstPeriod + 3},
    {"range", From::kOwn, kOwnFirstPeriod + 4},
    {"from", From::kOwn, kOwnFromDate},
    {"to", From::kOwn, kOwnToDate},
    {"no_data", From::kOwn, kOwnChartNoRecords},
    {"load_failed", From::kOwn, kOwnCouldNotLoad},
    {"today", From::kOwn, kOwnFirstRecordsPeriod},
    {"yesterday", From::kOwn, kOwnFirstRecordsPeriod + 1},
    {"month", From::kOwn, kOwnFirstRecordsPeriod + 2},
    {"year", From::kOwn, kOwnFirstRecordsPeriod + 3},
    {"season", From::kOwn, kOwnFirstRecordsPeriod + 4},
    {"all", From::kOwn, kOwnFirstRecordsPeriod + 5},
    {"high", From::kOwn, kOwnMaximum},
    {"low", From::kOwn, kOwnMinimum},
    {"mean", From::kOwn, kOwnMean},
    {"count", From::kOwn, kOwnCount},
    {"at", From::kOwn, kOwnAt},
    {"total", From::kOwn, kOwnRainTotal},
    {"wettest_day", From::kOwn, kOwnWettestDay},
    {"rain_days", From::kOwn, kOwnRainDays},
    {"rate_high", From::kOwn, kOwnHighestRate},
    {"record_count", From::kOwn, kOwnRecordCount},
    {"missing_days", From::kOwn, kOwnMissingDays},
    {"no_readings", From::kOwn, kOwnNoReadings},
    {"none", From::kOwn, kOwnNone},
}};

std::u16string_view TextOf(const LanguageTables& packs, LanguageIndex language,
                           const PageText& text) {
  if (text.from == From::kPack) {
    return LanguageText(packs, language, text.number);
  }
  return OwnText(language, text.number);
}

void AppendLanguage(std::string& out, const LanguageTables& packs, LanguageIndex language) {
  AppendJsonString(out, LanguageCode(language));
  out += ":{";
  bool first = true;
  for (const PageText& text : kPageTexts) {
    if (!first) {
      out += ',';
    }
    first = false;
    AppendJsonString(out, text.key);
    out += ':';
    AppendJsonString(out, ToUtf8(TextOf(packs, language, text)));
  }
  out += '}';
}

}  // namespace

std::string PageTextsJson(const LanguageTables& packs) {
  std::string out = "{";
  for (std::size_t i = 0; i < kLanguageCount; ++i) {
    if (i != 0) {
      out += ',';
    }
    AppendLanguage(out, packs, static_cast<LanguageIndex>(i));
  }
  return out + '}';
}

}  // namespace nimbrel::web
