// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <QString>
#include <array>

#include "settings/server_settings.h"
#include "settings/service_settings.h"
#include "settings/settings_store.h"

class QCheckBox;
class QFormLayout;
class QLabel;
class QLineEdit;
class QSpinBox;
class QTabWidget;
class QTimer;

namespace nimbrel::ui {

struct Program;
class SetupPanel;

// The "Weather services" dialog: a page per service, the console's two first. Their ID and key
// are the setup panel's (locked while Auto Upload is on, as there) and their schedule is the
// console's, shown in words. The program's own services have their switch, ID, key, interval,
// catch-up, server and certificate authority, and CWOP the station's position. Each page shows
// how its service fared last, read again every few seconds while the dialog is open. Nothing is
// saved until OK, and OK saves nothing while a value is wrong.
class ServicesDialog : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kOutcomeRefreshMs = 3000;

  ServicesDialog(Program& program, SetupPanel& setup, QWidget* parent);

  // OK: checks every value; the first wrong one is named in a message box and shown. Otherwise
  // saves and closes.
  void accept() override;
  // Reads the services' outcomes again.
  void ShowOutcomes();

 signals:
  // OK saved the program's own services' settings.
  void ServicesSaved();

 private:
  // What is wrong, and the box that holds it.
  struct Fault {
    QString text;
    QWidget* field;
  };

  struct ServicePage {
    QCheckBox* on = nullptr;
    QLineEdit* id = nullptr;
    QLineEdit* key = nullptr;
    QSpinBox* interval = nullptr;
    QCheckBox* catchUp = nullptr;
    QLineEdit* endpoint = nullptr;
    QLineEdit* ca = nullptr;
  };
  struct ConsolePage {
    QLineEdit* id = nullptr;
    QLineEdit* key = nullptr;
  };
  struct OutcomeLabels {
    QLabel* success = nullptr;
    QLabel* error = nullptr;
  };

  QWidget* AddPage(const QString& title, QFormLayout*& form);
  QLineEdit* AddEdit(QFormLayout& form, const QString& name, const QString& label,
                     const QString& text);
  QLineEdit* AddKeyEdit(QFormLayout& form, const QString& name, const QString& label,
                        bool keyStored);
  QLabel* AddNote(QFormLayout& form, const QString& label, const QString& text);
  void AddOutcomeRows(QFormLayout& form, const QString& name, std::size_t outcome);
  void BuildConsolePage(ServerIndex service);
  void BuildServicePage(WeatherService service);

  std::optional<Fault> ReadServicePage(WeatherService service, ServicesSettings& into) const;
  std::optional<Fault> ReadPosition(ServicesSettings& into) const;
  std::optional<Fault> CheckReady(WeatherService service, const ServicesSettings& settings) const;
  std::optional<Fault> Collect(ServicesSettings& into) const;
  StationIdAndKey ConsoleTexts(ServerIndex service) const;
  void ShowFault(const Fault& fault);

  Program& program_;
  SetupPanel& setup_;
  ServicesSettings stored_;
  QTabWidget* tabs_ = nullptr;
  std::array<ConsolePage, kServiceCount> consolePages_{};
  std::array<ServicePage, kWeatherServiceCount> servicePages_{};
  QLineEdit* latitude_ = nullptr;
  QLineEdit* longitude_ = nullptr;
  std::array<OutcomeLabels, kOutcomeCount> outcomes_{};
  QTimer* refresh_ = nullptr;
};

}  // namespace nimbrel::ui
