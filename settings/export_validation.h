// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "settings/export_request.h"

namespace nimbrel {

// The six date boxes of the export group, as typed.
struct ExportDateBoxes {
  std::u16string startYear, startMonth, startDay;
  std::u16string endYear, endMonth, endDay;
};

// The export panel's choices at the moment Export is pressed.
struct ExportChoices {
  bool wholePeriod = false;
  ExportDateBoxes dates;
  std::array<bool, kDataSetCount> dataSets{};
};

// Checks the choices and fills `request` as far as they pass: each box must hold digits only, at
// most four for a year and two for a month or day, as the window's boxes take them; the start
// date is stored before the end date is checked, and while the whole period is chosen the dates
// keep their last values. Returns the error text to show ("Year input error !", "Month input error
// !", "Day input error !"), or nothing when the request has been filled.
std::optional<std::string_view> ValidateExportRequest(const ExportChoices& choices,
                                                      ExportRequest& request);

// Whether an export file name ends in ".csv" or ".xls", in any case. The caller shows
// kFileNameError when it does not.
bool HasExportFileExtension(std::u16string_view path);
bool HasExportFileExtension(std::string_view path);

inline constexpr std::string_view kFileNameError = "File name error!";
inline constexpr std::string_view kFileNameErrorCaption = "ERROR";

}  // namespace nimbrel
