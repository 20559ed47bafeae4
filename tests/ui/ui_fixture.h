// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Everything a GUI test uses: Qt Test and Widgets, the window and its panels, the fakes.
#include <QtTest>
#include <QtWidgets>

#include "platform/console_source.h"
#include "tests/support/station_fakes.h"
#include "ui/dashboard_panel.h"
#include "ui/header_bar_panel.h"
#include "ui/main_window.h"
#include "ui/program.h"
#include "ui/setup_panel.h"
#include "ui/status_bar_panel.h"

namespace nimbrel::ui::testing {

// Message boxes recorded instead of shown, each as one line.
struct RecordingMessageBoxes : MessageBoxes {
  // "Owner: caption: text (icon n)", the owner by its class.
  static QString Box(const QWidget* owner, const QString& text, const QString& caption,
                     Icon icon = Icon::kNone) {
    return QStringLiteral("%1: %2: %3 (icon %4)")
        .arg(QString::fromLatin1(owner->metaObject()->className()), caption, text)
        .arg(static_cast<int>(icon));
  }
  void Show(QWidget* owner, const QString& text, const QString& caption, Icon icon) override {
    boxes << Box(owner, text, caption, icon);
  }
  QStringList boxes;
};

// A Save-As dialog that answers what the test says and notes what it was asked.
struct ScriptedFileDialogs : FileDialogs {
  QString SaveFileName(QWidget*, const QStringList& filters, const QString& suffix) override {
    ++calls;
    asked = filters.join(QLatin1Char(' ')) + QStringLiteral(", .") + suffix;
    return answer;
  }
  QString answer, asked;
  int calls = 0;
};

// One live text with every field set: channel n holds 18.0 + 0.2 n degrees and 50 + n percent.
inline constexpr const char* kLiveLine =
    "57 2024-5-6 12:30 23.5 45 -5.3 88 25.4 1.2 10 20.5 191 SSW 1013.2 1009.0 3 1.7 -40 "
    "18.2 51 18.4 52 18.6 53 18.8 54 19.0 55 19.2 56 19.4 57 -7.0 0.3 30.1 80.6";

// The simulated console with its generated log, saying kLiveLine at connection and nothing else
// on its own: a later live text would end a download early, and no upload text reaches a server.
ConsoleOptions QuietConsole();

// A console the test plays: listed, and opened as `transport` (kept by the test), or, without
// one, refused for `failure`.
struct ScriptedConsole {
  nimbrel::testing::FakeTransport* transport = nullptr;
  OpenFailure failure = OpenFailure::kOther;
};

// The program as the entry point builds it, on a simulated console (or none, or a scripted one),
// with its settings in a folder of its own. Open() makes the window, so a test can store settings
// first.
class ProgramFixture {
 public:
  // `console`: the simulated console's options, or nothing for no console at all.
  explicit ProgramFixture(std::optional<ConsoleOptions> console = QuietConsole());
  explicit ProgramFixture(ScriptedConsole console);

  // Makes the window as start-up does (saved language, service and units read) and starts it.
  MainWindow& Open();
  SettingsStore& Settings() { return *settings_; }
  SettingsBackend& Backend() { return *settingsBackend_; }
  SimulatedConsole* Console() { return source_.simulated.get(); }
  Program& Prog() { return *program_; }
  MainWindow& Window() { return *window_; }
  // Runs the simulated console's plug changes through the window, as the device watcher does.
  void PollDeviceChanges();

  RecordingMessageBoxes boxes;
  ScriptedFileDialogs dialogs;

 private:
  QTemporaryDir settingsFolder_;
  std::unique_ptr<SettingsBackend> settingsBackend_;
  std::unique_ptr<SettingsStore> settings_;
  ConsoleSource source_;
  std::unique_ptr<Program> program_;
  std::unique_ptr<MainWindow> window_;  // last, so that it goes first
};

// The child of `parent` with this object name; the test stops when there is none.
template <typename Widget>
Widget* Find(const QWidget& parent, const char* name) {
  auto* widget = parent.findChild<Widget*>(QString::fromLatin1(name));
  return widget ? widget : (qFatal("no widget %s", name), nullptr);
}

// Clicks the button of this name.
inline void Click(const QWidget& parent, const char* button) {
  Find<QAbstractButton>(parent, button)->click();
}

}  // namespace nimbrel::ui::testing
