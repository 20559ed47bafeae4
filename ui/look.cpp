#include "ui/look.h"

#include <QApplication>
#include <QPalette>

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
      buttonFaceColor_(QApplication::palette().color(QPalette::Button)),
      fonts_{ArialFont(24, 700), ArialFont(22, 0),   ArialFont(36, 500),
             ArialFont(15, 0),   ArialFont(25, 500), ArialFont(16, 600),
             ArialFont(16, 0),   ArialFont(34, 500), ArialFont(15, 700)},
      dialogFont_(ArialFont(16, 0)) {}

}  // namespace nimbrel::ui
