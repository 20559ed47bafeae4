// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/program.h"

#include <utility>

#include "i18n/own_texts.h"

namespace nimbrel::ui {

Program::Program(std::unique_ptr<HidBackend> hidBackend,
                 std::unique_ptr<SettingsBackend> settingsFiles, MessageBoxes& boxes,
                 FileDialogs& dialogs)
    : backend(std::move(hidBackend)),
      device(*backend),
      settingsBackend(std::move(settingsFiles)),
      settings(*settingsBackend),
      languages(LoadLanguagePacks()),
      messageBoxes(boxes),
      fileDialogs(dialogs) {}

QString Program::RawText(int key) const {
  const std::u16string& text = LanguageText(languages, language, key);
  return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

QString Program::OwnText(int key) const {
  const std::u16string_view text = nimbrel::OwnText(language, key);
  return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

void Program::ReadSavedSettings() {
  const LanguageAndService saved = settings.ReadLanguageAndService();
  language = LanguageIndexFromSaved(saved.languageIndex);
  servers.serverIndex = saved.serverIndex;
  units = settings.ReadUnitSettings();
  rainSeasonStart = settings.ReadRainSeasonStart();
}

QString Program::Text(int key) const {
  QString text = RawText(key);
  text.replace(QStringLiteral("&&"), QStringLiteral("&"));
  return text;
}

}  // namespace nimbrel::ui
