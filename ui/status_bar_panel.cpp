// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/status_bar_panel.h"

#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

#include "i18n/own_texts.h"
#include "station/commands.h"
#include "station/link.h"
#include "ui/program.h"
#include "ui/shell_art.h"

namespace nimbrel::ui {

namespace {

// Places on the strip, in dialog units.
const QRect kProgressUnits{7, 4, 69, 8};
const QRect kCancelUnits{82, 5, 13, 11};
const QRect kLoggerLabelUnits{207, 2, 95, 12};
const QRect kLoggerUnits{300, 4, 21, 12};
const QRect kLoggerIconUnits{321, 0, 20, 15};
const QRect kConnectionTextUnits{341, 1, 80, 14};
const QRect kConnectionIconUnits{423, 0, 20, 15};

// Sizes of the pictures, in pixels.
constexpr int kIconSide = 26;
constexpr int kCancelSide = 18;

constexpr int kExportingText = 53;
constexpr int kLoggerLabelText = 54;
constexpr int kConnectedText = 55;
constexpr int kNotConnectedText = 56;

// The longest texts the strip keeps: the logger value without its "%", the whole progress text.
constexpr int kLoggerValueMax = 32;
constexpr int kProgressTextMax = 127;

QRect Place(const QRect& units) {
  return DialogRect(units.x(), units.y(), units.width(), units.height());
}

// The download's percentage, truncated toward zero; nothing is known without a total.
int DownloadPercent(int accounted, int total) {
  if (total <= 0) {
    return 0;
  }
  const double percent = static_cast<double>(accounted) / total * 100.0;
  return static_cast<int>(std::clamp(percent, 0.0, 100.0));
}

// A text too wide for its place loses whole words from the front, so that "Logger --%", which
// the "Logger" label already introduces, shows as "--%" rather than as a cut-off "gger --%".
QString FittingTail(const QString& text, const QFontMetrics& metrics, int width) {
  QString tail = text;
  qsizetype space = tail.indexOf(QLatin1Char(' '));
  while (metrics.horizontalAdvance(tail) > width && space >= 0) {
    tail = tail.mid(space + 1);
    space = tail.indexOf(QLatin1Char(' '));
  }
  return tail;
}

QLabel* MakeLabel(QWidget* parent, const QString& name, const QRect& place,
                  Qt::Alignment alignment) {
  auto* label = new QLabel(parent);
  label->setObjectName(name);
  label->setGeometry(place);
  label->setAlignment(alignment);
  label->setTextFormat(Qt::PlainText);
  return label;
}

}  // namespace

StatusBarPanel::StatusBarPanel(Program& program, QWidget* parent)
    : QWidget(parent),
      program_(program),
      loggerText_(QStringLiteral("Logger --%")),
      loggerLabel_(nullptr),
      connectionText_(nullptr),
      connectionIcon_(nullptr),
      cancelButton_(nullptr) {
  const PanelLook& look = *program_.look;
  const int barHeight = DialogY(kStatusBarUnits);
  // Every text and picture sits on the strip's middle line; only the columns come from the
  // layout, so the label, the level and the connection text share one baseline.
  const auto column = [barHeight](const QRect& units) {
    const QRect place = Place(units);
    return QRect(place.x(), 0, place.width(), barHeight);
  };
  progressRect_ = column(kProgressUnits);
  loggerRect_ = column(kLoggerUnits);

  setAutoFillBackground(true);
  QPalette palette = this->palette();
  palette.setColor(QPalette::Window, look.PanelColor());
  palette.setColor(QPalette::WindowText, kGreyText);
  setPalette(palette);
  setFont(look.DialogFont());

  loggerLabel_ = MakeLabel(this, QStringLiteral("loggerLabel"), column(kLoggerLabelUnits),
                           Qt::AlignRight | Qt::AlignVCenter);
  connectionText_ = MakeLabel(this, QStringLiteral("connectionText"), column(kConnectionTextUnits),
                              Qt::AlignRight | Qt::AlignVCenter);
  QLabel* loggerIcon =
      MakeLabel(this, QStringLiteral("loggerIcon"), column(kLoggerIconUnits), Qt::AlignCenter);
  loggerIcon->setPixmap(LoggerPicture({kIconSide, kIconSide}, devicePixelRatioF()));
  connectionIcon_ = MakeLabel(this, QStringLiteral("connectionIcon"), column(kConnectionIconUnits),
                              Qt::AlignCenter);

  QLabel* cancel =
      MakeLabel(this, QStringLiteral("cancelButton"), column(kCancelUnits), Qt::AlignCenter);
  cancel->setPixmap(CancelPicture({kCancelSide, kCancelSide}, devicePixelRatioF()));
  cancel->setCursor(Qt::PointingHandCursor);
  cancel->installEventFilter(this);
  cancel->hide();
  cancelButton_ = cancel;

  ShowConnectionPicture();
  Relabel();
}

void StatusBarPanel::SetLoggerText(const QString& value) {
  loggerText_ = value.left(kLoggerValueMax) + QLatin1Char('%');
  update(loggerRect_);
}

void StatusBarPanel::HistoryStart(int total) {
  downloadTotal_ = total;
  cancelButton_->show();
}

void StatusBarPanel::HistoryProgress(int accounted) {
  progressText_.clear();
  if (!program_.state.downloadCancelled) {
    const int percent = DownloadPercent(accounted, downloadTotal_);
    // A download into the archive alone writes no file: it is not called exporting.
    const QString doing = program_.state.archiveOnly ? program_.OwnText(kOwnDownloading)
                                                     : program_.Text(kExportingText);
    progressText_ =
        QStringLiteral("%1 %2% ....").arg(doing, QString::number(percent)).left(kProgressTextMax);
  }
  update(progressRect_);
}

void StatusBarPanel::ShowNote(const QString& text) {
  progressText_ = text.left(kProgressTextMax);
  update(progressRect_);
}

void StatusBarPanel::ProgressClear() {
  HideProgress();
}

void StatusBarPanel::HideProgress() {
  cancelButton_->hide();
  progressText_.clear();
  update(progressRect_);
}

void StatusBarPanel::Relabel() {
  loggerLabel_->setText(program_.Text(kLoggerLabelText));
  connectionText_->setText(
      program_.Text(program_.state.linkConnected ? kConnectedText : kNotConnectedText));
}

void StatusBarPanel::SetConnected(bool connected) {
  connected_ = connected;
  connectionText_->setText(program_.Text(connected ? kConnectedText : kNotConnectedText));
  ShowConnectionPicture();
}

void StatusBarPanel::ShowConnectionPicture() {
  connectionIcon_->setPixmap(
      ConnectionPicture({kIconSide, kIconSide}, connected_, devicePixelRatioF()));
}

QString StatusBarPanel::ConnectionText() const {
  return connectionText_->text();
}

bool StatusBarPanel::CancelShown() const {
  return cancelButton_->isVisibleTo(this);
}

void StatusBarPanel::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setPen(kGreyText);
  painter.setFont(font());

  painter.save();
  painter.setClipRect(loggerRect_);
  painter.drawText(loggerRect_, Qt::AlignRight | Qt::AlignVCenter,
                   FittingTail(loggerText_, painter.fontMetrics(), loggerRect_.width()));
  painter.restore();

  painter.setClipRect(progressRect_);
  painter.drawText(progressRect_, Qt::AlignLeft | Qt::AlignVCenter, progressText_);
}

bool StatusBarPanel::eventFilter(QObject* watched, QEvent* event) {
  if (watched == cancelButton_ && event->type() == QEvent::MouseButtonRelease) {
    const auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() == Qt::LeftButton &&
        cancelButton_->rect().contains(mouse->position().toPoint())) {
      CancelDownload();
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

// The download stops at once on our side: later history frames are refused and later progress
// shows nothing, whatever the console still sends.
void StatusBarPanel::CancelDownload() {
  program_.state.downloadCancelled = true;
  SendCommand(program_.device, program_.state, CMD_CANCEL);
  HideProgress();
  program_.state.downloadActive = false;
}

}  // namespace nimbrel::ui
