// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/setup_panel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QSignalBlocker>
#include <QStyle>
#include <QTimer>

#include "i18n/own_texts.h"
#include "ui/archive_keeper.h"

#include "ui/frames.h"
#include "ui/program.h"
#include "ui/records_texts.h"
#include "ui/services_dialog.h"
#include "ui/setup_art.h"

namespace nimbrel::ui {

namespace {

// Language keys of the upper groups.
constexpr int kUnitTitleKey = 23;
constexpr int kServerTitleKey = 28;
constexpr int kWuIdKey = 29;
constexpr int kWuKeyKey = 30;
constexpr int kWeathercloudIdKey = 31;
constexpr int kWeathercloudKeyKey = 32;
constexpr int kAutoUploadKey = 34;
constexpr int kUploadKey = 35;
constexpr int kFailKey = 36;
constexpr int kFirstButtonKey = 49;  // Select All, Clear All, Export

// Every static text of the panel, check boxes included, is drawn in this grey.
const QColor kSetupText{120, 120, 120};
const QColor kFrameColour{145, 145, 145};

// The three group frames, in dialog units.
const QRect kUnitFrame{6, 3, 236, 71};
const QRect kServerFrame{244, 3, 197, 71};
const QRect kExportFrame{6, 76, 435, 160};

// One unit list with its label. The closed lists are 12 units high.
struct UnitListLayout {
  const char* name;
  QRect label;
  int labelKey;
  QRect list;
};

// The labels of each row share one line and the lists one column, a pixel or two off the
// original template, so the rows read straight.
const std::array<UnitListLayout, SetupPanel::kUnitListCount> kUnitLists = {{
    {"temperature", {13, 20, 62, 10}, 8, {14, 31, 30, 12}},
    {"rain", {13, 44, 62, 10}, 14, {14, 54, 30, 12}},
    {"pressure", {77, 20, 72, 10}, 25, {77, 31, 34, 12}},
    {"windSpeed", {77, 44, 72, 10}, 26, {77, 54, 34, 12}},
    {"pressureType", {151, 20, 86, 10}, 24, {151, 31, 30, 12}},
    {"windDirection", {151, 44, 86, 10}, 27, {151, 54, 30, 12}},
}};

QStringList UnitEntries(int list) {
  const QString degree(QChar(0x00B0));
  switch (list) {
    case 0:
      return {degree + QStringLiteral("C"), degree + QStringLiteral("F")};
    case 1:
      return {QStringLiteral("mm"), QStringLiteral("in")};
    case 2:
      return {QStringLiteral("hPa"), QStringLiteral("mmHg"), QStringLiteral("inHg")};
    case 3:
      return {QStringLiteral("mph"), QStringLiteral("m/s"), QStringLiteral("km/h"),
              QStringLiteral("knots")};
    case 4:
      return {QStringLiteral("Abs"), QStringLiteral("Rel")};
    default:
      return {QStringLiteral("16"), QStringLiteral("360") + degree};
  }
}

// The list entry of each unit is the unit's stored byte.
int UnitIndex(const UnitSettings& units, int list) {
  switch (list) {
    case 0:
      return static_cast<int>(units.temperatureUnit);
    case 1:
      return static_cast<int>(units.rainUnit);
    case 2:
      return static_cast<int>(units.pressureUnit);
    case 3:
      return static_cast<int>(units.windSpeedUnit);
    case 4:
      return static_cast<int>(units.pressureType);
    default:
      return static_cast<int>(units.windDirectionFormat);
  }
}

void SetUnitIndex(UnitSettings& units, int list, int index) {
  const auto byte = static_cast<std::uint8_t>(index);
  switch (list) {
    case 0:
      units.temperatureUnit = static_cast<TemperatureUnit>(byte);
      break;
    case 1:
      units.rainUnit = static_cast<RainUnit>(byte);
      break;
    case 2:
      units.pressureUnit = static_cast<PressureUnit>(byte);
      break;
    case 3:
      units.windSpeedUnit = static_cast<WindSpeedUnit>(byte);
      break;
    case 4:
      units.pressureType = static_cast<PressureType>(byte);
      break;
    default:
      units.windDirectionFormat = static_cast<WindDirectionFormat>(byte);
      break;
  }
}

QRect Place(const QRect& units) {
  return DialogRect(units.x(), units.y(), units.width(), units.height());
}

QString FromU16(const std::u16string& text) {
  return QString::fromStdU16String(text);
}

// The largest font, from `font` down, in which `text` fits `width`: the longer languages take a
// slightly smaller letter rather than lose their ends.
QFont FitFont(QFont font, const QString& text, int width) {
  while (font.pixelSize() > 9 && QFontMetrics(font).horizontalAdvance(text) > width) {
    font.setPixelSize(font.pixelSize() - 1);
  }
  return font;
}

}  // namespace

SetupPanel::SetupPanel(Program& program, QWidget* mainWindow, QWidget* parent)
    : QWidget(parent), program_(program), mainWindow_(mainWindow) {
  setObjectName(QStringLiteral("setupPanel"));
  setAutoFillBackground(true);
  QPalette colours = palette();
  colours.setColor(QPalette::Window, program_.look->PanelColor());
  colours.setColor(QPalette::WindowText, kSetupText);
  colours.setColor(QPalette::Base, program_.look->PanelColor());
  // A disabled box must look disabled against the white panel.
  colours.setColor(QPalette::Disabled, QPalette::Base, QColor(240, 240, 240));
  colours.setColor(QPalette::Disabled, QPalette::Window, QColor(240, 240, 240));
  setPalette(colours);
  setFont(program_.look->DialogFont());

  BuildUnitGroup();
  BuildServerGroup();
  BuildExportGroup();
  BuildServicesButton();
  ApplySetupTexts();
}

QLabel* SetupPanel::AddLabel(const QString& name, const QRect& units, int key, const QFont& font,
                             Qt::Alignment alignment) {
  auto* label = new QLabel(this);
  label->setObjectName(name);
  label->setGeometry(Place(units));
  label->setTextFormat(Qt::PlainText);
  label->setAlignment(alignment);
  label->setFont(font);
  if (key != 0) {
    captions_.push_back({label, key, font});
  }
  return label;
}

QCheckBox* SetupPanel::AddCheckBox(const QString& name, const QRect& units, int key) {
  auto* box = new QCheckBox(this);
  box->setObjectName(name);
  box->setGeometry(Place(units));
  if (key != 0) {
    captions_.push_back({box, key, font()});
  }
  return box;
}

QLineEdit* SetupPanel::AddEdit(const QString& name, const QRect& units, int maxLength) {
  auto* edit = new QLineEdit(this);
  edit->setObjectName(name);
  edit->setGeometry(Place(units));
  edit->setMaxLength(maxLength);
  return edit;
}

QComboBox* SetupPanel::AddList(const QString& name, const QRect& units,
                               const QStringList& entries) {
  auto* list = new QComboBox(this);
  list->setObjectName(name);
  list->setGeometry(Place(units));
  list->addItems(entries);  // not editable: only the listed entries can be chosen
  return list;
}

void SetupPanel::BuildUnitGroup() {
  AddLabel(QStringLiteral("unitTitle"), {12, 7, 185, 12}, kUnitTitleKey,
           program_.look->Font(PanelLook::kHeaderFont));
  for (int list = 0; list < kUnitListCount; ++list) {
    const UnitListLayout& layout = kUnitLists[static_cast<std::size_t>(list)];
    const QString name = QString::fromLatin1(layout.name);
    AddLabel(name + QStringLiteral("Label"), layout.label, layout.labelKey, font());
    QComboBox* box = AddList(name + QStringLiteral("List"), layout.list, UnitEntries(list));
    box->setCurrentIndex(UnitIndex(program_.units, list));
    connect(box, &QComboBox::currentIndexChanged, this,
            [this, list](int index) { UnitChanged(list, index); });
  }
}

void SetupPanel::BuildServerGroup() {
  AddLabel(QStringLiteral("serverTitle"), {250, 6, 185, 13}, kServerTitleKey,
           program_.look->Font(PanelLook::kHeaderFont));
  QComboBox* services =
      AddList(QStringLiteral("serviceList"), {297, 19, 141, 12},
              {QStringLiteral("Weather Underground"), QStringLiteral("Weathercloud")});
  services->setCurrentIndex(program_.servers.serverIndex == ServerIndex::Weathercloud ? 1 : 0);
  connect(services, &QComboBox::currentIndexChanged, this, &SetupPanel::ServiceChanged);

  const Qt::Alignment right = Qt::AlignRight | Qt::AlignVCenter;
  stationIdLabel_ = AddLabel(QStringLiteral("stationIdLabel"), {259, 32, 77, 10}, 0, font(), right);
  stationKeyLabel_ =
      AddLabel(QStringLiteral("stationKeyLabel"), {259, 45, 77, 10}, 0, font(), right);
  // 63 characters: what is stored and uploaded is what the user sees.
  const int maxLength = static_cast<int>(kMaxStationTextLength);
  stationId_ = AddEdit(QStringLiteral("stationId"), {344, 31, 94, 12}, maxLength);
  stationKey_ = AddEdit(QStringLiteral("stationKey"), {344, 44, 94, 12}, maxLength);
  const StationIdAndKey stored =
      program_.settings.ReadStationIdAndKey(program_.servers.serverIndex);
  if (!stored.id.empty()) {
    stationId_->setText(FromU16(stored.id));
  }
  if (!stored.key.empty()) {
    stationKey_->setText(FromU16(stored.key));
  }

  autoUpload_ = AddCheckBox(QStringLiteral("autoUpload"), {245, 57, 105, 10}, kAutoUploadKey);
  connect(autoUpload_, &QCheckBox::clicked, this, &SetupPanel::AutoUploadClicked);

  uploadText_ = AddLabel(QStringLiteral("uploadText"), {350, 57, 68, 10}, 0, font(), right);
  uploadIcon_ = AddLabel(QStringLiteral("uploadIcon"), {421, 56, 16, 15}, 0, font(),
                         Qt::AlignLeft | Qt::AlignTop);
  uploadText_->hide();
  uploadIcon_->hide();

  for (std::size_t slot = 0; slot < kServiceCount; ++slot) {
    auto* timer = new QTimer(this);
    timer->setInterval(kUploadCheckPeriodMs);
    // A coarse timer may fire up to 5 % (30 s) late, and the period would drift with it.
    timer->setTimerType(Qt::PreciseTimer);
    const auto service = static_cast<ServerIndex>(slot);
    connect(timer, &QTimer::timeout, this, [this, service] { UploadCheck(service); });
    uploadTimers_[slot] = timer;
  }
}

void SetupPanel::Relabel() {
  ApplySetupTexts();
  update();
}

void SetupPanel::ApplySetupTexts() {
  for (const Caption& caption : captions_) {
    ApplyCaption(caption);
  }
  SetStationLabels();
  ShowSelectedStatus();
  for (std::size_t button = 0; button < buttons_.size(); ++button) {
    buttons_[button]->setText(program_.Text(kFirstButtonKey + static_cast<int>(button)));
  }
  archiveDownload_->setText(program_.OwnText(kOwnDownloadToArchive));
  servicesButton_->setText(program_.OwnText(kOwnWeatherServices) + QStringLiteral(" …"));
  ShowArchive();
  ShowRainSeason();
}

// The record count and the last merge; without an archive, only that it is not in use.
void SetupPanel::ShowArchive() {
  const ArchiveSummary summary = archive_ != nullptr ? archive_->Summary() : ArchiveSummary{};
  QString records;
  QString merge;
  switch (summary.phase) {
    case ArchiveSummary::Phase::kNotInUse:
      records = program_.OwnText(kOwnArchiveNotInUse);
      break;
    case ArchiveSummary::Phase::kOpening:
      records = program_.OwnText(kOwnArchiveOpening);
      break;
    case ArchiveSummary::Phase::kReady:
      records = program_.OwnText(kOwnArchiveRecords).arg(summary.records);
      if (summary.lastMerge) {
        const QString when =
            QDateTime::fromSecsSinceEpoch(summary.lastMerge->time_since_epoch().count())
                .toString(QStringLiteral("yyyy-MM-dd HH:mm"));
        merge = program_.OwnText(kOwnLastMerge).arg(when);
      } else {
        merge = program_.OwnText(kOwnNoMergeYet);
      }
      if (summary.lastMergeIncomplete) {
        merge = program_.OwnText(kOwnIncomplete).arg(merge);
      }
      break;
  }
  if (summary.merging) {
    merge = program_.OwnText(kOwnMerging);
  }
  for (const auto& [label, text] :
       {std::pair{archiveRecords_, records}, std::pair{archiveMerge_, merge}}) {
    label->setFont(FitFont(font(), text, label->width()));
    label->setText(text);
  }
  archiveDownload_->setEnabled(summary.phase == ArchiveSummary::Phase::kReady);
}

// The months' names in the program's language, the chosen one selected.
void SetupPanel::ShowRainSeason() {
  const QString text = program_.OwnText(kOwnRainSeasonStart);
  rainSeasonLabel_->setFont(FitFont(font(), text, rainSeasonLabel_->width()));
  rainSeasonLabel_->setText(text);
  const QLocale locale = LanguageLocale(program_.language);
  const QSignalBlocker quiet(rainSeasonList_);
  rainSeasonList_->clear();
  for (int month = 1; month <= 12; ++month) {
    QString name = locale.standaloneMonthName(month);
    rainSeasonList_->addItem(name.left(1).toUpper() + name.mid(1));
  }
  rainSeasonList_->setCurrentIndex(static_cast<int>(program_.rainSeasonStart) - 1);
}

void SetupPanel::ApplyCaption(const Caption& caption) {
  const QString text = program_.Text(caption.key);
  if (auto* label = qobject_cast<QLabel*>(caption.control)) {
    label->setFont(FitFont(caption.font, text, label->width()));
    label->setText(text);
    return;
  }
  if (auto* button = qobject_cast<QAbstractButton*>(caption.control)) {
    const int mark = style()->pixelMetric(QStyle::PM_IndicatorWidth) +
                     style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing) + 4;
    button->setFont(FitFont(caption.font, text, button->width() - mark));
    // A button would take a single "&" for a shortcut mark.
    button->setText(QString(text).replace(QLatin1Char('&'), QStringLiteral("&&")));
  }
}

void SetupPanel::UnitChanged(int list, int index) {
  if (index < 0) {
    return;
  }
  SetUnitIndex(program_.units, list, index);
  // The dashboard repaints with the new unit and, for the pressure type, names it in the
  // current language.
  emit UnitsChanged();
}

void SetupPanel::ServiceChanged(int index) {
  if (index != 0 && index != 1) {
    return;
  }
  ServerSettings& servers = program_.servers;
  servers.serverIndex = static_cast<ServerIndex>(index);
  // What was typed for the previous service is dropped unless Auto Upload stored it.
  const StationIdAndKey stored = program_.settings.ReadStationIdAndKey(servers.serverIndex);
  stationId_->setText(FromU16(stored.id));
  stationKey_->setText(FromU16(stored.key));
  const bool on = servers.Selected().autoUpload;
  autoUpload_->setChecked(on);
  SetStationBoxesEnabled(!on);
  ShowSelectedStatus();
  SetStationLabels();
}

void SetupPanel::AutoUploadClicked(bool checked) {
  ServerSettings& servers = program_.servers;
  ServiceSettings& service = servers.Selected();
  const StationIdAndKey texts = ShownIdAndKey();
  if (texts.id.empty() || texts.key.empty()) {
    autoUpload_->setChecked(false);
    service.uploadStatus = UploadStatus::Hidden;
    ShowSelectedStatus();
    return;
  }
  if (checked) {
    service.autoUpload = true;
    program_.settings.WriteStationIdAndKey(servers.serverIndex, texts);
    if (program_.state.linkConnected) {
      service.successCount = 0;
      UploadTimer(servers.serverIndex).start();  // a running timer starts its period again
    }
    SetStationBoxesEnabled(false);
    return;
  }
  service.successCount = 0;
  UploadTimer(servers.serverIndex).stop();
  service.autoUpload = false;
  service.uploadStatus = UploadStatus::Hidden;
  ShowSelectedStatus();
  SetStationBoxesEnabled(true);
}

void SetupPanel::UploadAckWu() {
  Acknowledged(ServerIndex::WeatherUnderground);
}

void SetupPanel::UploadAckWc() {
  Acknowledged(ServerIndex::Weathercloud);
}

void SetupPanel::Acknowledged(ServerIndex service) {
  emit UploadAcknowledged(service);
  ServiceSettings& settings = program_.servers.Service(service);
  ++settings.successCount;
  // Only the first acknowledgement of a period shows; the rest are counted.
  if (settings.successCount == 1) {
    settings.uploadStatus = UploadStatus::Confirmed;
    ShowSelectedStatus();
  }
}

void SetupPanel::UploadCheck(ServerIndex service) {
  if (!program_.state.linkConnected) {
    return;
  }
  ServiceSettings& settings = program_.servers.Service(service);
  if (settings.successCount > 0) {
    settings.uploadStatus = UploadStatus::Confirmed;
    settings.successCount = 0;
  } else {
    settings.uploadStatus = UploadStatus::Failed;
  }
  ShowSelectedStatus();
}

bool SetupPanel::UploadCheckRunning(ServerIndex service) const {
  return UploadTimer(service).isActive();
}

QTimer& SetupPanel::UploadTimer(ServerIndex service) const {
  return *uploadTimers_[static_cast<std::size_t>(service) & 1U];
}

void SetupPanel::LinkChanged() {
  if (program_.state.linkConnected) {
    return;  // timers start only when Auto Upload is switched on while connected
  }
  autoUpload_->setChecked(false);
  for (std::size_t slot = 0; slot < kServiceCount; ++slot) {
    uploadTimers_[slot]->stop();
    ServiceSettings& service = program_.servers.services[slot];
    service.successCount = 0;
    service.autoUpload = false;
    service.uploadStatus = UploadStatus::Hidden;
  }
  ShowSelectedStatus();
  // With Auto Upload off the ID and key can be edited again.
  SetStationBoxesEnabled(true);
}

// The indicator always shows the selected service's status; the other service's status waits
// until it is selected.
void SetupPanel::ShowSelectedStatus() {
  const UploadStatus status = program_.servers.Selected().uploadStatus;
  indicatorShown_ = status;
  if (status == UploadStatus::Hidden) {
    uploadText_->hide();
    uploadIcon_->hide();
    return;
  }
  const QString text = program_.Text(status == UploadStatus::Confirmed ? kUploadKey : kFailKey);
  uploadText_->setFont(FitFont(font(), text, uploadText_->width()));
  uploadText_->setText(text);
  const int side = std::min(uploadIcon_->width(), uploadIcon_->height());
  uploadIcon_->setPixmap(UploadIndicatorPicture(status, QSize(side, side), devicePixelRatioF()));
  uploadText_->show();
  uploadIcon_->show();
}

void SetupPanel::SetStationLabels() {
  const bool wu = program_.servers.serverIndex == ServerIndex::WeatherUnderground;
  const QString id = program_.Text(wu ? kWuIdKey : kWeathercloudIdKey);
  const QString key = program_.Text(wu ? kWuKeyKey : kWeathercloudKeyKey);
  stationIdLabel_->setFont(FitFont(font(), id, stationIdLabel_->width()));
  stationIdLabel_->setText(id);
  stationKeyLabel_->setFont(FitFont(font(), key, stationKeyLabel_->width()));
  stationKeyLabel_->setText(key);
}

void SetupPanel::SetStationBoxesEnabled(bool enabled) {
  stationId_->setEnabled(enabled);
  stationKey_->setEnabled(enabled);
}

StationIdAndKey SetupPanel::ShownIdAndKey() const {
  const auto clip = [](const QLineEdit* box) {
    return box->text().left(static_cast<qsizetype>(kMaxStationTextLength)).toStdU16String();
  };
  return {clip(stationId_), clip(stationKey_)};
}

StationIdAndKey SetupPanel::InForce(ServerIndex service) const {
  if (service == program_.servers.serverIndex) {
    return ShownIdAndKey();
  }
  return program_.settings.ReadStationIdAndKey(service);
}

StationIdAndKey SetupPanel::EditTexts() const {
  return ShownIdAndKey();
}

void SetupPanel::SetStationTexts(ServerIndex service, const StationIdAndKey& texts) {
  program_.settings.WriteStationIdAndKey(service, texts);
  if (service == program_.servers.serverIndex) {
    for (const auto& [box, text] : {std::pair{stationId_, &texts.id}, {stationKey_, &texts.key}}) {
      if (!text->empty()) {
        box->setText(QString::fromStdU16String(*text));
      }
    }
  }
}

// Beside the export group's title, outside the weather server group, which keeps the console's
// two services as they were.
void SetupPanel::BuildServicesButton() {
  servicesButton_ = new SetupButton(this);
  servicesButton_->setObjectName(QStringLiteral("servicesButton"));
  servicesButton_->setGeometry(DialogRect(356, 80, 80, 13));
  servicesButton_->setFont(program_.look->Font(PanelLook::kSmallBoldFont));
  connect(servicesButton_, &QAbstractButton::clicked, this, [this] { OpenServicesDialog(); });
}

ServicesDialog& SetupPanel::OpenServicesDialog() {
  // One closed by OK or Cancel is on its way out.
  if (servicesDialog_ == nullptr || !servicesDialog_->isVisible()) {
    servicesDialog_ = new ServicesDialog(program_, *this, mainWindow_);
    servicesDialog_->setAttribute(Qt::WA_DeleteOnClose);
    connect(servicesDialog_, &ServicesDialog::ServicesSaved, this, &SetupPanel::ServicesChanged);
    servicesDialog_->open();
  }
  servicesDialog_->raise();
  servicesDialog_->activateWindow();
  return *servicesDialog_;
}

void SetupPanel::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const int bottom = height();
  DrawFrame(painter, Place(kUnitFrame), kFrameColour, FrameSeparators::kNone, false, bottom);
  DrawFrame(painter, Place(kServerFrame), kFrameColour, FrameSeparators::kNone, false, bottom);
  DrawFrame(painter, Place(kExportFrame), kFrameColour, FrameSeparators::kNone, true, bottom);
  // The line between the period and the data set.
  painter.setPen(QPen(kFrameColour, 1));
  const int y = DialogY(137);
  painter.drawLine(DialogX(18), y, DialogX(18 + 410), y);
}

}  // namespace nimbrel::ui
