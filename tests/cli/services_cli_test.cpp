// SPDX-License-Identifier: GPL-3.0-or-later
// nimbrel-cli services run as a user runs it: one command line after another on one settings
// folder, with what each prints and how it ends.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "tests/cli/cli_folder.h"

namespace nimbrel::testing {
namespace {

class ServicesCliTest : public CliFolderTest {};

TEST_F(ServicesCliTest, CommandLinesInTurn) {
#ifdef _WIN32
  // There the settings are the user's registry, where the keys set here would outlive the test
  // and reach every later run of the program.
  GTEST_SKIP() << "settings in the registry";
#endif
  std::ofstream(Out("key")) << "s3cret-key\r\nsecond line\n";
  std::ofstream(Out("pin")) << "654321\n";
  const std::string key = OutArg("key");
  struct Row {
    std::string args;
    int exitCode;
    std::string out;  // a piece of stdout, or of stderr when the exit code is not 0
  };
  const Row rows[] = {
      {"services --help", 0, "\n  services list [--json]\n  services set NAME [--on|--off]"},
      {"services", 2, "give 'services list [--json]'"},
      {"services list --xml", 2, "unknown option: --xml"},
      {"services set", 2, "needs the service's name"},
      {"services set weatherlink --on", 2, "unknown service 'weatherlink'"},
      {"services set windy", 2, "nothing to set for windy"},
      {"services set windy --key abc", 2, "never from the command line"},
      {"services set windy --interval 4", 2, "the interval of windy is 5 to 1440 minutes"},
      {"services set cwop --endpoint https://x/y", 2, "HOST:PORT"},
      {"services set cwop --catch-up on", 2, "cwop never catches up"},
      {"services set wow --lat 1", 2, "--lat and --lon are CWOP's"},
      {"services set cwop --lat 91", 2, "-90 to 90"},
      {"services set wunderground --interval 10", 2, "takes --id and --key-file only"},
      {"services set pwsweather --on", 2, "pwsweather needs --id and --key-file"},
      {"services set cwop --on --id K1", 2, "cwop needs --id with a callsign"},
      {"services set windy --key-file " + OutArg("missing"), 1, "cannot read the key file"},
      {"services set windy --on --id WX1 --key-file " + key, 0, ""},
      {"services set wow --on --id site1 --key-file - <" + OutArg("pin") +
           " --interval 30 --catch-up off --endpoint https://127.0.0.1:8443/wow",
       0, ""},
      {"services set cwop --on --id CW1234 --lat 49.058333 --lon -72.029167 "
       "--endpoint 127.0.0.1:14580",
       0, ""},
      {"services set wunderground --id KXX1 --key-file " + key, 0, ""},
      {"services list", 0,
       "Windy (windy): on\n  ID: WX1  key: ***\n  interval: 5 min  catch-up: on (2 h back)\n"},
      {"services list", 0,
       "Met Office WOW (wow): on\n  ID: site1  key: ***\n  interval: 30 min  catch-up: off\n"
       "  endpoint: https://127.0.0.1:8443/wow\n"},
      {"services list", 0, "position: 49.058333, -72.029167\n"},
      {"services list", 0, "Weather Underground (wunderground): on\n  ID: KXX1  key: ***\n"},
      {"services list --json", 0,
       "{\"name\":\"windy\",\"title\":\"Windy\",\"on\":true,\"id\":\"WX1\",\"key\":\"***\","},
      {"services set windy --off", 0, ""},
      {"services list", 0, "Windy (windy): off\n  ID: WX1  key: ***\n"},
  };
  for (const Row& row : rows) {
    const CliRun run = Cli(row.args);
    EXPECT_EQ(run.exitCode, row.exitCode) << row.args << "\n" << run.err;
    const std::string& shown = row.exitCode == 0 ? run.out : run.err;
    EXPECT_NE(shown.find(row.out), std::string::npos) << row.args << "\n" << shown;
    // A key is never printed.
    for (const char* secret : {"s3cret", "654321", "second line"}) {
      EXPECT_EQ((run.out + run.err).find(secret), std::string::npos) << row.args;
    }
  }
}

}  // namespace
}  // namespace nimbrel::testing
