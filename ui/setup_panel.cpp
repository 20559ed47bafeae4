#include "ui/setup_panel.h"

#include "ui/program.h"

namespace nimbrel::ui {

SetupPanel::SetupPanel(Program& program, QWidget* mainWindow, QWidget* parent)
    : QWidget(parent), program_(program), mainWindow_(mainWindow) {}

void SetupPanel::Relabel() {}
void SetupPanel::LinkChanged() {}
void SetupPanel::UploadAckWu() {}
void SetupPanel::UploadAckWc() {}

StationIdAndKey SetupPanel::InForce(ServerIndex service) const {
  return program_.settings.ReadStationIdAndKey(service);
}

StationIdAndKey SetupPanel::EditTexts() const {
  return {};
}

}  // namespace nimbrel::ui
