#include "app/app_options.h"

#include <QCoreApplication>

namespace nimbrel::app {

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
    left.push_back(arguments[i].toLocal8Bit().toStdString());
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
         "               [--wc-endpoint HOST[:PORT]] [--help] [--version]\n"
         "\n"
         "Shows the weather station console's readings, exports its history and uploads to\n"
         "Weather Underground and Weathercloud.\n"
         "\n"
         "  --simulate                 use the built-in console instead of the USB console\n"
         "  --wu-endpoint HOST[:PORT]  send Weather Underground uploads to this server\n"
         "  --wc-endpoint HOST[:PORT]  send Weathercloud uploads to this server\n"
         "\n"
         "Qt's own options (-style, -platform, -session, ...) are taken as well.\n"
         "\n"
         "The built-in console:\n" +
         std::string(ConsoleOptionsHelp());
}

}  // namespace nimbrel::app
