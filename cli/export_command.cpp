// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/export_command.h"

#include <cstdio>
#include <string>

#include "cli/download.h"
#include "cli/environment.h"
#include "cli/export_args.h"
#include "export/export_file.h"
#include "export/export_writer.h"

namespace nimbrel::cli {

namespace {

constexpr std::string_view kWriteFailed = "write file failed !";

// Records the export thread's result.
class ResultSink : public ExportFinishedSink {
 public:
  void ExportFinished(int code) override { result = code; }
  int result = 0;
};

int WriteDownload(Console& console, const DownloadResult& download,
                  const InterruptWatcher& interrupt, const ExportRequest& request,
                  const UnitSettings& units) {
  SharedState& state = console.State();
  if (download.end != DownloadEnd::kComplete) {
    return 1;
  }
  if (interrupt.Interrupted()) {
    state.downloadActive = false;
    return Fail("Export cancelled.");
  }
  ResultSink sink;
  DiskExportFile file;
  RunExport(MakeExportJob(*console.Store(), state, request, units), file, sink);
  if (sink.result == kExportFailed) {
    return Fail(kWriteFailed);
  }
  // A cancel while the file was written removed it and cleared HistoryReady.
  if (!state.historyReady) {
    return Fail("Export cancelled; the partial file was removed.");
  }
  return 0;
}

}  // namespace

int RunExportCommand(const GlobalOptions& options) {
  ExportArgs args;
  if (const auto error = ParseExportArgs(options.commandArgs, args)) {
    std::fprintf(stderr, "nimbrel-cli export: %s\n", error->c_str());
    return 2;
  }
  ExportRequest request;
  if (const auto error = ValidateExportRequest(args.choices, request)) {
    return Fail(*error);
  }
  if (!HasExportFileExtension(args.out)) {
    return Fail(kFileNameError);
  }
  // Refused before the console is asked, so a wrong path costs no download.
  if (std::string reason; !CanWriteExportFile(args.out, reason)) {
    return Fail("Cannot write '" + args.out + "': " + reason + "; nothing was downloaded.");
  }

  const UnitSettings units = EffectiveUnits(options.units);
  return RunDownload(
      options, args.stallSeconds, args.out, {"no file was written", "Export cancelled."},
      [&](Console& console, const DownloadResult& download, const InterruptWatcher& interrupt) {
        return WriteDownload(console, download, interrupt, request, units);
      });
}

}  // namespace nimbrel::cli
