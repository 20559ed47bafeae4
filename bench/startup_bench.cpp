// SPDX-License-Identifier: GPL-3.0-or-later
// The window's start-up, in process: from nothing to the first painted dashboard with the
// built-in console, offscreen. The process's resident memory while idle is printed at the end.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <fstream>
#include <iostream>

#include "platform/console_source.h"
#include "platform/settings_files.h"
#include "ui/dashboard_panel.h"
#include "ui/main_window.h"
#include "ui/message_boxes.h"
#include "ui/program.h"

namespace nimbrel {
namespace {

long ResidentMegabytes() {
  std::ifstream status("/proc/self/statm");
  long pages = 0, resident = 0;
  status >> pages >> resident;
  return resident * 4096 / (1024 * 1024);
}

struct Window {
  explicit Window(const QString& settingsFolder)
      : console(MakeConsoleSource(ConsoleOptions{})),
        program(std::move(console.backend),
                std::make_unique<FileSettingsBackend>(settingsFolder.toStdString()), boxes,
                dialogs),
        window(program) {
    window.show();
    window.Start();
  }
  ConsoleSource console;
  ui::QtMessageBoxes boxes;
  ui::QtFileDialogs dialogs;
  ui::Program program;
  ui::MainWindow window;
};

void BM_StartUpToFirstPaintedDashboard(benchmark::State& state) {
  QTemporaryDir settings;
  for (auto _ : state) {
    Window window(settings.path());
    // Painting it once into a picture is what the screen would show first.
    benchmark::DoNotOptimize(window.window.Dashboard().grab());
  }
}
BENCHMARK(BM_StartUpToFirstPaintedDashboard)->Unit(benchmark::kMillisecond);

// Runs the window with live data for a while and reports the memory it holds.
void ReportIdleMemory() {
  QTemporaryDir settings;
  Window window(settings.path());
  QElapsedTimer idle;
  idle.start();
  while (idle.elapsed() < 3000) {
    QApplication::processEvents(QEventLoop::AllEvents, 50);
  }
  std::cout << "resident memory after 3 s idle with live data: " << ResidentMegabytes() << " MB\n";
}

}  // namespace
}  // namespace nimbrel

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  nimbrel::ReportIdleMemory();
  return 0;
}
