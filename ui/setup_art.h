// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAbstractButton>
#include <QPixmap>
#include <QSize>

#include "settings/server_settings.h"

namespace nimbrel::ui {

// The upload indicator's picture: a green cloud with an upward arrow for a confirmed upload, an
// orange cloud with an exclamation mark for a period without confirmation; an empty picture for
// nothing to show.
QPixmap UploadIndicatorPicture(UploadStatus status, QSize size, qreal pixelRatio);

// One of the export group's buttons (Select All, Clear All, Export, Download to archive): a
// rounded blue face with its caption in the current language, darker and pressed in while held
// down, grey while disabled.
class SetupButton : public QAbstractButton {
  Q_OBJECT

 public:
  explicit SetupButton(QWidget* parent);

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace nimbrel::ui
