#pragma once

#include <QWidget>

#include "upload/upload_request.h"

namespace nimbrel::ui {

struct Program;

// The export-and-setup panel: units, weather servers with the upload indicator, and the export
// request.
class SetupPanel : public QWidget, public StationTexts {
  Q_OBJECT

 public:
  SetupPanel(Program& program, QWidget* mainWindow, QWidget* parent);

  void Relabel();      // WM_RELABEL_SETUP
  void LinkChanged();  // the console came or went: reset the automatic uploads when it went
  void UploadAckWu();  // WM_UPLOAD_ACK_WU
  void UploadAckWc();  // WM_UPLOAD_ACK_WC

  // The station ID and key in force: the edit boxes for the selected service, the stored ones for
  // the other.
  StationIdAndKey InForce(ServerIndex service) const override;
  // What the edit boxes hold now, saved for the selected service at shutdown.
  StationIdAndKey EditTexts() const;

 signals:
  // A unit changed: the dashboard repaints with it.
  void UnitsChanged();

 private:
  Program& program_;
  QWidget* mainWindow_;
};

}  // namespace nimbrel::ui
