// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <memory>

#include "export/history_store.h"
#include "i18n/language.h"
#include "platform/memory_pages.h"
#include "readings/live_readings.h"
#include "readings/unit_settings.h"
#include "settings/export_request.h"
#include "settings/server_settings.h"
#include "settings/settings_store.h"
#include "station/device.h"
#include "station/reader.h"
#include "station/shared_state.h"
#include "ui/look.h"
#include "ui/message_boxes.h"
#include "upload/upload_request.h"

namespace nimbrel::ui {

// Everything the window and its panels share for the run: the station link, the settings, the
// texts, the current readings and the shared look. Made by the program's entry point (or a test)
// before the main window, and outliving it.
struct Program {
  Program(std::unique_ptr<HidBackend> hidBackend, std::unique_ptr<SettingsBackend> settingsFiles,
          MessageBoxes& boxes, FileDialogs& dialogs);

  // The text of key ln in the current language, as the screen shows it ("&&" becomes "&").
  QString Text(int key) const;
  // The same text as the panel gets it, with "&&" kept (for controls that show "&" as "&&").
  QString RawText(int key) const;
  // The text of one of our own keys (i18n/own_texts.h) in the current language.
  QString OwnText(int key) const;

  // Takes the saved language, service, units and rain season, as start-up does.
  void ReadSavedSettings();

  std::unique_ptr<HidBackend> backend;
  StationDevice device;
  SharedState state;
  LinkCounters counters;
  HistoryStore store{ZeroByReleasingPages};  // the window downloads again and again
  ReaderThread reader;

  std::unique_ptr<SettingsBackend> settingsBackend;
  SettingsStore settings;
  LanguageTables languages;
  LanguageIndex language = LanguageIndex::kEnglish;
  ServerSettings servers;
  UnitSettings units;
  unsigned rainSeasonStart = 1;  // the month (1-12) a rain season starts in
  LiveReadings readings;
  ExportRequest exportRequest;
  UploadEndpoints endpoints;

  MessageBoxes& messageBoxes;
  FileDialogs& fileDialogs;
  std::unique_ptr<PanelLook> look;  // made by the header bar
};

}  // namespace nimbrel::ui
