// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

#include "export/export_file.h"
#include "readings/unit_settings.h"
#include "settings/export_request.h"

namespace nimbrel {

// The plain export for data tools: UTF-8 without a byte-order mark, comma-separated with RFC 4180
// quoting, lines ending in CR LF, one header line of column names. The first column is the
// record's time in ISO 8601 ("2018-01-02T08:05"); then come the columns of the chosen data sets,
// in the order of the spreadsheet export, each named with its unit ("outdoor_temperature_f"),
// with the same conversions and decimals and a dot as the decimal mark. A cell with no reading is
// empty; a record whose time cannot be read has its date alone ("2018-01-02"), one whose date
// cannot be read an empty first cell.
class CsvExport {
 public:
  CsvExport(const ExportRequest& request, const UnitSettings& units)
      : request_(request), units_(units) {}

  // The header line, with its CR LF.
  std::string HeaderLine() const;
  // Appends the line of one record text; nothing for an empty text or a record outside the
  // period.
  void AppendLine(std::string_view recordText, std::string& out) const;

 private:
  ExportRequest request_;
  UnitSettings units_;
};

// Writes a CSV export through an export file: Begin, then Add for each record text in the order
// they are to appear, then Finish. A failed step discards the partial file.
class CsvFileWriter {
 public:
  CsvFileWriter(ExportFile& file, const CsvExport& format) : file_(file), format_(format) {}

  // Creates the file and writes the header line.
  bool Begin(const std::string& path);
  bool Add(std::string_view recordText);
  // Writes what is left and closes the file.
  bool Finish();
  // Deletes the partial file (after a cancel).
  void Abandon() { file_.Discard(); }

 private:
  bool Flush();

  ExportFile& file_;
  const CsvExport& format_;
  std::string pending_;
};

}  // namespace nimbrel
