// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/history_panel.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDateEdit>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QRadioButton>
#include <QTimer>

#include "i18n/own_texts.h"
#include "ui/archive_keeper.h"
#include "ui/frames.h"
#include "ui/history_chart_view.h"
#include "ui/history_texts.h"
#include "ui/program.h"
#include "ui/refresh_pacer.h"
#include "ui/setup_art.h"

namespace nimbrel::ui {

namespace {

const QColor kPanelText{120, 120, 120};
const QColor kFrameColour{145, 145, 145};

// The choices on the left and the chart on the right, in dialog units.
const QRect kChoiceFrame{6, 3, 106, 233};
const QRect kChartFrame{115, 3, 326, 233};
const QRect kChartUnits{118, 6, 320, 200};
const QRect kReadoutUnits{121, 207, 168, 28};
const std::array<QRect, 2> kSaveUnits = {QRect(292, 220, 70, 13), QRect(366, 220, 70, 13)};

constexpr int kKindTop = 20;
constexpr int kPeriodTop = 103;
constexpr int kRowHeight = 11;
constexpr int kDateTop = 160;
constexpr int kChannelTop = 205;

// The spans in the order of the period buttons.
constexpr std::array<ChartSpan, 5> kSpans = {ChartSpan::kDay, ChartSpan::kWeek, ChartSpan::kMonth,
                                             ChartSpan::kYear, ChartSpan::kChosen};

QRect Place(const QRect& units) {
  return DialogRect(units.x(), units.y(), units.width(), units.height());
}

// The locale's short date, with the year in full: two digits would be ambiguous in an archive
// that spans decades.
QString DateFormat() {
  QString format = QLocale().dateFormat(QLocale::ShortFormat);
  if (!format.contains(QStringLiteral("yyyy"))) {
    format.replace(QStringLiteral("yy"), QStringLiteral("yyyy"));
  }
  return format;
}

bool HasChannels(ChartKind kind) {
  return kind == ChartKind::kTemperature || kind == ChartKind::kHumidity;
}

}  // namespace

HistoryPanel::HistoryPanel(Program& program, QWidget* mainWindow, QWidget* parent)
    : QWidget(parent),
      program_(program),
      mainWindow_(mainWindow),
      clock_(ClockNow),
      kinds_(new QButtonGroup(this)),
      periods_(new QButtonGroup(this)),
      pacer_(new RefreshPacer(*this, [this] { Request(); })),
      readingMarkTimer_(new QTimer(this)) {
  setObjectName(QStringLiteral("historyPanel"));
  setAutoFillBackground(true);
  QPalette colours = palette();
  colours.setColor(QPalette::Window, program_.look->PanelColor());
  colours.setColor(QPalette::WindowText, kPanelText);
  // A disabled box must look disabled against the white panel, and stay legible.
  colours.setColor(QPalette::Disabled, QPalette::Base, QColor(240, 240, 240));
  colours.setColor(QPalette::Disabled, QPalette::Text, QColor(95, 95, 95));
  setPalette(colours);
  setFont(program_.look->DialogFont());

  // A read that ends within a blink shows no mark, so a refresh does not flicker.
  readingMarkTimer_->setSingleShot(true);
  readingMarkTimer_->setInterval(kReadingMarkDelayMs);
  connect(readingMarkTimer_, &QTimer::timeout, this,
          [this] { view_->SetReading(program_.OwnText(kOwnReadingChart)); });
  BuildChoices();
  BuildChartArea();
  ChoiceChanged();
  ShowTexts();
}

HistoryPanel::~HistoryPanel() = default;

QLabel* HistoryPanel::AddTitle(const char* name, const QRect& units) {
  auto* label = new QLabel(this);
  label->setObjectName(QString::fromLatin1(name));
  label->setGeometry(Place(units));
  label->setFont(program_.look->Font(PanelLook::kTabFont));
  return label;
}

void HistoryPanel::BuildChoices() {
  titles_ = {AddTitle("readingsTitle", {13, 7, 96, 12}), AddTitle("periodTitle", {13, 90, 96, 12}),
             AddTitle("channelsTitle", {13, 191, 96, 12})};
  for (int kind = 0; kind < static_cast<int>(kChartKinds.size()); ++kind) {
    auto* button = new QRadioButton(this);
    button->setObjectName(QStringLiteral("kind%1").arg(kind));
    button->setGeometry(Place({15, kKindTop + kind * kRowHeight, 94, 10}));
    kinds_->addButton(button, kind);
  }
  for (int period = 0; period < static_cast<int>(kSpans.size()); ++period) {
    auto* button = new QRadioButton(this);
    button->setObjectName(QStringLiteral("period%1").arg(period));
    button->setGeometry(Place({15, kPeriodTop + period * kRowHeight, 94, 10}));
    periods_->addButton(button, period);
  }
  kinds_->button(0)->setChecked(true);
  periods_->button(1)->setChecked(true);  // a week: the weather of the last days at a glance

  for (std::size_t box = 0; box < dates_.size(); ++box) {
    const int y = kDateTop + static_cast<int>(box) * 14;
    dateLabels_[box] = new QLabel(this);
    dateLabels_[box]->setGeometry(Place({15, y, 24, 12}));
    auto* edit = new QDateEdit(this);
    edit->setObjectName(box == 0 ? QStringLiteral("fromDate") : QStringLiteral("toDate"));
    edit->setGeometry(Place({40, y, 67, 12}));
    edit->setDisplayFormat(DateFormat());
    edit->setCalendarPopup(true);
    dates_[box] = edit;
  }
  SetDatesToLastWeek();
  for (QDateEdit* edit : dates_) {
    connect(edit, &QDateEdit::dateChanged, this, [this] {
      dates_[1]->setMinimumDate(dates_[0]->date());  // the end never lies before the start
      if (CurrentRequest().period.span == ChartSpan::kChosen) {
        ChoiceChanged();  // the dates matter to the chosen period only
      }
    });
  }

  for (std::size_t channel = 0; channel < channels_.size(); ++channel) {
    const int row = static_cast<int>(channel / 4);
    const int column = static_cast<int>(channel % 4);
    auto* box = new QCheckBox(QStringLiteral("CH%1").arg(channel + 1), this);
    box->setObjectName(QStringLiteral("channel%1").arg(channel + 1));
    box->setGeometry(Place({15 + column * 24, kChannelTop + row * 12, 24, 10}));
    box->setFont(program_.look->Font(PanelLook::kSmallFont));
    connect(box, &QCheckBox::toggled, this, &HistoryPanel::ChoiceChanged);
    channels_[channel] = box;
  }
  connect(kinds_, &QButtonGroup::idToggled, this, [this](int, bool on) {
    if (on) {
      ChoiceChanged();
    }
  });
  connect(periods_, &QButtonGroup::idToggled, this, [this](int, bool on) {
    if (on) {
      ChoiceChanged();
    }
  });
}

void HistoryPanel::BuildChartArea() {
  view_ = new HistoryChartView(this);
  view_->setGeometry(Place(kChartUnits));
  connect(view_, &HistoryChartView::PointerMoved, this, &HistoryPanel::ShowPointer);
  readout_ = new QLabel(this);
  readout_->setObjectName(QStringLiteral("historyReadout"));
  readout_->setGeometry(Place(kReadoutUnits));
  readout_->setFont(program_.look->Font(PanelLook::kSmallFont));
  readout_->setTextFormat(Qt::RichText);
  readout_->setWordWrap(true);
  readout_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  for (std::size_t button = 0; button < saveButtons_.size(); ++button) {
    auto* face = new SetupButton(this);
    face->setObjectName(button == 0 ? QStringLiteral("savePng") : QStringLiteral("saveSvg"));
    face->setGeometry(Place(kSaveUnits[button]));
    face->setFont(program_.look->Font(PanelLook::kSmallBoldFont));
    face->setEnabled(false);
    connect(face, &QAbstractButton::clicked, this, [this, button] { SaveAs(button == 1); });
    saveButtons_[button] = face;
  }
}

void HistoryPanel::SetArchive(ArchiveKeeper* archive) {
  archive_ = archive;
  pacer_->Follow(*archive_);
}

void HistoryPanel::SetClock(std::function<RecordTimePoint()> clock) {
  clock_ = std::move(clock);
  SetDatesToLastWeek();
}

// The chosen period starts as the week up to today.
void HistoryPanel::SetDatesToLastWeek() {
  const QDate today = ChartDateTime(clock_()).date();
  dates_[1]->clearMinimumDate();
  dates_[0]->setDate(today.addDays(-6));
  dates_[1]->setDate(today);
}

ChartRequest HistoryPanel::CurrentRequest() const {
  ChartRequest request;
  request.kind = kChartKinds.at(static_cast<std::size_t>(std::max(kinds_->checkedId(), 0)));
  request.period.span = kSpans.at(static_cast<std::size_t>(std::max(periods_->checkedId(), 0)));
  request.period.first = FromDate(dates_[0]->date());
  request.period.last = FromDate(dates_[1]->date());
  if (HasChannels(request.kind)) {
    for (std::size_t channel = 0; channel < channels_.size(); ++channel) {
      request.channels[channel] = channels_[channel]->isChecked();
    }
  }
  request.units = program_.units;
  return request;
}

void HistoryPanel::ChoiceChanged() {
  const ChartRequest request = CurrentRequest();
  for (QCheckBox* box : channels_) {
    box->setEnabled(HasChannels(request.kind));
  }
  const bool chosen = request.period.span == ChartSpan::kChosen;
  for (QDateEdit* box : dates_) {
    box->setEnabled(chosen);
  }
  pacer_->Changed();
}

void HistoryPanel::Request() {
  pacer_->Started();
  const bool noArchive =
      archive_ == nullptr || archive_->Summary().phase == ArchiveSummary::Phase::kNotInUse;
  if (noArchive) {
    reading_ = false;
    readingMarkTimer_->stop();
    view_->SetReading({});
    view_->ShowNote(program_.OwnText(kOwnChartNoArchive));
    ShowTexts();
    return;
  }
  reading_ = true;
  // At once when there is no chart to look at meanwhile.
  if (view_->Chart() == nullptr) {
    view_->SetReading(program_.OwnText(kOwnReadingChart));
  } else {
    readingMarkTimer_->start();
  }
  QPointer<HistoryPanel> panel(this);
  archive_->ReadChart(CurrentRequest(), clock_(), [panel](const ChartReply& reply) {
    if (panel) {
      panel->ChartArrived(reply);
    }
  });
}

void HistoryPanel::ChartArrived(const ChartReply& reply) {
  reading_ = false;
  readingMarkTimer_->stop();
  view_->SetReading({});
  if (!reply.archived) {
    view_->ShowNote(program_.OwnText(kOwnChartNoArchive));
  } else if (reply.fault) {
    // The chart shown so far stays; the fault is told once until a read works again.
    if (!faultTold_) {
      faultTold_ = true;
      program_.messageBoxes.Show(mainWindow_, QString::fromStdString(reply.fault->message),
                                 QStringLiteral("Error"), MessageBoxes::Icon::kError);
    }
  } else {
    faultTold_ = false;
    view_->ShowChart(std::make_shared<const ChartData>(reply.data));
  }
  ShowTexts();
}

void HistoryPanel::UnitsChanged() {
  pacer_->Changed();
}

void HistoryPanel::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  pacer_->Shown();
}

void HistoryPanel::Relabel() {
  ShowTexts();
}

// Every text of the panel in the current language, and the chart's words with them.
void HistoryPanel::ShowTexts() {
  const std::array<int, 3> titleKeys = {kOwnReadingsTitle, kOwnPeriodTitle, kOwnChannelsTitle};
  for (std::size_t title = 0; title < titles_.size(); ++title) {
    titles_[title]->setText(program_.OwnText(titleKeys[title]));
  }
  for (QAbstractButton* button : kinds_->buttons()) {
    button->setText(program_.OwnText(kOwnFirstKind + kinds_->id(button)));
  }
  for (QAbstractButton* button : periods_->buttons()) {
    button->setText(program_.OwnText(kOwnFirstPeriod + periods_->id(button)));
  }
  dateLabels_[0]->setText(program_.OwnText(kOwnFromDate));
  dateLabels_[1]->setText(program_.OwnText(kOwnToDate));
  saveButtons_[0]->setText(program_.OwnText(kOwnSavePng));
  saveButtons_[1]->setText(program_.OwnText(kOwnSaveSvg));

  const ChartData* chart = view_->Chart();
  view_->SetTexts(HistoryChartTexts(program_, chart ? chart->units : program_.units));
  if (!view_->Note().isEmpty()) {
    view_->ShowNote(program_.OwnText(kOwnChartNoArchive));
  }
  for (SetupButton* button : saveButtons_) {
    button->setEnabled(chart != nullptr);
  }
  ShowPointer();
}

void HistoryPanel::ShowPointer() {
  const ChartData* chart = view_->Chart();
  const std::optional<RecordTimePoint> time = view_->PointerTime();
  readout_->setText(chart && time ? ReadoutText(*chart, view_->Texts(), *time, view_->ColumnReach())
                                  : QString());
}

void HistoryPanel::SaveAs(bool svg) {
  const ChartData* chart = view_->Chart();
  if (chart == nullptr) {
    return;
  }
  const QString suffix = svg ? QStringLiteral("svg") : QStringLiteral("png");
  const QString filter =
      svg ? QStringLiteral("SVG image (*.svg)") : QStringLiteral("PNG image (*.png)");
  const QString path = program_.fileDialogs.SaveFileName(mainWindow_, {filter}, suffix);
  if (path.isEmpty()) {
    return;
  }
  QString error;
  if (!SaveChart(*chart, view_->Texts(), view_->size(), path, error)) {
    program_.messageBoxes.Show(mainWindow_, error, QStringLiteral("Error"),
                               MessageBoxes::Icon::kError);
  }
}

void HistoryPanel::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const int bottom = height();
  DrawFrame(painter, Place(kChoiceFrame), kFrameColour, FrameSeparators::kNone, true, bottom);
  DrawFrame(painter, Place(kChartFrame), kFrameColour, FrameSeparators::kNone, true, bottom);
  // Lines between the three groups of choices.
  painter.setPen(QPen(kFrameColour, 1));
  for (const int y : {86, 187}) {
    painter.drawLine(DialogX(12), DialogY(y), DialogX(106), DialogY(y));
  }
}

}  // namespace nimbrel::ui
