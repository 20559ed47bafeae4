#include "ui/status_bar_panel.h"

#include <QLabel>

#include "ui/program.h"

namespace nimbrel::ui {

StatusBarPanel::StatusBarPanel(Program& program, QWidget* parent)
    : QWidget(parent),
      program_(program),
      loggerLabel_(new QLabel(this)),
      connectionText_(new QLabel(this)),
      connectionIcon_(new QLabel(this)),
      cancelButton_(new QWidget(this)) {}

void StatusBarPanel::SetLoggerText(const QString& value) {
  loggerText_ = value;
}
void StatusBarPanel::HistoryStart(int total) {
  downloadTotal_ = total;
}
void StatusBarPanel::HistoryProgress(int) {}
void StatusBarPanel::ProgressClear() {}
void StatusBarPanel::Relabel() {}
void StatusBarPanel::SetConnected(bool connected) {
  connected_ = connected;
}
QString StatusBarPanel::ConnectionText() const {
  return {};
}
bool StatusBarPanel::CancelShown() const {
  return false;
}
void StatusBarPanel::paintEvent(QPaintEvent*) {}
bool StatusBarPanel::eventFilter(QObject* watched, QEvent* event) {
  return QWidget::eventFilter(watched, event);
}
void StatusBarPanel::CancelDownload() {}

}  // namespace nimbrel::ui
