// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/app_options.h"

#include <QCoreApplication>
#include <charconv>

#include "export/export_file.h"

namespace nimbrel::app {

namespace {

// A day's minutes at most: a longer pause would keep next to nothing.
constexpr int kMaxLiveMinutes = 1440;

std::optional<std::chrono::minutes> ReadLiveMinutes(std::string_view text) {
  int minutes = -1;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), minutes);
  if (error != std::errc{} || end != text.data() + text.size() || minutes < 0 ||
      minutes > kMaxLiveMinutes) {
    return std::nullopt;
  }
  return std::chrono::minutes(minutes);
}

}  // namespace

AppRequest FindAppRequest(const std::vector<std::string_view>& args) {
  for (const std::string_view arg : args) {
    if (arg == "--help" || arg == "-h") {
      return AppRequest::kUsage;
    }
    if (arg == "--version") {
      return AppRequest::kVersion;
    }
  }
  return AppRequest::kRun;
}

std::vector<std::string> ArgumentsLeftByQt() {
  const QStringList arguments = QCoreApplication::arguments();
  std::vector<std::string> left;
  for (qsizetype i = 1; i < arguments.size(); ++i) {
    // File names: the system's bytes on Linux, UTF-8 (from the wide command line) on Windows.
#ifdef Q_OS_WIN
    left.push_back(arguments[i].toUtf8().toStdString());
#else
    left.push_back(arguments[i].toLocal8Bit().toStdString());
#endif
  }
  return left;
}

std::optional<std::string> ParseAppOptions(const std::vector<std::string_view>& args,
                                           AppOptions& options) {
  ConsoleOptions console;
  bool simulate = false;
  std::string consoleOption;  // the first one given, to name it when --simulate is missing
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    if (arg == "--simulate") {
      simulate = true;
      continue;
    }
    if (i + 1 == args.size()) {
      return "unknown option or missing value: " + std::string(arg);
    }
    const std::string_view value = args[++i];
    if (arg == "--wu-endpoint" || arg == "--wc-endpoint") {
      const auto endpoint = ParseEndpoint(value);
      if (!endpoint) {
        return std::string(arg) + ": '" + std::string(value) + "' is not HOST or HOST:PORT";
      }
      (arg == "--wu-endpoint" ? options.endpoints.wu : options.endpoints.weathercloud) = *endpoint;
      continue;
    }
    if (arg == "--archive") {
      if (value.empty()) {
        return std::string("--archive: the file name is empty");
      }
      options.archive = PathFromUtf8(value);
      continue;
    }
    if (arg == "--archive-live-minutes") {
      const auto minutes = ReadLiveMinutes(value);
      if (!minutes) {
        return "--archive-live-minutes: '" + std::string(value) + "' is not a number from 0 to " +
               std::to_string(kMaxLiveMinutes);
      }
      options.archiveLiveEvery = *minutes;
      continue;
    }
    const auto failure = ApplyConsoleOption(arg, value, console);
    if (!failure) {
      return "unknown option: " + std::string(arg);
    }
    if (!failure->empty()) {
      return *failure;
    }
    if (consoleOption.empty()) {
      consoleOption = arg;
    }
  }
  if (!simulate && !consoleOption.empty()) {
    return consoleOption + " needs --simulate";
  }
  if (simulate) {
    options.simulated = console;
  }
  return std::nullopt;
}

std::string AppUsage() {
  return "Usage: nimbrel [--simulate [console options]] [--wu-endpoint HOST[:PORT]]\n"
         "               [--wc-endpoint HOST[:PORT]] [--archive FILE]\n"
         "               [--archive-live-minutes N] [--help] [--version]\n"
         "\n"
         "Shows the weather station console's readings, exports its history and uploads to\n"
         "Weather Underground and Weathercloud. Every download and the live readings are kept\n"
         "in the weather archive.\n"
         "\n"
         "  --simulate                 use the built-in console instead of the USB console\n"
         "  --wu-endpoint HOST[:PORT]  send Weather Underground uploads to this server\n"
         "  --wc-endpoint HOST[:PORT]  send Weathercloud uploads to this server\n"
         "  --archive FILE             the weather archive (default:\n"
         "                             $XDG_DATA_HOME/nimbrel/archive.sqlite, or\n"
         "                             ~/.local/share/nimbrel/archive.sqlite)\n"
         "  --archive-live-minutes N   keep one live reading every N minutes (default 5;\n"
         "                             0 keeps none)\n"
         "\n"
         "Qt's own options (-style, -platform, -session, ...) are taken as well.\n"
         "\n"
         "The built-in console:\n" +
         std::string(ConsoleOptionsHelp());
}

}  // namespace nimbrel::app
