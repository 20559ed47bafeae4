// SPDX-License-Identifier: GPL-3.0-or-later
// The window program's command line: its options read as a table, and the program itself asked
// for its usage, its version and with a wrong option, as a user or a desktop file runs it.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/app_options.h"

namespace nimbrel::app {
namespace {

TEST(AppOptions, AreTakenOrRefusedWithTheCulpritNamed) {
  struct Case {
    std::vector<std::string_view> args;
    std::string error;  // empty: taken
  };
  const Case cases[] = {
      {{"--simulate", "--console-seed", "9", "--archive", "a.sqlite", "--archive-live-minutes", "0",
        "--wu-endpoint", "127.0.0.1:8080"},
       ""},
      {{"--console-seed", "9"}, "--console-seed needs --simulate"},
      {{"--archive", ""}, "--archive: the file name is empty"},
      {{"--archive-live-minutes", "x"}, "--archive-live-minutes: 'x' is not a number from 0 to"},
      {{"--wc-endpoint", "a:b:c"}, "--wc-endpoint: 'a:b:c' is not HOST or HOST:PORT"},
      {{"--bogus", "1"}, "unknown option: --bogus"},
      {{"--archive"}, "unknown option or missing value: --archive"},
  };
  for (const Case& c : cases) {
    AppOptions options;
    const auto error = ParseAppOptions(c.args, options);
    EXPECT_EQ(error.value_or("").substr(0, c.error.size()), c.error) << c.args.front();
    EXPECT_EQ(error.has_value(), !c.error.empty()) << c.args.front();
    if (!error) {
      EXPECT_TRUE(options.simulated && options.simulated->seed == 9);
      EXPECT_EQ(options.archiveLiveEvery.count(), 0);
      EXPECT_EQ(options.endpoints.wu.port, 8080);
    }
  }
  EXPECT_EQ(FindAppRequest({"--simulate", "-h"}), AppRequest::kUsage);
  EXPECT_EQ(FindAppRequest({"--bogus", "--version"}), AppRequest::kVersion);
}

// Usage and version come before any display is needed; a wrong option exits 2 and says why.
TEST(AppOptions, TheProgramAnswersFromItsCommandLine) {
  const auto run = [](const std::string& args, std::string& out) {
    const std::string command = "QT_QPA_PLATFORM=offscreen '" NIMBREL_APP "' " + args + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    out.clear();
    for (int c = 0; (c = std::fgetc(pipe)) != EOF;) {
      out += static_cast<char>(c);
    }
    return WEXITSTATUS(pclose(pipe));
  };
  std::string out;
  EXPECT_EQ(run("--version", out), 0);
  EXPECT_EQ(out.rfind("nimbrel ", 0), 0u) << out;
  EXPECT_EQ(run("--simulate --help", out), 0);
  EXPECT_NE(out.find("--archive-live-minutes"), std::string::npos) << out;
  EXPECT_EQ(run("--simulate --console-pace fast", out), 2);
  EXPECT_NE(out.find("--console-pace"), std::string::npos) << out;
}

}  // namespace
}  // namespace nimbrel::app
