// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/header_bar_panel.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QComboBox>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

#include "i18n/own_texts.h"
#include "ui/help_document.h"
#include "ui/program.h"
#include "ui/shell_art.h"

namespace nimbrel::ui {

namespace {

// Places on the strip, in dialog units.
const QRect kDashboardTabUnits{0, 1, 104, 13};
const QRect kSetupTabUnits{105, 1, 104, 13};
const QRect kHistoryTabUnits{210, 1, 104, 13};
// The last tab is narrower, to end before the language box.
const QRect kRecordsTabUnits{315, 1, 61, 13};
const QRect kLanguageBoxUnits{378, 1, 48, 13};
const QRect kHelpButtonUnits{432, 3, 6, 6};

constexpr int kDashboardTabText = 4;
constexpr int kSetupTabText = 5;
constexpr int kTabCount = 4;
const QColor kOutlineGrey{145, 145, 145};

QRect Place(const QRect& units) {
  return DialogRect(units.x(), units.y(), units.width(), units.height());
}

// French and Spanish name the setup tab in many more letters than the others.
bool HasLongTabTexts(LanguageIndex language) {
  return language == LanguageIndex::kFrench || language == LanguageIndex::kSpanish;
}

QLabel* MakeTab(QWidget* parent, const QString& name, const QRect& units) {
  auto* tab = new QLabel(parent);
  tab->setObjectName(name);
  tab->setGeometry(Place(units));
  tab->setAlignment(Qt::AlignCenter);
  tab->setTextFormat(Qt::PlainText);
  // The setup tab's French and Spanish texts need a second line.
  tab->setWordWrap(true);
  tab->setAutoFillBackground(true);
  tab->setCursor(Qt::PointingHandCursor);
  return tab;
}

void SetBackground(QWidget* widget, const QColor& color) {
  QPalette palette = widget->palette();
  palette.setColor(QPalette::Window, color);
  widget->setPalette(palette);
}

// The owner-drawn help button: its picture stretched over the button, darker while pressed.
class HelpButton : public QAbstractButton {
 public:
  explicit HelpButton(QWidget* parent) : QAbstractButton(parent) {
    setObjectName(QStringLiteral("helpButton"));
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::NoFocus);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.drawPixmap(rect(), HelpButtonPicture(size(), isDown(), devicePixelRatioF()));
  }
};

}  // namespace

HeaderBarPanel::HeaderBarPanel(Program& program, QWidget* parent)
    : QWidget(parent),
      program_(program),
      dashboardTab_(MakeTab(this, QStringLiteral("dashboardTab"), kDashboardTabUnits)),
      setupTab_(MakeTab(this, QStringLiteral("setupTab"), kSetupTabUnits)),
      historyTab_(MakeTab(this, QStringLiteral("historyTab"), kHistoryTabUnits)),
      recordsTab_(MakeTab(this, QStringLiteral("recordsTab"), kRecordsTabUnits)),
      languageBox_(new QComboBox(this)),
      helpButton_(new HelpButton(this)) {
  // The shared look is made once, before any panel paints with it.
  if (!program_.look) {
    program_.look = std::make_unique<PanelLook>();
  }
  const PanelLook& look = *program_.look;
  setAutoFillBackground(true);
  SetBackground(this, look.PanelColor());

  for (QLabel* tab : Tabs()) {
    tab->setFont(look.Font(PanelLook::kTabFont));
    QPalette palette = tab->palette();
    palette.setColor(QPalette::WindowText, kTabText);
    tab->setPalette(palette);
    tab->installEventFilter(this);
  }
  ColourTabs();

  languageBox_->setObjectName(QStringLiteral("languageBox"));
  languageBox_->setFont(look.Font(PanelLook::kSmallBoldFont));
  // The open list is a window of its own, which does not take the box's font by itself.
  languageBox_->view()->setFont(look.Font(PanelLook::kSmallBoldFont));
  languageBox_->setFocusPolicy(Qt::NoFocus);
  FillLanguageBox();
  // The closed box keeps its natural height, centred on the tabs' middle.
  const QRect box = Place(kLanguageBoxUnits);
  const int boxHeight = std::min(languageBox_->sizeHint().height(), box.height());
  languageBox_->setGeometry(box.x(), box.center().y() - boxHeight / 2, box.width(), boxHeight);
  connect(languageBox_, &QComboBox::activated, this, &HeaderBarPanel::ChooseLanguage);

  helpButton_->setGeometry(Place(kHelpButtonUnits));
  connect(static_cast<QAbstractButton*>(helpButton_), &QAbstractButton::clicked, this,
          &HeaderBarPanel::OpenHelp);

  Relabel();
}

void HeaderBarPanel::FillLanguageBox() {
  for (const LanguageIndex language :
       {LanguageIndex::kEnglish, LanguageIndex::kGerman, LanguageIndex::kFrench,
        LanguageIndex::kItalian, LanguageIndex::kSpanish}) {
    const std::u16string& name = LanguageOwnName(program_.languages, language);
    languageBox_->addItem(QString::fromUtf16(name.data(), static_cast<qsizetype>(name.size())));
  }
  languageBox_->setCurrentIndex(static_cast<int>(program_.language));
}

void HeaderBarPanel::ChooseLanguage(int position) {
  if (position < 0 || position >= static_cast<int>(kLanguageCount)) {
    return;
  }
  program_.language = static_cast<LanguageIndex>(position);
  emit LanguageChanged();
}

void HeaderBarPanel::Relabel() {
  const PanelLook& look = *program_.look;
  dashboardTab_->setText(program_.Text(kDashboardTabText));
  setupTab_->setText(program_.Text(kSetupTabText));
  historyTab_->setText(program_.OwnText(kOwnHistoryTab));
  recordsTab_->setText(program_.OwnText(kOwnRecordsTab));
  setupTab_->setFont(look.Font(HasLongTabTexts(program_.language) ? PanelLook::kSmallBoldFont
                                                                  : PanelLook::kTabFont));
  // The box follows a language set from elsewhere too; setting it announces nothing.
  languageBox_->setCurrentIndex(static_cast<int>(program_.language));
  update();
}

void HeaderBarPanel::SetShownPanel(int shown) {
  shown_ = shown;
  ColourTabs();
  update();
}

// The shown panel's tab takes the panel colour and so merges with the panel below; the others
// stand back in the button face. A number that names no panel leaves every tab open.
void HeaderBarPanel::ColourTabs() {
  const PanelLook& look = *program_.look;
  const bool known = shown_ >= 1 && shown_ <= kTabCount;
  int panel = 1;
  for (QLabel* tab : Tabs()) {
    const bool back = known && shown_ != panel++;
    SetBackground(tab, back ? look.ButtonFaceColor() : look.PanelColor());
  }
}

// The outline of the tabs: a grey line over all of them and down the right of the last, on along
// the strip's bottom; a grey line between neighbours; and under them, grey below the tabs that
// are not shown and the panel colour below the one that is, so that it opens into the panel.
void HeaderBarPanel::paintEvent(QPaintEvent*) {
  const std::array<QLabel*, kTabCount> tabs = Tabs();
  const QRect last = tabs.back()->geometry();
  const int r = last.x() + last.width();
  const int b = last.y() + last.height();
  const int lastX = width() - 1;
  // The left edge, then the right edge of each tab.
  std::array<int, kTabCount + 1> dividers{};
  for (std::size_t tab = 0; tab < tabs.size(); ++tab) {
    dividers[tab + 1] = tabs[tab]->geometry().x() + tabs[tab]->width();
  }

  QPainter painter(this);
  painter.setPen(QPen(kOutlineGrey, 1));
  const QPoint outline[] = {{0, 1}, {r, 1}, {r, b}, {lastX, b}};
  painter.drawPolyline(outline, 4);
  for (int tab = 1; tab < kTabCount; ++tab) {
    painter.drawLine(dividers[tab], 1, dividers[tab], b);
  }
  if (shown_ < 1 || shown_ > kTabCount) {
    return;
  }
  painter.drawLine(0, b, r, b);
  painter.setPen(QPen(program_.look->PanelColor(), 1));
  // The corner under a divider on the shown tab's right stays grey, but for the first tab's.
  const int left = dividers[shown_ - 1];
  const int right = dividers[shown_] - (shown_ == 1 ? 0 : 1);
  painter.drawLine(left, b, right, b);
}

bool HeaderBarPanel::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonRelease) {
    const auto* mouse = static_cast<QMouseEvent*>(event);
    const auto* widget = qobject_cast<QWidget*>(watched);
    const bool inside = widget != nullptr && widget->rect().contains(mouse->position().toPoint());
    if (mouse->button() == Qt::LeftButton && inside) {
      const std::array<QLabel*, kTabCount> tabs = Tabs();
      const auto tab = std::find(tabs.begin(), tabs.end(), watched);
      if (tab != tabs.end()) {
        emit ShowPanelRequested(static_cast<int>(tab - tabs.begin()) + 1);
        return true;
      }
    }
  }
  return QWidget::eventFilter(watched, event);
}

std::array<QLabel*, kTabCount> HeaderBarPanel::Tabs() const {
  return {dashboardTab_, setupTab_, historyTab_, recordsTab_};
}

void HeaderBarPanel::OpenHelp() {
  OpenHelpDocument();
}

}  // namespace nimbrel::ui
