#include "ui/dashboard_panel.h"

#include "ui/program.h"
#include "ui/status_bar_panel.h"

namespace nimbrel::ui {

class DashboardPanel::ExportBridge {};
class DashboardPanel::Captions {};

DashboardPanel::DashboardPanel(Program& program, StatusBarPanel& statusBar, QWidget* mainWindow,
                               QWidget* parent)
    : QWidget(parent), program_(program), statusBar_(statusBar), mainWindow_(mainWindow) {}

DashboardPanel::~DashboardPanel() = default;

void DashboardPanel::SetUploads(UploadWorker* worker, const StationTexts* texts) {
  uploadWorker_ = worker;
  stationTexts_ = texts;
}
void DashboardPanel::LiveMessage(const HistoryRecord&) {}
void DashboardPanel::LinkLost() {}
void DashboardPanel::ExportFinished(int) {}
void DashboardPanel::ReadStamp() {}
void DashboardPanel::HistoryComplete() {}
void DashboardPanel::WuMessage(const ParamBuffer&) {}
void DashboardPanel::WeathercloudMessage(const ParamBuffer&) {}
void DashboardPanel::NoHistory() {}
void DashboardPanel::TimeRequest() {}
void DashboardPanel::Relabel() {}
void DashboardPanel::JoinExport() {}
QString DashboardPanel::StampText() const {
  return {};
}
void DashboardPanel::paintEvent(QPaintEvent*) {}
bool DashboardPanel::eventFilter(QObject* watched, QEvent* event) {
  return QWidget::eventFilter(watched, event);
}
void DashboardPanel::Refresh() {}
void DashboardPanel::PreviousChannel() {}
void DashboardPanel::NextChannel() {}

}  // namespace nimbrel::ui
