// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/console_lock.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <process.h>
#define getpid _getpid
#else
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "tests/support/station_fakes.h"
#include "tests/support/temp_dir.h"

namespace nimbrel {
namespace {

namespace fs = std::filesystem;

// A console that is always there and opens at once; the lock is what is under test.
class OpenConsole : public HidBackend {
 public:
  std::vector<HidInterfaceInfo> Enumerate() override {
    return {{"console", kStationVendorId, kStationProductId, kStationUsagePage, kStationUsage}};
  }
  std::unique_ptr<StationTransport> Open(const std::string&) override {
    return std::make_unique<testing::FakeTransport>();
  }
};

// The holder is named by the system, with its process number, on both systems.
TEST(ConsoleLock, TheSecondClaimNamesTheHolderUntilTheLockIsGone) {
  const testing::TempDir folder("nimbrel-lock-");
  const fs::path node = folder.Path() / "hidraw0";
  std::ofstream{node};
  const fs::path path = ConsoleLockPath(node.string());
  ConsoleClaim first = ConsoleClaim::Take(path);
  ASSERT_NE(first.lock, nullptr);
  const ConsoleClaim second = ConsoleClaim::Take(path);
  EXPECT_EQ(second.lock, nullptr);
  EXPECT_TRUE(second.heldBy.ends_with(" (pid " + std::to_string(getpid()) + ")")) << second.heldBy;
  first.lock.reset();
  EXPECT_NE(ConsoleClaim::Take(path).lock, nullptr);
}

// The same console found again stays with its holder; a second program is refused and told who
// holds it, and gets it once the first is gone.
TEST(ClaimingBackend, OneOwnerPerConsoleAcrossReopens) {
  const testing::TempDir folder("nimbrel-lock-");
  const std::string node = (folder.Path() / "hidraw0").string();
  std::ofstream{node};
  auto window = std::make_unique<ClaimingBackend>(std::make_unique<OpenConsole>(), node);
  ClaimingBackend service(std::make_unique<OpenConsole>(), node);
  StationDevice ours(*window);
  StationDevice theirs(service);
  for (int find = 0; find < 2; ++find) {
    ASSERT_TRUE(ours.FindStation());
    EXPECT_TRUE(ours.IsValid()) << find;
    EXPECT_TRUE(theirs.FindStation());
    EXPECT_FALSE(theirs.IsValid());
    EXPECT_EQ(theirs.LastOpenFailure(), OpenFailure::kBusy);
    EXPECT_TRUE(theirs.HeldBy().ends_with("(pid " + std::to_string(getpid()) + ")"));
  }
  ours.CloseStation();
  window.reset();
  ASSERT_TRUE(theirs.FindStation());
  EXPECT_TRUE(theirs.IsValid());
  EXPECT_EQ(theirs.LastOpenFailure(), OpenFailure::kNone);
  EXPECT_EQ(theirs.HeldBy(), "");
}

#ifndef _WIN32
// Nothing in the environment moves the lock: a holder started from cron, sudo -u or a system
// unit without a home excludes the window all the same, and is excluded by it.
TEST(ConsoleLock, HoldersWithDifferentEnvironmentsExcludeEachOther) {
  const testing::TempDir folder("nimbrel-lock-");
  const fs::path node = folder.Path() / "hidraw0";
  std::ofstream{node};
  const ConsoleClaim window = ConsoleClaim::Take(ConsoleLockPath(node.string()));
  ASSERT_NE(window.lock, nullptr);
  const pid_t child = fork();
  if (child == 0) {
    for (const char* name : {"HOME", "XDG_RUNTIME_DIR", "XDG_CONFIG_HOME"}) {
      unsetenv(name);
    }
    setenv("HOME", "/nonexistent", 1);
    const ConsoleClaim service = ConsoleClaim::Take(ConsoleLockPath(node.string()));
    _exit(service.lock == nullptr && !service.heldBy.empty() ? 0 : 1);
  }
  int status = -1;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

// A link planted where the console's node is looked for is never followed, the file it names
// keeps its bytes, and no claim ever creates a file, not even where the node is missing.
TEST(ConsoleLock, NeverFollowsALinkNorCreatesAFile) {
  const testing::TempDir folder("nimbrel-lock-");
  const fs::path victim = folder.Path() / "victim";
  std::ofstream(victim) << "precious";
  const fs::path link = folder.Path() / "hidraw0";
  fs::create_symlink(victim, link);
  const ConsoleClaim planted = ConsoleClaim::Take(ConsoleLockPath(link.string()));
  EXPECT_EQ(planted.lock, nullptr);
  EXPECT_EQ(planted.heldBy, "");
  EXPECT_EQ(testing::ReadFile(victim), "precious");
  const ConsoleClaim missing = ConsoleClaim::Take(folder.Path() / "hidraw1");
  EXPECT_EQ(missing.lock, nullptr);
  EXPECT_EQ(std::distance(fs::directory_iterator(folder.Path()), fs::directory_iterator()), 2);
  // The victim itself, claimed as a node, is only locked: not written.
  EXPECT_NE(ConsoleClaim::Take(victim).lock, nullptr);
  EXPECT_EQ(testing::ReadFile(victim), "precious");
}
#endif

}  // namespace
}  // namespace nimbrel
