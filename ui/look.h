// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QFont>
#include <QPalette>
#include <QRect>
#include <array>

namespace nimbrel::ui {

// The window's content is 448 x 272 dialog units drawn on 900 x 600 pixels; every position of the
// panels' layouts is given in dialog units.
inline constexpr int kWindowWidth = 900;
inline constexpr int kWindowHeight = 600;
QRect DialogRect(int x, int y, int width, int height);
int DialogX(int x);
int DialogY(int y);

// Heights of the three stacked panels, in dialog units.
inline constexpr int kHeaderBarUnits = 16;
inline constexpr int kMiddlePanelUnits = 240;
inline constexpr int kStatusBarUnits = 16;

// Colours every panel shares.
inline const QColor kGreyText{145, 145, 145};  // values, units, stamp, status texts
inline const QColor kHeaderText{0x63, 0x63, 0x63};
inline const QColor kLabelText{0x05, 0x5D, 0xA0};
inline const QColor kTabText{100, 100, 100};

// The shared look: the panel colour, the button face, the window's palette and the nine fonts, made
// once by the header bar and used by every panel. None of it follows the desktop's colour scheme:
// the panels fix their backgrounds, so their texts, boxes and marks must be fixed with them.
class PanelLook {
 public:
  // Fonts by their number, 1 to 9: 1 header (24, bold), 2 label (22), 3 value (36, medium),
  // 4 (15), 5 unit (25, medium), 6 tab (16, demibold), 7 (16), 8 direction (34, medium),
  // 9 small bold (15, bold).
  enum FontNumber {
    kHeaderFont = 1,
    kLabelFont = 2,
    kValueFont = 3,
    kSmallFont = 4,
    kUnitFont = 5,
    kTabFont = 6,
    kPlainFont = 7,
    kDirectionFont = 8,
    kSmallBoldFont = 9,
  };

  PanelLook();

  const QColor& PanelColor() const { return panelColor_; }
  const QColor& ButtonFaceColor() const { return buttonFaceColor_; }
  // Every colour role of the window, light and the same on every desktop.
  const QPalette& WindowPalette() const { return palette_; }
  const QFont& Font(FontNumber number) const { return fonts_.at(number - 1); }
  // The panels' own font (Arial 11 in dialog terms).
  const QFont& DialogFont() const { return dialogFont_; }

 private:
  QColor panelColor_;
  QColor buttonFaceColor_;
  QPalette palette_;
  std::array<QFont, 9> fonts_;
  QFont dialogFont_;
};

}  // namespace nimbrel::ui
