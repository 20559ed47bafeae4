// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/message_boxes.h"

#include <QFileDialog>
#include <QMessageBox>

namespace nimbrel::ui {

void QtMessageBoxes::Show(QWidget* owner, const QString& text, const QString& caption, Icon icon) {
  QMessageBox box(icon == Icon::kError ? QMessageBox::Critical : QMessageBox::NoIcon, caption, text,
                  QMessageBox::Ok, owner);
  box.exec();
}

QString QtFileDialogs::SaveFileName(QWidget* owner, const QStringList& filters,
                                    const QString& defaultSuffix) {
  QFileDialog dialog(owner);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setNameFilters(filters);
  dialog.setDefaultSuffix(defaultSuffix);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
    return {};
  }
  return dialog.selectedFiles().first();
}

}  // namespace nimbrel::ui
