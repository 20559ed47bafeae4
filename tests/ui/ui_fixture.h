#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>
#include <vector>

#include "platform/console_source.h"
#include "ui/main_window.h"
#include "ui/message_boxes.h"
#include "ui/program.h"

namespace nimbrel::ui::testing {

// Message boxes recorded instead of shown.
class RecordingMessageBoxes : public MessageBoxes {
 public:
  struct Box {
    QWidget* owner;
    QString text;
    QString caption;
    Icon icon;
  };
  void Show(QWidget* owner, const QString& text, const QString& caption, Icon icon) override {
    boxes.push_back({owner, text, caption, icon});
  }
  std::vector<Box> boxes;
};

// A Save-As dialog that answers what the test says.
class ScriptedFileDialogs : public FileDialogs {
 public:
  QString SaveFileName(QWidget*, const QStringList& filters,
                       const QString& defaultSuffix) override {
    ++calls;
    lastFilters = filters;
    lastSuffix = defaultSuffix;
    return answer;
  }
  QString answer;
  int calls = 0;
  QStringList lastFilters;
  QString lastSuffix;
};

// The program as the entry point builds it, on a simulated console (or none), with its settings
// in a folder of its own. The window is made by Open(), so a test can store settings first.
class ProgramFixture {
 public:
  // `console`: the simulated console's options, or nothing for no console at all.
  explicit ProgramFixture(std::optional<ConsoleOptions> console = ConsoleOptions{});
  ~ProgramFixture();

  // Makes the window as start-up does (saved language, service and units read) and starts it.
  MainWindow& Open();

  // The settings folder's store, for a test to seed or check.
  SettingsStore& Settings() { return *settings_; }
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
  std::unique_ptr<MainWindow> window_;
};

}  // namespace nimbrel::ui::testing
