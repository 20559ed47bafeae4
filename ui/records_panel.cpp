// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/records_panel.h"

#include <QPainter>
#include <QPointer>
#include <QTimer>

#include "i18n/own_texts.h"
#include "ui/archive_keeper.h"
#include "ui/frames.h"
#include "ui/program.h"
#include "ui/refresh_pacer.h"

namespace nimbrel::ui {

namespace {

const QColor kFrameColour{145, 145, 145};
const QColor kBandColour{243, 246, 250};
const QColor kLineColour{220, 220, 220};

// The frame, the names' column and the periods' columns, in dialog units.
const QRect kFrameUnits{6, 3, 435, 233};
constexpr int kNamesLeft = 12;
constexpr int kColumnsLeft = 106;
constexpr int kColumnsRight = 438;
constexpr int kTitleTop = 6;
constexpr int kRowsTop = 27;
constexpr int kRowsBottom = 234;

// How often the panel looks whether the day has changed under it.
constexpr int kDayCheckMs = 30000;

// A dialog unit's place across the panel, whatever its width.
int UnitX(const QWidget& panel, int units) {
  return DialogX(units) * panel.width() / kWindowWidth;
}

QFont Sized(QFont font, int pixels, bool bold) {
  font.setPixelSize(pixels);
  font.setBold(bold);
  return font;
}

}  // namespace

RecordsPanel::RecordsPanel(Program& program, QWidget* parent)
    : QWidget(parent),
      program_(program),
      clock_(ClockNow),
      pacer_(new RefreshPacer(*this, [this] { Request(); })),
      dayTimer_(new QTimer(this)) {
  setObjectName(QStringLiteral("recordsPanel"));
  setAutoFillBackground(true);
  QPalette colours = palette();
  colours.setColor(QPalette::Window, program_.look->PanelColor());
  setPalette(colours);
  setFont(program_.look->DialogFont());

  dayTimer_->setInterval(kDayCheckMs);
  connect(dayTimer_, &QTimer::timeout, this, [this] {
    if (isVisible() && !reading_ && Today() != readDay_) {
      Request();
    }
  });
  dayTimer_->start();
  ShowTable();
}

RecordsPanel::~RecordsPanel() = default;

void RecordsPanel::SetArchive(ArchiveKeeper* archive) {
  archive_ = archive;
  pacer_->Follow(*archive_);
}

void RecordsPanel::SetClock(std::function<RecordTimePoint()> clock) {
  clock_ = std::move(clock);
  pacer_->MarkStale();
}

std::chrono::local_days RecordsPanel::Today() const {
  return std::chrono::floor<std::chrono::days>(clock_());
}

void RecordsPanel::Request() {
  pacer_->Started();
  readDay_ = Today();
  if (archive_ == nullptr || archive_->Summary().phase == ArchiveSummary::Phase::kNotInUse) {
    reading_ = false;
    figures_.reset();
    noteKey_ = kOwnChartNoArchive;
    fault_.clear();
    ShowTable();
    return;
  }
  reading_ = true;
  // The figures shown stay until the new ones come: a refresh does not flicker.
  if (!figures_) {
    noteKey_ = kOwnReadingChart;
    fault_.clear();
    ShowTable();
  }
  QPointer<RecordsPanel> panel(this);
  archive_->ReadFigures(readDay_, program_.rainSeasonStart, [panel](const FiguresReply& reply) {
    if (panel) {
      panel->FiguresArrived(reply);
    }
  });
}

void RecordsPanel::FiguresArrived(const FiguresReply& reply) {
  reading_ = false;
  noteKey_ = 0;
  fault_.clear();
  figures_.reset();
  if (!reply.archived) {
    noteKey_ = kOwnChartNoArchive;
  } else if (reply.fault) {
    // Said in place of the figures, which may no longer hold; the next read may work again.
    fault_ = QString::fromStdString(reply.fault->message);
  } else {
    figures_ = reply.figures;
  }
  ShowTable();
}

void RecordsPanel::SeasonChanged() {
  pacer_->Changed();
}

void RecordsPanel::UnitsChanged() {
  ShowTable();
}

void RecordsPanel::Relabel() {
  ShowTable();
}

QString RecordsPanel::Note() const {
  if (!fault_.isEmpty()) {
    return fault_;
  }
  // An archive a fault put out of use says why, whichever read met the fault.
  if (noteKey_ == kOwnChartNoArchive && archive_ != nullptr &&
      !archive_->Summary().unusable.empty()) {
    return QString::fromStdString(archive_->Summary().unusable);
  }
  return noteKey_ != 0 ? program_.OwnText(noteKey_) : QString();
}

void RecordsPanel::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (Today() != readDay_) {
    pacer_->MarkStale();
  }
  pacer_->Shown();
}

// The table of the figures in the current units and language; without figures, only the
// periods' names.
void RecordsPanel::ShowTable() {
  RecordsFigures none;
  const std::chrono::local_days today = Today();
  for (PeriodStats& stats : none) {
    stats.first = stats.last = today;
  }
  table_ =
      MakeRecordsTable(figures_ ? *figures_ : none, program_.units, program_.language, QLocale());
  if (!figures_) {
    table_.spans = {};
  }
  update();
}

void RecordsPanel::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QRect frame =
      DialogRect(kFrameUnits.x(), kFrameUnits.y(), kFrameUnits.width(), kFrameUnits.height());
  DrawFrame(
      painter,
      QRect(UnitX(*this, kFrameUnits.x()), frame.y(),
            UnitX(*this, kFrameUnits.x() + kFrameUnits.width()) - UnitX(*this, kFrameUnits.x()),
            frame.height()),
      kFrameColour, FrameSeparators::kNone, true, height());

  const int namesLeft = UnitX(*this, kNamesLeft);
  const int left = UnitX(*this, kColumnsLeft);
  const int columnWidth =
      (UnitX(*this, kColumnsRight) - left) / static_cast<int>(kRecordsPeriodCount);
  const int top = DialogY(kRowsTop);
  const QFont base = font();

  // The periods' names, and the days each covers under them.
  for (std::size_t period = 0; period < kRecordsPeriodCount; ++period) {
    const QRect column(left + static_cast<int>(period) * columnWidth, DialogY(kTitleTop),
                       columnWidth, top - DialogY(kTitleTop));
    painter.setPen(kHeaderText);
    painter.setFont(program_.look->Font(PanelLook::kSmallBoldFont));
    painter.drawText(column.adjusted(0, 0, 0, -column.height() / 2),
                     Qt::AlignHCenter | Qt::AlignBottom, table_.titles[period]);
    painter.setPen(kGreyText);
    painter.setFont(Sized(base, 11, false));
    painter.drawText(column.adjusted(0, column.height() / 2, 0, 0), Qt::AlignHCenter | Qt::AlignTop,
                     table_.spans[period]);
  }
  const int right = left + columnWidth * static_cast<int>(kRecordsPeriodCount);
  painter.setPen(QPen(kFrameColour, 1));
  painter.drawLine(namesLeft, top - 1, right, top - 1);

  if (const QString note = Note(); !note.isEmpty()) {
    painter.setPen(kHeaderText);
    painter.setFont(program_.look->Font(PanelLook::kTabFont));
    painter.drawText(QRect(namesLeft, top, right - namesLeft, DialogY(kRowsBottom) - top),
                     Qt::AlignCenter | Qt::TextWordWrap, note);
    return;
  }

  const int rowCount = static_cast<int>(table_.rows.size());
  const int rowHeight = (DialogY(kRowsBottom) - top) / std::max(rowCount, 1);
  int group = -1;
  for (int index = 0; index < rowCount; ++index) {
    const RecordsRow& row = table_.rows[static_cast<std::size_t>(index)];
    const QRect band(namesLeft, top + index * rowHeight, right - namesLeft, rowHeight);
    if (!row.name.isEmpty()) {
      ++group;
    }
    // Every other value on a light band, so that a row reads straight across.
    if (group % 2 == 1) {
      painter.fillRect(band, kBandColour);
    }
    if (!row.name.isEmpty() && index > 0) {
      painter.setPen(QPen(kLineColour, 1));
      painter.drawLine(band.topLeft(), band.topRight());
    }
    const QRect names(namesLeft + 4, band.y(), left - namesLeft - 8, rowHeight);
    painter.setPen(kLabelText);
    painter.setFont(Sized(base, 12, true));
    painter.drawText(names, Qt::AlignLeft | Qt::AlignVCenter, row.name);
    painter.setPen(kGreyText);
    painter.setFont(Sized(base, 11, false));
    painter.drawText(names, Qt::AlignRight | Qt::AlignVCenter, row.mark);

    for (std::size_t period = 0; period < kRecordsPeriodCount; ++period) {
      const RecordsCell& cell = row.cells[period];
      const QRect box(left + static_cast<int>(period) * columnWidth, band.y(), columnWidth,
                      rowHeight);
      const bool timed = !cell.when.isEmpty();
      painter.setPen(kHeaderText);
      painter.setFont(Sized(base, 13, true));
      painter.drawText(timed ? box.adjusted(0, 1, 0, -rowHeight / 2 + 2) : box,
                       Qt::AlignHCenter | (timed ? Qt::AlignBottom : Qt::AlignVCenter), cell.value);
      if (timed) {
        painter.setPen(kGreyText);
        painter.setFont(Sized(base, 10, false));
        painter.drawText(box.adjusted(0, rowHeight / 2 + 1, 0, 0), Qt::AlignHCenter | Qt::AlignTop,
                         cell.when);
      }
    }
  }
}

}  // namespace nimbrel::ui
