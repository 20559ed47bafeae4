// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "archive/archive.h"
#include "cli/download.h"
#include "cli/options.h"
#include "export/export_writer.h"

namespace nimbrel::cli {

// archive sync | export | info: the weather archive from the command line.
int RunArchiveCommand(const GlobalOptions& options);

// Whether a missing archive file is made, or refused (for commands that only read).
enum class ArchiveUse { kCreate, kExisting };

// The archive the options name, or nothing after the reason has been printed.
std::unique_ptr<Archive> OpenCliArchive(const GlobalOptions& options,
                                        ArchiveUse existing = ArchiveUse::kCreate);
// The same in two steps: the archive's options (nothing after saying why not), then opening it.
std::optional<ArchiveOptions> CliArchiveOptions(const GlobalOptions& options,
                                                ArchiveUse existing = ArchiveUse::kCreate);
std::unique_ptr<Archive> OpenCliArchive(const ArchiveOptions& archive);

// Merges what the download brought, complete or not, and sets `line` to what it found ("3 new, 0
// already archived, 0 given up"). Returns 0 for a complete download, 1 otherwise (and for a
// fault of the archive, which has been printed).
int MergeDownload(Archive& archive, Console& console, const DownloadResult& download,
                  std::string& line);

// Today's export file of the archived records in the request's range, oldest first. A fault of the
// archive sets `fault` and gives kFailed.
ExportOutcome WriteArchiveExport(Archive& archive, const ExportRequest& request,
                                 const UnitSettings& units, const std::string& path,
                                 ExportFile& file, ArchiveStatus& fault);
// The same as a CSV file for data tools.
ExportOutcome WriteArchiveCsv(Archive& archive, const ExportRequest& request,
                              const UnitSettings& units, const std::string& path, ExportFile& file,
                              ArchiveStatus& fault);

}  // namespace nimbrel::cli
