// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/commands.h"

#include <algorithm>
#include <array>

#include "cli/export_command.h"
#include "cli/live_command.h"
#include "cli/services_command.h"
#include "cli/upload_command.h"
#include "simulator/console_options.h"
#ifdef NIMBREL_WITH_ARCHIVE
#include "cli/archive_command.h"
#include "cli/report_command.h"
#include "cli/stats_command.h"
#endif
#ifdef NIMBREL_WITH_CHART
#include "cli/chart_command.h"
#endif
#ifdef NIMBREL_WITH_SERVE
#include "cli/serve_command.h"
#endif

// A build without libcurl (the Windows cross-build) leaves the HTTPS services out.
#ifdef NIMBREL_WITHOUT_HTTPS_SERVICES
#define NIMBREL_HTTPS_SERVICES_NOTE \
  "      This build has no HTTPS: pwsweather, wow and windy are left out; cwop works.\n"
#else
#define NIMBREL_HTTPS_SERVICES_NOTE ""
#endif

namespace nimbrel::cli {

namespace {

// The commands that need a library a build may lack: their runner, or nothing.
#ifdef NIMBREL_WITH_ARCHIVE
constexpr CliCommand::Runner kArchiveRunner = RunArchiveCommand;
constexpr CliCommand::Runner kStatsRunner = RunStatsCommand;
constexpr CliCommand::Runner kReportRunner = RunReportCommand;
#else
constexpr CliCommand::Runner kArchiveRunner = nullptr;
constexpr CliCommand::Runner kStatsRunner = nullptr;
constexpr CliCommand::Runner kReportRunner = nullptr;
#endif
#ifdef NIMBREL_WITH_CHART
constexpr CliCommand::Runner kChartRunner = RunChartCommand;
#else
constexpr CliCommand::Runner kChartRunner = nullptr;
#endif
#ifdef NIMBREL_WITH_SERVE
constexpr CliCommand::Runner kServeRunner = RunServeCommand;
#else
constexpr CliCommand::Runner kServeRunner = nullptr;
#endif

// The help of every command is here and nowhere else; a new command is one more entry.
constexpr std::array kCommands = {
    CliCommand{
        "live",
        " [--count N] [--json]\n"
        "      Print the console's live readings as the dashboard shows them, N times or until\n"
        "      interrupted; with --json one JSON object per line.\n",
        RunLiveCommand},
    CliCommand{
        "export",
        " --out FILE (--whole | --from Y-M-D --to Y-M-D) [--set LIST]\n"
        "         [--stall-timeout S]\n"
        "      Download the console's history log and write the whole log, or the days from\n"
        "      --from to --to (both included, a four-digit year, month and day in digits, as\n"
        "      2025-1-2), to FILE: a UTF-16 tab-separated file whose name ends in .csv or .xls.\n"
        "      --set LIST          only these data sets, comma-separated: pressure, indoor,\n"
        "                          outdoor, dewpoint, heatindex, wind, rain, uv, ch1 to ch7,\n"
        "                          or all (the default)\n"
        "      --stall-timeout S   give the download up when no record arrives for S seconds\n"
        "                          (default 30)\n",
        RunExportCommand},
    CliCommand{
        "upload",
        " [--wu-id ID --wu-key KEY] [--wc-id ID --wc-key KEY]\n"
        "         [--wu-endpoint HOST[:PORT]] [--wc-endpoint HOST[:PORT]] [--count N]\n"
        "      Upload the readings the console prepares to Weather Underground and/or\n"
        "      Weathercloud, N times or until interrupted, and print one line per request: the\n"
        "      service, the request with the key masked, and UPLOAD or FAIL. The exit status is\n"
        "      1 when any upload failed.\n"
        "      --wu-id ID --wu-key KEY     the Weather Underground station's ID and key\n"
        "      --wc-id ID --wc-key KEY     the Weathercloud station's ID and key\n"
        "      --wu-endpoint HOST[:PORT]   send to a server of your own that speaks the same\n"
        "      --wc-endpoint HOST[:PORT]   protocol (port 80 when not given)\n"
        "      --count N                   stop after N uploads\n",
        RunUploadCommand},
    CliCommand{
        "services",
        " list [--json]\n"
        "  services set NAME [--on|--off] [--id ID] [--key-file FILE] [--interval MIN]\n"
        "         [--catch-up on|off] [--endpoint URL] [--ca FILE] [--lat DEG --lon DEG]\n"
        "      The weather services serve and the window upload to: pwsweather, wow (Met\n"
        "      Office WOW), windy, cwop, and the console's own wunderground and weathercloud.\n"
        "      list: each service, on or off, its ID (the key masked), interval, catch-up,\n"
        "      endpoint, last success and last error; with --json as one JSON array.\n"
        "      set: change one service's settings; what is not given stays.\n"
        "      --on, --off          upload to it or not (it needs an ID and a key; cwop a\n"
        "                           callsign or CWOP ID and the position)\n"
        "      --id ID              the station's ID; for cwop the callsign or CWOP ID\n"
        "      --key-file FILE      the key, WOW's PIN, Windy's password or cwop's APRS\n"
        "                           passcode: the first line of FILE, or of standard input\n"
        "                           for -; never given on the command line\n"
        "      --interval MIN       minutes between uploads: at least 5 (WOW's default 15,\n"
        "                           cwop's 10, the others' 5)\n"
        "      --catch-up on|off    after an outage, send the readings missed (pwsweather and\n"
        "                           wow up to 24 hours back, windy 2; never cwop)\n"
        "      --endpoint URL       a server of your own (cwop: HOST:PORT); empty: the\n"
        "                           service's own\n"
        "      --ca FILE            the certificate authority of that server\n"
        "      --lat DEG --lon DEG  the station's position in decimal degrees (cwop)\n"
        "      wunderground and weathercloud take --id and --key-file only: their times and\n"
        "      servers are the console's.\n" NIMBREL_HTTPS_SERVICES_NOTE,
        RunServicesCommand},
    CliCommand{
        "archive",
        " sync [--stall-timeout S]\n"
        "  archive export --out FILE (--whole | --from Y-M-D --to Y-M-D) [--set LIST]\n"
        "         [--format tsv|csv]\n"
        "  archive info [--json]\n"
        "      The weather archive keeps every record of every download across runs.\n"
        "      sync: download the console's history log into the archive and print how many\n"
        "      records were new, already archived and given up; exit status 1 when the\n"
        "      download did not complete (what arrived is archived all the same).\n"
        "      export: write the archived records, oldest first, as export does (tsv, the\n"
        "      default), or as a plain UTF-8 comma-separated file (csv).\n"
        "      info: the archive's file, record and live-reading counts, first and last\n"
        "      record, size; with --json as one JSON object.\n",
        kArchiveRunner, "the weather archive (SQLite)"},
    CliCommand{
        "stats",
        " (--day Y-M-D | --month Y-M | --year Y | --season Y | --all) [--json]\n"
        "      The archive's figures of a day, month, year, rain season or all of it, in the\n"
        "      units of the options above: each value's high and low with the time it was\n"
        "      first reached, its mean and how many records had a reading; the rain's total,\n"
        "      wettest day, days with rain and highest rate; the days without any record.\n"
        "      After the newest record, the live readings the archive keeps stand in for it.\n"
        "      --season Y        the rain season that starts in Y, in the month of\n"
        "                        --rain-season-start (default: the saved month)\n"
        "      --all             from the first dated record to the last\n"
        "      --json            one JSON object; null for a value without any reading\n"
        "      The exit status is 1 when the archive is missing or holds no record in the\n"
        "      period.\n",
        kStatsRunner, "the weather archive (SQLite)"},
    CliCommand{
        "report",
        " (--month Y-M | --year Y) [--format text|csv] [--out FILE]\n"
        "         [--degree-base T]\n"
        "      A climatological summary of the archive: for a month one line a day, for a\n"
        "      year one a month, with the outdoor temperature's mean, high and low and their\n"
        "      times, heating and cooling degree days, rain, mean wind speed, highest gust\n"
        "      and its time and the prevailing wind direction; then the period's means,\n"
        "      extremes and totals. Days without records are marked \"---\", never averaged in.\n"
        "      --format text|csv  fixed-width columns (the default), or UTF-8 CSV with a\n"
        "                         header line\n"
        "      --out FILE         write FILE, whole or not at all, instead of the output\n"
        "      --degree-base T    count degree days from T in the temperature unit\n"
        "                         (default 18.3 in Celsius, 65 in Fahrenheit)\n"
        "      The exit status is 1 when the archive is missing or holds no record in the\n"
        "      period, or FILE cannot be written.\n",
        kReportRunner, "the weather archive (SQLite)"},
    CliCommand{
        "chart",
        " --what KIND (--last 24h|7d|30d|12m | --from Y-M-D --to Y-M-D) --out FILE\n"
        "         [--size WxH] [--channels LIST]\n"
        "      Draw a chart of the archive in the units of the options above and write it to\n"
        "      FILE, a PNG or SVG picture by its name's ending, or a CSV file of the chart's\n"
        "      readings for data tools (FILE ending in .csv). Needs no display.\n"
        "      --what KIND       temperature, humidity, pressure, wind, rain or uv\n"
        "      --last PERIOD     the last 24 hours, 7 days, 30 days or 12 months up to now\n"
        "      --from --to       whole days, both included, such as 2025-1-2\n"
        "      --size WxH        the picture's size in pixels (default 900x500)\n"
        "      --channels LIST   add these extra channels (1 to 7, comma-separated) to a\n"
        "                        temperature or humidity chart\n"
        "      The exit status is 1 when the archive is missing or holds no reading in the\n"
        "      period, or FILE cannot be written.\n",
        kChartRunner, "Qt and the weather archive"},
    CliCommand{
        "serve",
        " [--mqtt URL [--mqtt-ca FILE] [--mqtt-user NAME] [--mqtt-password-file FILE]\n"
        "         [--mqtt-client-id ID] [--mqtt-topic PREFIX] [--ha-prefix P]\n"
        "         [--ha-legacy-classes] [--no-ha-discovery]] [--sync-hours N]\n"
        "         [--http ADDRESS:PORT | --no-http] [upload's --wu-/--wc- options] [--verbose]\n"
        "      Run unattended until SIGTERM or SIGINT: follow the console as it comes and goes,\n"
        "      keep its live readings in the archive and sync its log at start and every N\n"
        "      hours (default 24, at most 8760, 0 = never; a sync cut short by an unplugged\n"
        "      console runs again when it is back), upload to each service with a station\n"
        "      ID and key (the window's saved ones unless given), and publish every live\n"
        "      reading to MQTT. While another program holds the console, wait for it.\n"
        "      One line per event on stderr; --verbose adds the details. A build without the\n"
        "      weather archive serves the live reading only and refuses --sync-hours.\n"
        "      --http ADDRESS:PORT    serve the web dashboard there (default 127.0.0.1:8470,\n"
        "                             this computer only; 0.0.0.0:8470 lets the home network\n"
        "                             in); when the default port is taken, serve goes on\n"
        "                             without the page, when --http's is, it stops\n"
        "      --no-http              no web dashboard\n"
        "      --mqtt URL             mqtt://HOST[:PORT] or mqtts://HOST[:PORT]\n"
        "      --mqtt-ca FILE         the certificate authority of an mqtts:// broker\n"
        "                             (default: the system's)\n"
        "      --mqtt-user NAME       the broker's login; the password comes from\n"
        "      --mqtt-password-file FILE or the environment variable NIMBREL_MQTT_PASSWORD\n"
        "      --mqtt-client-id ID    the name at the broker (default: one of this machine\n"
        "                             and PREFIX)\n"
        "      --mqtt-topic PREFIX    PREFIX/state (JSON) and PREFIX/status (default nimbrel)\n"
        "      --ha-prefix P          Home Assistant discovery under P (default homeassistant)\n"
        "      --ha-legacy-classes    for Home Assistant before 2025.4: wind direction without\n"
        "                             the wind_direction and measurement_angle classes\n"
        "      --no-ha-discovery      publish no discovery configs\n"
        "      Retained topics that earlier settings left on the broker are cleared.\n"
        "      Every weather service switched on with `services set` (pwsweather, wow, windy,\n"
        "      cwop) is sent the live readings on its own schedule, and after an outage the\n"
        "      readings it missed; one line when a service starts failing and one when it\n"
        "      works again. The MQTT state carries each service's NAME_last_success and\n"
        "      NAME_failing.\n" NIMBREL_HTTPS_SERVICES_NOTE,
        kServeRunner, "the station service"},
};

constexpr std::string_view kSynopsis =
    "Usage: nimbrel-cli [options] COMMAND [command options]\n"
    "       nimbrel-cli COMMAND --help\n";

constexpr std::string_view kOptions =
    "Options:\n"
    "  --simulate                 use the built-in console instead of the USB console\n"
    "  --temperature C|F          units for this run; the others come from the saved settings\n"
    "  --rain mm|in\n"
    "  --pressure hPa|mmHg|inHg\n"
    "  --wind mph|m/s|km/h|knots\n"
    "  --pressure-type abs|rel\n"
    "  --direction 16|360\n"
    "  --archive FILE             the weather archive (default:\n"
    "                             $XDG_DATA_HOME/nimbrel/archive.sqlite)\n"
    "  --archive-live-minutes N   keep one live reading every N minutes (default 5, 0 = none)\n"
    "  --rain-season-start M      the month (1-12) a rain season starts in, for this run\n"
    "                             (default: the saved month, January unless set)\n"
    "  -h, --help                 print this help\n"
    "  --version                  print the version\n"
    "\n"
    "Exit status: 0 done, 1 failed (the reason is on stderr), 2 wrong command line.\n"
    "\n";

std::string CommandLines(const CliCommand& command) {
  std::string lines = "  " + std::string(command.name) + std::string(command.help);
  if (command.run == nullptr) {
    lines += "      Not in this build: it needs " + std::string(command.needs) + ".\n";
  }
  return lines;
}

}  // namespace

const CliCommand* FindCommand(std::string_view name) {
  const auto found =
      std::find_if(kCommands.begin(), kCommands.end(),
                   [name](const CliCommand& command) { return command.name == name; });
  return found == kCommands.end() ? nullptr : &*found;
}

std::string Usage() {
  std::string usage = std::string(kSynopsis) + "\nCommands:\n";
  for (const CliCommand& command : kCommands) {
    usage += CommandLines(command) + "\n";
  }
  return usage + std::string(kOptions) + std::string(ConsoleOptionsHelp());
}

std::string CommandUsage(const CliCommand& command) {
  return std::string(kSynopsis) + "\n" + CommandLines(command) +
         "\nnimbrel-cli --help lists the other commands and the options before the command.\n";
}

std::string NotInThisBuild(const CliCommand& command) {
  return "nimbrel-cli: the " + std::string(command.name) +
         " command is not in this build: it needs " + std::string(command.needs) + ".\n";
}

bool AsksForHelp(const std::vector<std::string_view>& commandArgs) {
  return std::any_of(commandArgs.begin(), commandArgs.end(),
                     [](std::string_view arg) { return arg == "--help" || arg == "-h"; });
}

}  // namespace nimbrel::cli
