// SPDX-License-Identifier: GPL-3.0-or-later
// nimbrel: the program's window. Start-up runs in this order: one instance only, the saved
// language and service, the language packs, the main window with its panels, the archive opened
// (on a thread of its own), the console looked for, the upload worker.
#include <QApplication>
#include <QDir>
#include <QLockFile>
#include <QStandardPaths>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "app/app_options.h"
#include "app/device_watcher.h"
#include "archive/archive.h"
#include "platform/console_source.h"
#include "platform/settings_user.h"
#include "ui/main_window.h"
#include "ui/message_boxes.h"
#include "ui/program.h"

namespace {

// The lock of the running instance. Unlike a named semaphore it is released when the process
// dies, so a crash does not keep the program from starting again.
QString InstanceLockPath() {
  QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
  if (folder.isEmpty()) {
    folder = QDir::tempPath();
  }
  return QDir(folder).filePath(QStringLiteral("TVM-R.lock"));
}

}  // namespace

int main(int argc, char** argv) {
  using namespace nimbrel;
  // The usage and the version need no display, so they are answered before Qt starts.
  switch (app::FindAppRequest({argv + 1, argv + argc})) {
    case app::AppRequest::kUsage:
      std::fputs(app::AppUsage().c_str(), stdout);
      return 0;
    case app::AppRequest::kVersion:
      std::printf("nimbrel %s\n", NIMBREL_VERSION);
      return 0;
    case app::AppRequest::kRun:
      break;
  }
  // Qt takes its own options first: -session, which session managers pass when they restore a
  // desktop, -style, -platform and the rest. Ours are read from what is left.
  QApplication application(argc, argv);
  QGuiApplication::setDesktopFileName(QStringLiteral("nimbrel"));
  app::AppOptions options;
  const std::vector<std::string> arguments = app::ArgumentsLeftByQt();
  if (const auto error = app::ParseAppOptions({arguments.begin(), arguments.end()}, options)) {
    std::fprintf(stderr, "nimbrel: %s\n\n%s", error->c_str(), app::AppUsage().c_str());
    return 2;
  }

  QLockFile instance(InstanceLockPath());
  instance.setStaleLockTime(0);
  if (!instance.tryLock(0)) {
    return 0;  // another instance runs
  }

  ConsoleSource console = MakeConsoleSource(options.simulated);
  ui::QtMessageBoxes messageBoxes;
  ui::QtFileDialogs fileDialogs;
  ui::Program program(std::move(console.backend), OpenUserSettingsBackend(), messageBoxes,
                      fileDialogs);
  program.ReadSavedSettings();
  program.endpoints = options.endpoints;

  ui::MainWindow window(program);
  if (const auto path = options.archive ? options.archive : DefaultArchivePath()) {
    ArchiveOptions archive;
    archive.path = *path;
    archive.liveEvery = options.archiveLiveEvery;
    window.UseArchive(archive);
  }
  window.show();
  app::DeviceWatcher watcher(
      console,
      [&window](DeviceEvent event, const std::string& path) { window.DeviceChanged(event, path); },
      &window);
  window.Start();
  const int result = application.exec();
  window.Shutdown();
  return result;
}
