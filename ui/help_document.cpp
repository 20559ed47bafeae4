// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/help_document.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace nimbrel::ui {

QString HelpDocumentPath(const QString& programFolder) {
  const QDir folder(programFolder);
  const QString beside = folder.filePath(QString::fromLatin1(kHelpDocumentName));
  if (QFileInfo::exists(beside)) {
    return beside;
  }
  // Installed: <prefix>/bin/nimbrel and <prefix>/share/doc/nimbrel/Nimbrel_help.pdf.
  const QString installed = folder.filePath(QStringLiteral("../share/doc/nimbrel/") +
                                            QString::fromLatin1(kHelpDocumentName));
  return QFileInfo::exists(installed) ? QDir::cleanPath(installed) : beside;
}

QString HelpDocumentPath() {
  return HelpDocumentPath(QCoreApplication::applicationDirPath());
}

void OpenHelpDocument() {
  QDesktopServices::openUrl(QUrl::fromLocalFile(HelpDocumentPath()));
}

}  // namespace nimbrel::ui
