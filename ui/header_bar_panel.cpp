#include "ui/header_bar_panel.h"

#include <QComboBox>
#include <QLabel>

#include "ui/program.h"

namespace nimbrel::ui {

HeaderBarPanel::HeaderBarPanel(Program& program, QWidget* parent)
    : QWidget(parent),
      program_(program),
      dashboardTab_(new QLabel(this)),
      setupTab_(new QLabel(this)),
      languageBox_(new QComboBox(this)),
      helpButton_(new QWidget(this)) {}

void HeaderBarPanel::Relabel() {}
void HeaderBarPanel::SetShownPanel(int shown) {
  shown_ = shown;
}
void HeaderBarPanel::paintEvent(QPaintEvent*) {}
bool HeaderBarPanel::eventFilter(QObject* watched, QEvent* event) {
  return QWidget::eventFilter(watched, event);
}
void HeaderBarPanel::OpenHelp() {}
QString HelpDocumentPath() {
  return {};
}

}  // namespace nimbrel::ui
