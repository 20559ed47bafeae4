// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

class QWidget;

namespace nimbrel::ui {

// Every modal message box of the program goes through here, so tests can record them instead of
// blocking. Texts and captions are the program's fixed English texts.
class MessageBoxes {
 public:
  enum class Icon { kNone, kError };
  virtual ~MessageBoxes() = default;
  // A modal box with an OK button, owned by `owner`.
  virtual void Show(QWidget* owner, const QString& text, const QString& caption, Icon icon) = 0;
};

// The Save-As dialog, replaceable for the same reason.
class FileDialogs {
 public:
  virtual ~FileDialogs() = default;
  // The chosen path, or an empty text when the user cancelled. `filters` are shown in order, the
  // first preselected; a name typed without extension gets `defaultSuffix`.
  virtual QString SaveFileName(QWidget* owner, const QStringList& filters,
                               const QString& defaultSuffix) = 0;
};

class QtMessageBoxes : public MessageBoxes {
 public:
  void Show(QWidget* owner, const QString& text, const QString& caption, Icon icon) override;
};

class QtFileDialogs : public FileDialogs {
 public:
  QString SaveFileName(QWidget* owner, const QStringList& filters,
                       const QString& defaultSuffix) override;
};

}  // namespace nimbrel::ui
