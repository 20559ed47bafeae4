// SPDX-License-Identifier: GPL-3.0-or-later
// The only command that draws, and so the only one that starts Qt: on the offscreen platform
// unless the caller chose another, so that it runs where there is no display.
#include "cli/chart_command.h"

#include <QGuiApplication>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "archive/archive.h"
#include "chart/chart_csv.h"
#include "chart/chart_load.h"
#include "cli/archive_command.h"
#include "cli/download.h"
#include "cli/environment.h"
#include "cli/period_args.h"
#include "cli/report_command.h"
#include "export/export_file.h"
#include "ui/chart/chart_painter.h"

namespace nimbrel::cli {

namespace {

using ArgList = std::vector<std::string_view>;

int Usage(std::string_view text) {
  std::fprintf(stderr, "nimbrel-cli chart: %.*s\n", static_cast<int>(text.size()), text.data());
  return 2;
}

struct ChartArgs {
  ChartRequest request;
  std::string out;
  QSize size{900, 500};
};

bool ReadNumber(std::string_view text, int& value) {
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size();
}

// "900x500", each side 200 to 10000 pixels.
std::optional<QSize> ReadSize(std::string_view text) {
  const std::size_t x = text.find('x');
  int width = 0;
  int height = 0;
  if (x == std::string_view::npos || !ReadNumber(text.substr(0, x), width) ||
      !ReadNumber(text.substr(x + 1), height) || width < 200 || height < 150 || width > 10000 ||
      height > 10000) {
    return std::nullopt;
  }
  return QSize(width, height);
}

std::optional<std::string> ParseChartArgs(const ArgList& args, ChartArgs& parsed) {
  bool what = false, last = false;
  std::optional<std::chrono::local_days> from, to;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    if (i + 1 == args.size()) {
      return "unknown option or missing value: " + std::string(arg);
    }
    const std::string_view value = args[++i];
    if (arg == "--what") {
      const auto kind = ParseChartKind(value);
      if (!kind) {
        return std::string("--what takes temperature, humidity, pressure, wind, rain or uv");
      }
      parsed.request.kind = *kind;
      what = true;
    } else if (arg == "--last") {
      const auto period = ParseChartLast(value);
      if (!period) {
        return std::string("--last takes 24h, 7d, 30d or 12m");
      }
      parsed.request.period = *period;
      last = true;
    } else if (arg == "--from" || arg == "--to") {
      const auto day = ReadDay(value);
      if (!day) {
        return std::string(arg) + " takes a date such as 2025-1-2";
      }
      (arg == "--from" ? from : to) = day;
    } else if (arg == "--out") {
      parsed.out = std::string(value);
    } else if (arg == "--size") {
      const auto size = ReadSize(value);
      if (!size) {
        return std::string("--size takes WIDTHxHEIGHT, at least 200x150, such as 900x500");
      }
      parsed.size = *size;
    } else if (arg == "--channels") {
      if (!ParseChartChannels(value, parsed.request.channels)) {
        return std::string("--channels takes channel numbers 1 to 7, comma-separated");
      }
    } else {
      return "unknown option: " + std::string(arg);
    }
  }
  if (!what || parsed.out.empty()) {
    return std::string("give --what and --out");
  }
  if (last == (from || to) || (!last && !(from && to))) {
    return std::string("give either --last or both --from and --to");
  }
  if (from && to && *to < *from) {
    return std::string("--to is before --from");
  }
  if (from) {
    parsed.request.period = {ChartSpan::kChosen, *from, *to};
  }
  return std::nullopt;
}

bool WantsNumbers(const std::string& out) {
  return QString::fromStdString(out).endsWith(".csv", Qt::CaseInsensitive);
}

int WriteChart(const ChartData& data, const ChartArgs& args) {
  if (WantsNumbers(args.out)) {
    const auto error = WriteWholeFile(args.out, ChartCsv(data));
    return error ? Fail(*error) : 0;
  }
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  int argc = 1;
  char name[] = "nimbrel-cli";
  char* argv[] = {name, nullptr};
  const QGuiApplication application(argc, argv);
  QString error;
  ChartTexts texts = OwnChartTexts(LanguageIndex::kEnglish, args.request.units);
  texts.locale = QLocale(QLocale::English, QLocale::UnitedKingdom);
  if (!SaveChart(data, texts, args.size, QString::fromStdString(args.out), error)) {
    return Fail(error.toStdString());
  }
  return 0;
}

}  // namespace

int RunChartCommand(const GlobalOptions& options) {
  ChartArgs args;
  if (const auto error = ParseChartArgs(options.commandArgs, args)) {
    return Usage(*error);
  }
  args.request.units = EffectiveUnits(options.units);
  const std::unique_ptr<Archive> archive = OpenCliArchive(options, ArchiveUse::kExisting);
  if (!archive) {
    return 1;
  }
  ChartData data;
  if (const ArchiveStatus status = LoadChart(*archive, args.request, ClockNow(), data)) {
    return Fail(status->message);
  }
  if (data.Empty()) {
    return Fail("The archive holds no " + std::string(ChartKindName(args.request.kind)) +
                " readings in this period. Nothing was written.");
  }
  return WriteChart(data, args);
}

}  // namespace nimbrel::cli
