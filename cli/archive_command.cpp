// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/archive_command.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "archive/archive.h"
#include "cli/download.h"
#include "cli/environment.h"
#include "cli/export_args.h"
#include "export/csv_writer.h"
#include "export/export_file.h"
#include "export/export_writer.h"

namespace nimbrel::cli {

namespace {

using ArgList = std::vector<std::string_view>;

int Usage(std::string_view text) {
  std::fprintf(stderr, "nimbrel-cli archive: %.*s\n", static_cast<int>(text.size()), text.data());
  return 2;
}

std::string Number(std::int64_t value) {
  char digits[24];
  const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
  return {digits, end};
}

// "3 new, 0 already archived, 0 given up; the download was incomplete (3 of 4 records arrived)"
std::string MergeLine(const MergeCounts& counts, std::size_t givenUp, std::size_t arrived,
                      std::size_t total, bool complete) {
  const auto number = [](std::size_t n) { return Number(static_cast<std::int64_t>(n)); };
  std::string line = number(counts.added) + " new, " + number(counts.alreadyArchived) +
                     " already archived, " + number(givenUp) + " given up";
  if (!complete) {
    line += "; the download was incomplete (" + number(arrived) + " of " + number(total) +
            " records arrived)";
  }
  return line;
}

int Sync(const GlobalOptions& options, const ArgList& args) {
  long stallSeconds = 30;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] != "--stall-timeout" || i + 1 == args.size() ||
        !ParsePositive(args[++i], stallSeconds)) {
      return Usage("sync takes only --stall-timeout S (a number of seconds)");
    }
  }
  // Opened first, so that an archive that cannot be used costs no download.
  const std::unique_ptr<Archive> archive = OpenCliArchive(options);
  if (!archive) {
    return 1;
  }
  // The archive is the download's destination; the reader refuses history frames without one.
  const std::string destination = options.archive.empty() ? "archive" : options.archive;
  return RunDownload(
      options, stallSeconds, destination, {"what arrived is archived", "Sync cancelled."},
      [&](Console& console, const DownloadResult& download, const InterruptWatcher&) {
        std::string line;
        const int code = MergeDownload(*archive, console, download, line);
        if (!line.empty()) {
          std::printf("%s\n", line.c_str());
        }
        return code;
      });
}

int WriteTsv(Archive& archive, const ExportRequest& request, const UnitSettings& units,
             const std::string& out) {
  DiskExportFile file;
  ArchiveStatus fault;
  if (WriteArchiveExport(archive, request, units, out, file, fault) != ExportOutcome::kWritten) {
    return Fail(fault ? fault->message : "write file failed !");
  }
  return 0;
}

int WriteCsv(Archive& archive, const ExportRequest& request, const UnitSettings& units,
             const std::string& out) {
  DiskExportFile file;
  ArchiveStatus fault;
  if (WriteArchiveCsv(archive, request, units, out, file, fault) != ExportOutcome::kWritten) {
    return Fail(fault ? fault->message : "write file failed !");
  }
  return 0;
}

int Export(const GlobalOptions& options, ArgList args) {
  bool csv = false;
  if (const auto format = std::find(args.begin(), args.end(), "--format"); format != args.end()) {
    if (format + 1 == args.end() || (format[1] != "tsv" && format[1] != "csv")) {
      return Usage("--format takes tsv or csv");
    }
    csv = format[1] == "csv";
    args.erase(format, format + 2);
  }
  ExportArgs parsed;
  if (const auto error = ParseExportArgs(args, parsed)) {
    return Usage(*error);
  }
  ExportRequest request;
  if (const auto error = ValidateExportRequest(parsed.choices, request)) {
    return Fail(*error);
  }
  if (!csv && !HasExportFileExtension(parsed.out)) {
    return Fail(kFileNameError);
  }
  if (std::string reason; !CanWriteExportFile(parsed.out, reason)) {
    return Fail("Cannot write '" + parsed.out + "': " + reason + ".");
  }
  const std::unique_ptr<Archive> archive = OpenCliArchive(options, ArchiveUse::kExisting);
  if (!archive) {
    return 1;
  }
  ArchiveInfo info;
  if (const ArchiveStatus status = archive->ReadInfo(info)) {
    return Fail(status->message);
  }
  if (info.records == 0) {
    return Fail("The archive \"" + Utf8FromPath(info.path) + "\"" +
                " holds no records; run 'nimbrel-cli archive sync' first. Nothing was written.");
  }
  const UnitSettings units = EffectiveUnits(options.units);
  return csv ? WriteCsv(*archive, request, units, parsed.out)
             : WriteTsv(*archive, request, units, parsed.out);
}

std::string JsonText(const std::string& text) {
  std::string json = "\"";
  for (const char c : text) {
    if (c == '"' || c == '\\') {
      json += '\\';
      json += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      constexpr char kHex[] = "0123456789abcdef";
      json += "\\u00";
      json += kHex[(c >> 4) & 0xf];
      json += kHex[c & 0xf];
    } else {
      json += c;
    }
  }
  return json + "\"";
}

std::optional<std::string> TimeText(const std::optional<RecordTimePoint>& when) {
  return when ? std::optional(IsoMinuteText(*when)) : std::nullopt;
}

std::optional<std::string> MergeText(const std::optional<std::chrono::sys_seconds>& when) {
  if (!when) {
    return std::nullopt;
  }
  return IsoMinuteText(RecordTimePoint{when->time_since_epoch()}) + "Z";
}

int Info(const GlobalOptions& options, const ArgList& args) {
  const bool json = args.size() == 1 && args[0] == "--json";
  if (!json && !args.empty()) {
    return Usage("info takes only --json");
  }
  const std::unique_ptr<Archive> archive = OpenCliArchive(options, ArchiveUse::kExisting);
  if (!archive) {
    return 1;
  }
  ArchiveInfo info;
  if (const ArchiveStatus status = archive->ReadInfo(info)) {
    return Fail(status->message);
  }
  const auto first = TimeText(info.firstRecord), last = TimeText(info.lastRecord);
  const auto merged = MergeText(info.lastMerge);
  std::string text;
  if (json) {
    const auto maybe = [](const std::optional<std::string>& t) {
      return t ? JsonText(*t) : std::string("null");
    };
    text = "{\"file\":" + JsonText(Utf8FromPath(info.path)) +
           ",\"records\":" + Number(info.records) + ",\"undated\":" + Number(info.undated) +
           ",\"liveSamples\":" + Number(info.liveSamples) + ",\"firstRecord\":" + maybe(first) +
           ",\"lastRecord\":" + maybe(last) + ",\"lastMerge\":" + maybe(merged) +
           ",\"bytes\":" + Number(static_cast<std::int64_t>(info.fileBytes)) + "}\n";
  } else {
    text = "File:          " + Utf8FromPath(info.path) +
           "\nRecords:       " + Number(info.records) + " (" + Number(info.undated) +
           " undated)\nLive readings: " + Number(info.liveSamples) +
           "\nFirst record:  " + first.value_or("-") + "\nLast record:   " + last.value_or("-") +
           "\nLast merge:    " + merged.value_or("-") +
           "\nSize:          " + Number(static_cast<std::int64_t>(info.fileBytes)) + " bytes\n";
  }
  std::fwrite(text.data(), 1, text.size(), stdout);
  return 0;
}

}  // namespace

std::unique_ptr<Archive> OpenCliArchive(const GlobalOptions& options, ArchiveUse existing) {
  const std::optional<ArchiveOptions> archive = CliArchiveOptions(options, existing);
  return archive ? OpenCliArchive(*archive) : nullptr;
}

std::optional<ArchiveOptions> CliArchiveOptions(const GlobalOptions& options, ArchiveUse existing) {
  ArchiveOptions archive;
  if (!options.archive.empty()) {
    archive.path = PathFromUtf8(options.archive);
  } else if (const auto path = DefaultArchivePath()) {
    archive.path = *path;
  } else {
    Fail("No archive file: neither XDG_DATA_HOME nor HOME is set; give --archive FILE.");
    return std::nullopt;
  }
  std::error_code missing;
  if (existing == ArchiveUse::kExisting && !std::filesystem::exists(archive.path, missing)) {
    Fail("The archive \"" + Utf8FromPath(archive.path) +
         "\" does not exist; run 'nimbrel-cli archive sync' first. Nothing was written.");
    return std::nullopt;
  }
  archive.liveEvery = std::chrono::minutes(options.archiveLiveMinutes);
  return archive;
}

std::unique_ptr<Archive> OpenCliArchive(const ArchiveOptions& archive) {
  ArchiveError error{};
  std::unique_ptr<Archive> opened = OpenArchive(archive, error);
  if (!opened) {
    Fail(error.message);
  }
  return opened;
}

int MergeDownload(Archive& archive, Console& console, const DownloadResult& download,
                  std::string& line) {
  SharedState& state = console.State();
  const auto total = static_cast<std::size_t>(std::max(0, state.historyTotal.load()));
  const std::vector<std::string_view> texts = RecordTexts(*console.Store(), total);
  MergeCounts counts;
  const ArchiveStatus status = archive.Merge(texts, counts);
  // Nothing reads the store any more: the reader may end the download at the next live message.
  state.downloadActive = false;
  if (status) {
    return Fail(status->message);
  }
  const auto accounted = static_cast<std::size_t>(std::max(0, download.accounted));
  const bool complete = download.end == DownloadEnd::kComplete;
  line = MergeLine(counts, accounted - std::min(accounted, texts.size()), texts.size(), total,
                   complete);
  return complete ? 0 : 1;
}

namespace {

// Writes each row as the archive hands out its record, so that a large archive is never held;
// the writer has Begin, Add, Finish and Abandon, as both export writers do.
template <typename Writer>
ExportOutcome WriteFromArchive(Archive& archive, const ExportRequest& request,
                               const std::string& path, Writer& writer, ArchiveStatus& fault) {
  fault.reset();
  if (!writer.Begin(path)) {
    return ExportOutcome::kFailed;
  }
  bool written = true;
  fault = archive.ReadRecords(RangeOf(request), [&](std::string_view text) {
    written = writer.Add(text);
    return written;
  });
  if (fault || !written || !writer.Finish()) {
    writer.Abandon();
    return ExportOutcome::kFailed;
  }
  return ExportOutcome::kWritten;
}

}  // namespace

ExportOutcome WriteArchiveExport(Archive& archive, const ExportRequest& request,
                                 const UnitSettings& units, const std::string& path,
                                 ExportFile& file, ArchiveStatus& fault) {
  ExportFileWriter writer(file, request, units);
  return WriteFromArchive(archive, request, path, writer, fault);
}

ExportOutcome WriteArchiveCsv(Archive& archive, const ExportRequest& request,
                              const UnitSettings& units, const std::string& path, ExportFile& file,
                              ArchiveStatus& fault) {
  const CsvExport format(request, units);
  CsvFileWriter writer(file, format);
  return WriteFromArchive(archive, request, path, writer, fault);
}

int RunArchiveCommand(const GlobalOptions& options) {
  const ArgList& all = options.commandArgs;
  if (all.empty()) {
    return Usage("give sync, export or info");
  }
  const ArgList rest(all.begin() + 1, all.end());
  if (all[0] == "sync") {
    return Sync(options, rest);
  }
  if (all[0] == "export") {
    return Export(options, rest);
  }
  if (all[0] == "info") {
    return Info(options, rest);
  }
  return Usage("unknown archive command '" + std::string(all[0]) + "'");
}

}  // namespace nimbrel::cli
