// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

#include "archive/archive.h"
#include "cli/options.h"
#include "export/export_writer.h"

namespace nimbrel::cli {

// archive sync | export | info: the weather archive from the command line.
int RunArchiveCommand(const GlobalOptions& options);

// Today's export file of the archived records in the request's range, oldest first. A fault of the
// archive sets `fault` and gives kFailed.
ExportOutcome WriteArchiveExport(Archive& archive, const ExportRequest& request,
                                 const UnitSettings& units, const std::string& path,
                                 ExportFile& file, ArchiveStatus& fault);

}  // namespace nimbrel::cli
