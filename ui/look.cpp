// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/look.h"

namespace nimbrel::ui {

namespace {

// "Arial" resolves to the metric-compatible Liberation Sans where Arial is not installed.
QFont ArialFont(int pixelHeight, int weight) {
  QFont font(QStringLiteral("Arial"));
  font.setStyleHint(QFont::SansSerif);
  // A font of cell height h has an em of about 0.87 h in Arial's metrics.
  font.setPixelSize(pixelHeight * 87 / 100);
  font.setWeight(static_cast<QFont::Weight>(weight == 0 ? 400 : weight));
  return font;
}

// The window's colours by role, enabled and disabled: dark text on light boxes and buttons, as the
// panels' fixed white background needs.
struct RoleColours {
  QPalette::ColorRole role;
  QColor enabled;
  QColor disabled;
};

QPalette MakeWindowPalette(const QColor& panel, const QColor& buttonFace) {
  const QColor black(Qt::black);
  const QColor white(Qt::white);
  const QColor greyed(120, 120, 120);
  const RoleColours roles[] = {
      {QPalette::WindowText, black, greyed},
      {QPalette::Button, buttonFace, buttonFace},
      {QPalette::Light, white, white},
      {QPalette::Midlight, {227, 227, 227}, {227, 227, 227}},
      {QPalette::Dark, {160, 160, 160}, {160, 160, 160}},
      {QPalette::Mid, {160, 160, 160}, {160, 160, 160}},
      {QPalette::Text, black, greyed},
      {QPalette::BrightText, white, white},
      {QPalette::ButtonText, black, greyed},
      {QPalette::Base, white, buttonFace},
      {QPalette::Window, panel, panel},
      {QPalette::Shadow, {105, 105, 105}, {105, 105, 105}},
      {QPalette::Highlight, {0, 120, 215}, {0, 120, 215}},
      {QPalette::HighlightedText, white, white},
      {QPalette::Link, {0, 0, 255}, greyed},
      {QPalette::LinkVisited, {255, 0, 255}, greyed},
      {QPalette::AlternateBase, {245, 245, 245}, {245, 245, 245}},
      {QPalette::ToolTipBase, {255, 255, 220}, {255, 255, 220}},
      {QPalette::ToolTipText, black, black},
      {QPalette::PlaceholderText, greyed, greyed},
  };
  QPalette palette;
  for (const RoleColours& colours : roles) {
    palette.setColor(QPalette::All, colours.role, colours.enabled);
    palette.setColor(QPalette::Disabled, colours.role, colours.disabled);
  }
  return palette;
}

}  // namespace

int DialogX(int x) {
  return x * kWindowWidth / 448;
}
int DialogY(int y) {
  return y * kWindowHeight / 272;
}

QRect DialogRect(int x, int y, int width, int height) {
  const int left = DialogX(x);
  const int top = DialogY(y);
  return QRect(left, top, DialogX(x + width) - left, DialogY(y + height) - top);
}

PanelLook::PanelLook()
    : panelColor_(Qt::white),
      buttonFaceColor_(240, 240, 240),
      palette_(MakeWindowPalette(panelColor_, buttonFaceColor_)),
      fonts_{ArialFont(24, 700), ArialFont(22, 0),   ArialFont(36, 500),
             ArialFont(15, 0),   ArialFont(25, 500), ArialFont(16, 600),
             ArialFont(16, 0),   ArialFont(34, 500), ArialFont(15, 700)},
      dialogFont_(ArialFont(16, 0)) {}

}  // namespace nimbrel::ui
