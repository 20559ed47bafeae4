// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFont>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <array>
#include <vector>

#include "settings/export_request.h"
#include "settings/export_validation.h"
#include "settings/server_settings.h"
#include "upload/upload_request.h"

class QAbstractButton;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QTimer;

namespace nimbrel::ui {

struct Program;
class SetupButton;
class ArchiveKeeper;
class ServicesDialog;

// The export-and-setup panel: units, weather servers with the upload indicator, and the export
// request.
class SetupPanel : public QWidget, public StationTexts {
  Q_OBJECT

 public:
  // How often each service's UploadCheckTimer looks for acknowledgements: 10 minutes.
  static constexpr int kUploadCheckPeriodMs = 600000;
  static constexpr int kUnitListCount = 6;

  SetupPanel(Program& program, QWidget* mainWindow, QWidget* parent);

  void Relabel();      // WM_RELABEL_SETUP
  void LinkChanged();  // the console came or went: reset the automatic uploads when it went
  void UploadAckWu();  // WM_UPLOAD_ACK_WU
  void UploadAckWc();  // WM_UPLOAD_ACK_WC

  // What a service's UploadCheckTimer does when it fires (WM_TIMER): UPLOAD when the period
  // brought an acknowledgement, FAIL when not. Ignored while no console is connected.
  void UploadCheck(ServerIndex service);
  bool UploadCheckRunning(ServerIndex service) const;
  // What the indicator shows now: nothing, UPLOAD or FAIL.
  UploadStatus IndicatorShown() const { return indicatorShown_; }

  // The station ID and key in force: the edit boxes for the selected service, the stored ones for
  // the other.
  StationIdAndKey InForce(ServerIndex service) const override;
  // What the edit boxes hold now, saved for the selected service at shutdown.
  StationIdAndKey EditTexts() const;
  // Stores a console service's ID and key (each only when not empty, as Auto Upload does) and
  // shows them in the edit boxes when that service is the selected one.
  void SetStationTexts(ServerIndex service, const StationIdAndKey& texts);

  // The "Weather services" dialog, opened window-modal (or raised when already open).
  ServicesDialog& OpenServicesDialog();

  // The Export button: checks the request, asks for the file and asks the console for its
  // history. Does nothing while a download runs or no console is connected.
  void Export();
  // "Download to archive": asks the console for its history, with the archive as its only
  // destination (no file). Does nothing unless the archive is open and no download runs.
  void DownloadToArchive();

  // The archive whose state the export group shows, once the window has one.
  void SetArchive(ArchiveKeeper* archive);

 signals:
  // A unit changed: the dashboard repaints with it (and writes its pressure caption anew).
  void UnitsChanged();
  // The user chose another first month of the rain season.
  void RainSeasonChanged();
  // The weather services dialog saved new settings for the program's own services.
  void ServicesChanged();
  // An upload of one of the console's services was acknowledged.
  void UploadAcknowledged(ServerIndex service);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  // A text that follows the language: the control, its key and the font it is fitted from.
  struct Caption {
    QWidget* control;
    int key;
    QFont font;
  };

  QLabel* AddLabel(const QString& name, const QRect& units, int key, const QFont& font,
                   Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter);
  QCheckBox* AddCheckBox(const QString& name, const QRect& units, int key);
  QLineEdit* AddEdit(const QString& name, const QRect& units, int maxLength);
  QComboBox* AddList(const QString& name, const QRect& units, const QStringList& entries);

  void BuildUnitGroup();
  void BuildServerGroup();
  void BuildExportGroup();
  void ApplySetupTexts();
  void ApplyCaption(const Caption& caption);

  void UnitChanged(int list, int index);
  void ServiceChanged(int index);
  void AutoUploadClicked(bool checked);
  void Acknowledged(ServerIndex service);
  void ShowSelectedStatus();
  void SetStationLabels();
  void SetStationBoxesEnabled(bool enabled);
  StationIdAndKey ShownIdAndKey() const;
  QTimer& UploadTimer(ServerIndex service) const;

  void BuildArchiveRow();
  void BuildRainSeasonRow();
  void BuildServicesButton();
  void ShowRainSeason();
  void ShowArchive();
  bool DownloadBusy() const;

  void SetAllDataSets(bool checked);
  void WholePeriodToggled(bool checked);
  ExportChoices Choices() const;
  bool ValidateExportRequest();
  bool ChooseExportFile(QWidget* owner);

  Program& program_;
  QWidget* mainWindow_;
  std::vector<Caption> captions_;

  QLabel* stationIdLabel_ = nullptr;
  QLabel* stationKeyLabel_ = nullptr;
  QLineEdit* stationId_ = nullptr;
  QLineEdit* stationKey_ = nullptr;
  QCheckBox* autoUpload_ = nullptr;
  QLabel* uploadText_ = nullptr;
  QLabel* uploadIcon_ = nullptr;
  UploadStatus indicatorShown_ = UploadStatus::Hidden;
  std::array<QTimer*, kServiceCount> uploadTimers_{};

  std::array<QLineEdit*, 6> dateBoxes_{};  // start year, month, day; end year, month, day
  QCheckBox* wholePeriod_ = nullptr;
  std::array<QCheckBox*, kDataSetCount> dataSets_{};  // in DataSet order
  std::array<SetupButton*, 3> buttons_{};             // Select All, Clear All, Export

  ArchiveKeeper* archive_ = nullptr;
  QLabel* archiveRecords_ = nullptr;
  QLabel* archiveMerge_ = nullptr;
  SetupButton* archiveDownload_ = nullptr;
  QLabel* rainSeasonLabel_ = nullptr;
  QComboBox* rainSeasonList_ = nullptr;
  SetupButton* servicesButton_ = nullptr;
  QPointer<ServicesDialog> servicesDialog_;
};

}  // namespace nimbrel::ui
