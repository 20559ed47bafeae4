// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QIcon>
#include <QPixmap>
#include <QSize>

namespace nimbrel::ui {

// The pictures of the header bar and the status bar, drawn in code so that they stay sharp at any
// size. Each is drawn to fill `size` (in device-independent pixels) on a transparent background;
// `pixelRatio` is the screen's device pixel ratio.

// The help button: a "?" in a blue disc; pressed, the disc darkens and the sign moves down a pixel.
QPixmap HelpButtonPicture(QSize size, bool pressed, qreal pixelRatio = 1.0);

// The connection state: a plug in its socket (green) when connected; when not, the plug drawn
// apart from the socket in grey, a red cross in the gap.
QPixmap ConnectionPicture(QSize size, bool connected, qreal pixelRatio = 1.0);

// The fixed picture beside the logger level: a small data drum.
QPixmap LoggerPicture(QSize size, qreal pixelRatio = 1.0);

// The button that cancels a history download: a white cross in a red disc.
QPixmap CancelPicture(QSize size, qreal pixelRatio = 1.0);

// The program's icon, the one the desktop's menu shows, at the sizes window decorations use.
QIcon ProgramIcon();

}  // namespace nimbrel::ui
