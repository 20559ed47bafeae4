// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <string_view>

#include "i18n/language.h"

namespace nimbrel {

// Texts of our own that the five packs do not carry, in every language: a table keyed by number
// like the packs' l1 to l69, so that a panel looks up both the same way. Placeholders %1, %2 are
// filled in by the panel.
inline constexpr int kFirstOwnKey = 1;
inline constexpr int kLastOwnKey = 108;

// The keys, by what they name.
inline constexpr int kOwnDownloadToArchive = 1;  // the archive-only download's button
inline constexpr int kOwnArchiveRecords = 2;     // "Archive: %1 records"
inline constexpr int kOwnArchiveNotInUse = 3;
inline constexpr int kOwnArchiveOpening = 4;
inline constexpr int kOwnLastMerge = 5;  // "Last merge: %1" (a date and time)
inline constexpr int kOwnNoMergeYet = 6;
inline constexpr int kOwnMerging = 7;
inline constexpr int kOwnIncomplete = 8;  // "%1, incomplete": the last merge lacked records

// The History tab and its panel.
inline constexpr int kOwnHistoryTab = 9;
inline constexpr int kOwnReadingsTitle = 10;
inline constexpr int kOwnPeriodTitle = 11;
inline constexpr int kOwnChannelsTitle = 12;
inline constexpr int kOwnFirstKind = 13;    // six, in ChartKind order
inline constexpr int kOwnFirstPeriod = 19;  // 24 hours, 7 days, 30 days, 12 months, from/to
inline constexpr int kOwnFromDate = 24;
inline constexpr int kOwnToDate = 25;
inline constexpr int kOwnMinimum = 26;
inline constexpr int kOwnMaximum = 27;
inline constexpr int kOwnMean = 28;
inline constexpr int kOwnReadingChart = 29;  // while the archive is read
inline constexpr int kOwnChartNoArchive = 30;
inline constexpr int kOwnChartNoRecords = 31;
inline constexpr int kOwnSavePng = 32;
inline constexpr int kOwnSaveSvg = 33;
// Sixteen series names in ChartSeriesId order (a channel's holds "%1" for its number); the
// pressure's is the relative one, the absolute one follows them.
inline constexpr int kOwnFirstSeries = 34;
inline constexpr int kOwnAbsolutePressure = 50;
// The status bar during a download into the archive alone (an export says "Exporting").
inline constexpr int kOwnDownloading = 51;

// The Records tab and its view: highs, lows and rain totals of six periods.
inline constexpr int kOwnRecordsTab = 52;
inline constexpr int kOwnFirstRecordsPeriod = 53;  // today, yesterday, month, year, season, all
inline constexpr int kOwnOutdoorTemperature = 59;
inline constexpr int kOwnOutdoorHumidity = 60;
inline constexpr int kOwnWindSpeed = 61;
inline constexpr int kOwnIndoorTemperature = 62;
inline constexpr int kOwnRainTotal = 63;
inline constexpr int kOwnWettestDay = 64;
// The setup panel's first month of the rain season.
inline constexpr int kOwnRainSeasonStart = 65;

// The web dashboard's own texts (its views, the live view's notices, the records view).
inline constexpr int kOwnNow = 66;
inline constexpr int kOwnConsoleWaiting = 67;
inline constexpr int kOwnLastHourRain = 68;
inline constexpr int kOwnConnecting = 69;
inline constexpr int kOwnHeldByWindow = 70;
inline constexpr int kOwnConsoleGone = 71;
inline constexpr int kOwnServiceGone = 72;
inline constexpr int kOwnCouldNotLoad = 73;
inline constexpr int kOwnCount = 74;
inline constexpr int kOwnAt = 75;
inline constexpr int kOwnRainDays = 76;
inline constexpr int kOwnHighestRate = 77;
inline constexpr int kOwnRecordCount = 78;
inline constexpr int kOwnMissingDays = 79;
inline constexpr int kOwnNoReadings = 80;
inline constexpr int kOwnNone = 81;

// The "Weather services" dialog: every service's settings and how it fared.
inline constexpr int kOwnWeatherServices = 82;
inline constexpr int kOwnServiceOn = 83;
inline constexpr int kOwnStationId = 84;
inline constexpr int kOwnKeyOrPassword = 85;
inline constexpr int kOwnKeyKept = 86;  // shown in an empty key box while a key is stored
inline constexpr int kOwnInterval = 87;
inline constexpr int kOwnCatchUp = 88;  // the switch; "%1": how many hours back
inline constexpr int kOwnCatchUpLabel = 89;
inline constexpr int kOwnAdvanced = 90;
inline constexpr int kOwnEndpoint = 91;
inline constexpr int kOwnServiceOwn = 92;  // an empty endpoint
inline constexpr int kOwnCaFile = 93;
inline constexpr int kOwnSystemCas = 94;  // an empty CA file
inline constexpr int kOwnCallsign = 95;
inline constexpr int kOwnPasscode = 96;
inline constexpr int kOwnLatitude = 97;
inline constexpr int kOwnLongitude = 98;
inline constexpr int kOwnLastSuccess = 99;
inline constexpr int kOwnLastError = 100;
inline constexpr int kOwnNever = 101;
inline constexpr int kOwnNoError = 102;
inline constexpr int kOwnSwitchedOnPanel = 103;    // "%1": the setup panel's Auto Upload text
inline constexpr int kOwnConsolePace = 104;        // Weather Underground's schedule
inline constexpr int kOwnConsolePaceSpaced = 105;  // Weathercloud's
inline constexpr int kOwnNoCatchUpLive = 106;      // the console's services
inline constexpr int kOwnNoCatchUpCwop = 107;
inline constexpr int kOwnCancel = 108;

// The text of an own key in a language; empty for any other key.
std::u16string_view OwnText(LanguageIndex language, int key);

}  // namespace nimbrel
