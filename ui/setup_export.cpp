// SPDX-License-Identifier: GPL-3.0-or-later
// The export group of the setup panel: the period, the data set and the Export chain.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>

#include "i18n/own_texts.h"
#include "station/commands.h"
#include "station/link.h"
#include "ui/archive_keeper.h"
#include "ui/program.h"
#include "ui/setup_art.h"
#include "ui/setup_panel.h"

#ifndef NIMBREL_VERSION
#define NIMBREL_VERSION "0.1.0"
#endif

namespace nimbrel::ui {

namespace {

constexpr int kExportTitleKey = 37;
constexpr int kPeriodTitleKey = 38;
constexpr int kStartDateKey = 39;
constexpr int kEndDateKey = 40;
constexpr int kDataSetTitleKey = 41;
constexpr int kWholePeriodKey = 42;
constexpr int kChannelRowKey = 47;
constexpr int kVersionKey = 52;

const QString kErrorCaption = QStringLiteral("Error");
const QString kSendFailed = QStringLiteral("Command send failed !");

// The date boxes: year, month and day of the start row, then of the end row.
struct DateBoxLayout {
  const char* name;
  QRect units;
  int maxLength;
};

const std::array<DateBoxLayout, 6> kDateBoxes = {{
    {"startYear", {67, 108, 36, 12}, 4},
    {"startMonth", {115, 108, 22, 12}, 2},
    {"startDay", {148, 108, 22, 12}, 2},
    {"endYear", {67, 121, 36, 12}, 4},
    {"endMonth", {115, 121, 22, 12}, 2},
    {"endDay", {148, 121, 22, 12}, 2},
}};

// The data-set boxes in DataSet order; key 0 keeps the channel's own name in every language.
struct DataSetLayout {
  QRect units;
  int key;
};

// Three rows of three columns, then the channels. Each row shares one line.
const std::array<DataSetLayout, kDataSetCount> kDataSetBoxes = {{
    {{19, 151, 142, 11}, 43},   // barometric pressure
    {{19, 163, 158, 11}, 45},   // indoor temperature & humidity
    {{19, 175, 158, 11}, 46},   // outdoor temperature & humidity
    {{177, 151, 86, 11}, 44},   // rain
    {{177, 163, 85, 11}, 20},   // UV index
    {{177, 175, 90, 11}, 48},   // wind
    {{267, 163, 128, 11}, 21},  // dew point
    {{267, 151, 127, 11}, 22},  // heat index
    {{20, 198, 28, 15}, 0},
    {{57, 198, 30, 15}, 0},
    {{96, 198, 30, 15}, 0},
    {{135, 198, 30, 15}, 0},
    {{174, 198, 30, 15}, 0},
    {{213, 198, 30, 15}, 0},
    {{252, 198, 30, 15}, 0},
}};

const std::array<QRect, 3> kButtons = {{{20, 215, 45, 13}, {72, 215, 45, 13}, {236, 215, 45, 13}}};
const std::array<const char*, 3> kButtonNames = {"selectAll", "clearAll", "export"};

QString FromLatin1(std::string_view text) {
  return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

void SetupPanel::BuildExportGroup() {
  const PanelLook& look = *program_.look;
  AddLabel(QStringLiteral("exportTitle"), {13, 81, 260, 12}, kExportTitleKey,
           look.Font(PanelLook::kHeaderFont));
  AddLabel(QStringLiteral("periodTitle"), {16, 94, 160, 13}, kPeriodTitleKey,
           look.Font(PanelLook::kTabFont));
  const Qt::Alignment right = Qt::AlignRight | Qt::AlignVCenter;
  AddLabel(QStringLiteral("startDateLabel"), {8, 108, 57, 12}, kStartDateKey, font(), right);
  AddLabel(QStringLiteral("endDateLabel"), {8, 121, 57, 12}, kEndDateKey, font(), right);

  // Digits only: the validator refuses anything else, typed or pasted.
  const auto* digits = new QRegularExpressionValidator(QRegularExpression("[0-9]*"), this);
  for (std::size_t box = 0; box < kDateBoxes.size(); ++box) {
    const DateBoxLayout& layout = kDateBoxes[box];
    QLineEdit* edit = AddEdit(QString::fromLatin1(layout.name), layout.units, layout.maxLength);
    edit->setValidator(digits);
    edit->setAlignment(Qt::AlignCenter);
    dateBoxes_[box] = edit;
  }
  for (const QRect& units : {QRect(103, 108, 11, 12), QRect(136, 108, 11, 12),
                             QRect(103, 121, 11, 12), QRect(136, 121, 11, 12)}) {
    AddLabel(QString(), units, 0, font(), Qt::AlignCenter)->setText(QStringLiteral("--"));
  }
  for (const int y : {108, 121}) {
    AddLabel(QString(), {173, y, 80, 12}, 0, font())->setText(QStringLiteral("(YYYY - MM - DD)"));
  }
  wholePeriod_ = AddCheckBox(QStringLiteral("wholePeriod"), {267, 121, 150, 12}, kWholePeriodKey);
  connect(wholePeriod_, &QCheckBox::toggled, this, &SetupPanel::WholePeriodToggled);

  AddLabel(QStringLiteral("dataSetTitle"), {16, 139, 160, 12}, kDataSetTitleKey,
           look.Font(PanelLook::kTabFont));
  for (std::size_t set = 0; set < kDataSetCount; ++set) {
    const DataSetLayout& layout = kDataSetBoxes[set];
    QRect units = layout.units;
    if (layout.key != 0) {
      units.setWidth(units.width() + 20);  // room for the longer languages
    }
    QCheckBox* box = AddCheckBox(QStringLiteral("dataSet%1").arg(set), units, layout.key);
    if (layout.key == 0) {
      const int channel =
          static_cast<int>(set) - static_cast<int>(kDataSetCount) + kExportChannelCount + 1;
      box->setText(QStringLiteral("CH%1").arg(channel));
    }
    dataSets_[set] = box;
  }
  AddLabel(QStringLiteral("channelRowLabel"), {19, 188, 260, 10}, kChannelRowKey, font());

  for (std::size_t button = 0; button < buttons_.size(); ++button) {
    auto* face = new SetupButton(this);
    face->setObjectName(QString::fromLatin1(kButtonNames[button]));
    face->setGeometry(DialogRect(kButtons[button].x(), kButtons[button].y(),
                                 kButtons[button].width(), kButtons[button].height()));
    face->setFont(look.Font(PanelLook::kSmallBoldFont));
    buttons_[button] = face;
  }
  connect(buttons_[0], &QAbstractButton::clicked, this, [this] { SetAllDataSets(true); });
  connect(buttons_[1], &QAbstractButton::clicked, this, [this] { SetAllDataSets(false); });
  connect(buttons_[2], &QAbstractButton::clicked, this, &SetupPanel::Export);

  BuildArchiveRow();
  BuildRainSeasonRow();

  AddLabel(QStringLiteral("versionLabel"), {354, 220, 62, 12}, kVersionKey, font(), right);
  AddLabel(QStringLiteral("version"), {418, 220, 22, 12}, 0, font())
      ->setText(QStringLiteral(NIMBREL_VERSION));
}

// The archive's state on the two lines right of the channels, and its download beside Export.
// The rain season's first month, for the archive's statistics, beside the period it resembles.
void SetupPanel::BuildRainSeasonRow() {
  rainSeasonLabel_ = AddLabel(QStringLiteral("rainSeasonLabel"), {267, 108, 72, 12}, 0, font());
  rainSeasonList_ = AddList(QStringLiteral("rainSeasonList"), {341, 108, 60, 12}, {});
  connect(rainSeasonList_, &QComboBox::currentIndexChanged, this, [this](int index) {
    if (index >= 0) {
      program_.rainSeasonStart = static_cast<unsigned>(index) + 1;
      emit RainSeasonChanged();
    }
  });
}

void SetupPanel::BuildArchiveRow() {
  archiveRecords_ = AddLabel(QStringLiteral("archiveRecords"), {288, 188, 148, 10}, 0, font());
  archiveMerge_ = AddLabel(QStringLiteral("archiveMerge"), {288, 200, 148, 10}, 0, font());
  archiveDownload_ = new SetupButton(this);
  archiveDownload_->setObjectName(QStringLiteral("archiveDownload"));
  archiveDownload_->setGeometry(DialogRect(288, 215, 64, 13));
  archiveDownload_->setFont(program_.look->Font(PanelLook::kSmallBoldFont));
  connect(archiveDownload_, &QAbstractButton::clicked, this, &SetupPanel::DownloadToArchive);
}

void SetupPanel::SetArchive(ArchiveKeeper* archive) {
  archive_ = archive;
  connect(archive_, &ArchiveKeeper::SummaryChanged, this, &SetupPanel::ShowArchive);
  ShowArchive();
}

void SetupPanel::SetAllDataSets(bool checked) {
  for (QCheckBox* box : dataSets_) {
    box->setChecked(checked);
  }
}

void SetupPanel::WholePeriodToggled(bool checked) {
  for (QLineEdit* box : dateBoxes_) {
    if (checked) {
      box->clear();
    }
    box->setEnabled(!checked);
  }
}

ExportChoices SetupPanel::Choices() const {
  ExportChoices choices;
  choices.wholePeriod = wholePeriod_->isChecked();
  const auto text = [this](std::size_t box) { return dateBoxes_[box]->text().toStdU16String(); };
  choices.dates = {text(0), text(1), text(2), text(3), text(4), text(5)};
  for (std::size_t set = 0; set < kDataSetCount; ++set) {
    choices.dataSets[set] = dataSets_[set]->isChecked();
  }
  return choices;
}

bool SetupPanel::DownloadBusy() const {
  const SharedState& state = program_.state;
  // A cancel or a removal clears DownloadActive while the export thread or the merge may still
  // read the store that a new request would empty.
  return state.downloadActive || state.exportRunning || state.mergeRunning || !state.linkConnected;
}

void SetupPanel::Export() {
  SharedState& state = program_.state;
  if (DownloadBusy()) {
    return;
  }
  if (!ValidateExportRequest() || !ChooseExportFile(this)) {
    return;
  }
  state.archiveOnly = false;
  PrepareHistoryDownload(state, program_.store);
  if (!SendCommand(program_.device, state, CMD_HISTORY)) {
    program_.messageBoxes.Show(mainWindow_, kSendFailed, kErrorCaption, MessageBoxes::Icon::kNone);
  }
  // The reader downloads the history; the dashboard writes the file once it is complete.
}

void SetupPanel::DownloadToArchive() {
  SharedState& state = program_.state;
  if (archive_ == nullptr || !archive_->Ready() || DownloadBusy()) {
    return;
  }
  // The archive takes every record, so neither the period nor the data set is asked for.
  state.archiveOnly = true;
  PrepareHistoryDownload(state, program_.store);
  if (!SendCommand(program_.device, state, CMD_HISTORY)) {
    program_.messageBoxes.Show(mainWindow_, kSendFailed, kErrorCaption, MessageBoxes::Icon::kNone);
  }
}

bool SetupPanel::ValidateExportRequest() {
  const auto error = nimbrel::ValidateExportRequest(Choices(), program_.exportRequest);
  if (error) {
    program_.messageBoxes.Show(this, FromLatin1(*error), kErrorCaption, MessageBoxes::Icon::kError);
    return false;
  }
  return true;
}

bool SetupPanel::ChooseExportFile(QWidget* owner) {
  // Each filter shows as its pattern alone, and the dialog takes the pattern from it.
  const QString path = program_.fileDialogs.SaveFileName(
      owner, {QStringLiteral("(*.csv)"), QStringLiteral("(*.xls)")}, QStringLiteral("csv"));
  if (path.isEmpty()) {
    return false;
  }
  if (!HasExportFileExtension(path.toStdU16String())) {
    program_.messageBoxes.Show(owner, FromLatin1(kFileNameError), FromLatin1(kFileNameErrorCaption),
                               MessageBoxes::Icon::kNone);
    return false;
  }
  program_.state.SetExportFileName(path.toStdString());
  return true;
}

}  // namespace nimbrel::ui
