// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>
#include <array>

class QComboBox;
class QLabel;

namespace nimbrel::ui {

struct Program;

// The strip at the top: the DASHBOARD, EXPORT & SETUP, HISTORY and RECORDS tabs, the language box
// and the help button.
class HeaderBarPanel : public QWidget {
  Q_OBJECT

 public:
  HeaderBarPanel(Program& program, QWidget* parent);

  // WM_RELABEL_HEADER: the tab texts of the current language.
  void Relabel();
  // The shown panel changed (1 dashboard, 2 export and setup, 3 history, 4 records): repaint the
  // tabs.
  void SetShownPanel(int shown);

 signals:
  // WM_SHOW_PANEL: a tab was clicked.
  void ShowPanelRequested(int panel);
  // The user chose another language; the program's language is already set.
  void LanguageChanged();

 protected:
  void paintEvent(QPaintEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void OpenHelp();
  void FillLanguageBox();
  void ChooseLanguage(int position);
  void ColourTabs();
  // In the order of their panels' numbers.
  std::array<QLabel*, 4> Tabs() const;

  Program& program_;
  int shown_ = 1;
  QLabel* dashboardTab_;
  QLabel* setupTab_;
  QLabel* historyTab_;
  QLabel* recordsTab_;
  QComboBox* languageBox_;
  QWidget* helpButton_;
};

}  // namespace nimbrel::ui
