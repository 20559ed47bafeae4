// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLocale>
#include <QString>
#include <array>
#include <vector>

#include "i18n/language.h"
#include "readings/unit_settings.h"
#include "ui/records_figures.h"

namespace nimbrel::ui {

// One figure of the Records tab: the value with its unit ("--" for none) and when it was reached
// (empty for none).
struct RecordsCell {
  QString value;
  QString when;
};

// One row: the value's name on the first row of its group (empty on the others), "max" or "min",
// and a cell per period.
struct RecordsRow {
  QString name;
  QString mark;
  std::array<RecordsCell, kRecordsPeriodCount> cells;
};

struct RecordsTable {
  std::array<QString, kRecordsPeriodCount> titles;  // "Today", ...
  std::array<QString, kRecordsPeriodCount> spans;   // the days each period covers
  std::vector<RecordsRow> rows;
};

// The locale of the program's language (month names).
QLocale LanguageLocale(LanguageIndex language);

// The figures as the tab shows them: in the user's units, the words of `language`, dates and
// times in `locale` (the desktop's).
RecordsTable MakeRecordsTable(const RecordsFigures& figures, const UnitSettings& units,
                              LanguageIndex language, const QLocale& locale);

}  // namespace nimbrel::ui
