// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/services_dialog.h"

#include <QCheckBox>
#include <QDateTime>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <charconv>
#include <tuple>

#include "i18n/own_texts.h"
#include "ui/program.h"
#include "ui/setup_panel.h"
#include "upload/upload_request.h"

namespace nimbrel::ui {

namespace {

// The setup panel's labels of each console service's ID and key, and its Auto Upload.
constexpr std::array<std::array<int, 2>, kServiceCount> kConsoleLabelKeys = {{{29, 30}, {31, 32}}};
constexpr int kAutoUploadKey = 34;
constexpr std::array<std::string_view, kServiceCount> kConsoleTitles = {"Weather Underground",
                                                                        "Weathercloud"};
constexpr std::array<std::size_t, kServiceCount> kConsoleOutcomes = {kWuOutcome, kWcOutcome};

const QString kErrorCaption = QStringLiteral("Error");

QString FromUtf8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString Degrees(const std::optional<double>& degrees) {
  if (!degrees) {
    return {};
  }
  std::array<char, 32> text{};
  const auto end = std::to_chars(text.data(), text.data() + text.size(), *degrees).ptr;
  return QString::fromLatin1(text.data(), end - text.data());
}

// How far back a service's missed readings may go.
int CatchUpHours(WeatherService service) {
  return service == WeatherService::kWindy ? 2 : 24;
}

QString When(std::chrono::sys_seconds time) {
  return QDateTime::fromSecsSinceEpoch(time.time_since_epoch().count())
      .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

std::string Text(const QLineEdit* box) {
  return box->text().trimmed().toStdString();
}

}  // namespace

ServicesDialog::ServicesDialog(Program& program, SetupPanel& setup, QWidget* parent)
    : QDialog(parent),
      program_(program),
      setup_(setup),
      stored_(LoadServicesSettings(*program.settingsBackend)) {
  setObjectName(QStringLiteral("servicesDialog"));
  setWindowTitle(program_.OwnText(kOwnWeatherServices));
  setFont(program_.look->DialogFont());
  auto* layout = new QVBoxLayout(this);
  tabs_ = new QTabWidget(this);
  tabs_->setObjectName(QStringLiteral("serviceTabs"));
  // Every service's tab in sight: the dialog is as wide as they need.
  tabs_->setUsesScrollButtons(false);
  layout->addWidget(tabs_);
  for (const ServerIndex service : {ServerIndex::WeatherUnderground, ServerIndex::Weathercloud}) {
    BuildConsolePage(service);
  }
  for (const WeatherService service : kWeatherServices) {
    BuildServicePage(service);
  }
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("ok"));
  buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cancel"));
  buttons->button(QDialogButtonBox::Cancel)->setText(program_.OwnText(kOwnCancel));
  connect(buttons, &QDialogButtonBox::accepted, this, &ServicesDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &ServicesDialog::reject);
  layout->addWidget(buttons);

  ShowOutcomes();
  refresh_ = new QTimer(this);
  refresh_->setInterval(kOutcomeRefreshMs);
  connect(refresh_, &QTimer::timeout, this, &ServicesDialog::ShowOutcomes);
  refresh_->start();
}

QWidget* ServicesDialog::AddPage(const QString& title, QFormLayout*& form) {
  auto* page = new QWidget(tabs_);
  form = new QFormLayout(page);
  form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
  form->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
  tabs_->addTab(page, title);
  return page;
}

QLineEdit* ServicesDialog::AddEdit(QFormLayout& form, const QString& name, const QString& label,
                                   const QString& text) {
  auto* edit = new QLineEdit(text, form.parentWidget());
  edit->setObjectName(name);
  edit->setMinimumWidth(260);
  form.addRow(label, edit);
  return edit;
}

// A key is typed hidden and never put back into its box: an empty box keeps the stored key,
// as the setup panel's empty boxes never clear a stored one.
QLineEdit* ServicesDialog::AddKeyEdit(QFormLayout& form, const QString& name, const QString& label,
                                      bool keyStored) {
  QLineEdit* edit = AddEdit(form, name, label, {});
  edit->setEchoMode(QLineEdit::Password);
  if (keyStored) {
    edit->setPlaceholderText(program_.OwnText(kOwnKeyKept));
  }
  return edit;
}

QLabel* ServicesDialog::AddNote(QFormLayout& form, const QString& label, const QString& text) {
  auto* note = new QLabel(text, form.parentWidget());
  note->setTextFormat(Qt::PlainText);
  note->setWordWrap(true);
  form.addRow(label, note);
  return note;
}

void ServicesDialog::AddOutcomeRows(QFormLayout& form, const QString& name, std::size_t outcome) {
  OutcomeLabels& labels = outcomes_[outcome];
  form.addItem(new QSpacerItem(0, 10, QSizePolicy::Fixed, QSizePolicy::Fixed));
  labels.success = AddNote(form, program_.OwnText(kOwnLastSuccess), {});
  labels.success->setObjectName(name + QStringLiteral("LastSuccess"));
  labels.error = AddNote(form, program_.OwnText(kOwnLastError), {});
  labels.error->setObjectName(name + QStringLiteral("LastError"));
}

void ServicesDialog::BuildConsolePage(ServerIndex service) {
  const auto slot = static_cast<std::size_t>(service);
  QFormLayout* form = nullptr;
  AddPage(FromUtf8(kConsoleTitles[slot]), form);
  const QString name = FromUtf8(OutcomeName(kConsoleOutcomes[slot]));

  auto* on = new QCheckBox(program_.OwnText(kOwnServiceOn), form->parentWidget());
  on->setObjectName(name + QStringLiteral("On"));
  on->setChecked(program_.servers.Service(service).autoUpload);
  on->setEnabled(false);
  form->addRow(on);
  auto* note = new QLabel(program_.OwnText(kOwnSwitchedOnPanel).arg(program_.Text(kAutoUploadKey)),
                          form->parentWidget());
  note->setTextFormat(Qt::PlainText);
  note->setWordWrap(true);
  form->addRow(note);

  const StationIdAndKey inForce = setup_.InForce(service);
  ConsolePage& page = consolePages_[slot];
  page.id = AddEdit(*form, name + QStringLiteral("Id"), program_.Text(kConsoleLabelKeys[slot][0]),
                    QString::fromStdU16String(inForce.id));
  page.key = AddKeyEdit(*form, name + QStringLiteral("Key"),
                        program_.Text(kConsoleLabelKeys[slot][1]), !inForce.key.empty());
  for (QLineEdit* box : {page.id, page.key}) {
    box->setMaxLength(static_cast<int>(kMaxStationTextLength));
    // Locked while it uploads, as on the setup panel.
    box->setEnabled(!program_.servers.Service(service).autoUpload);
  }
  AddNote(*form, program_.OwnText(kOwnInterval),
          program_.OwnText(service == ServerIndex::Weathercloud ? kOwnConsolePaceSpaced
                                                                : kOwnConsolePace));
  AddNote(*form, program_.OwnText(kOwnCatchUpLabel), program_.OwnText(kOwnNoCatchUpLive));
  AddOutcomeRows(*form, name, kConsoleOutcomes[slot]);
}

void ServicesDialog::BuildServicePage(WeatherService service) {
  const WeatherServiceSettings& stored = stored_.Of(service);
  const bool cwop = service == WeatherService::kCwop;
  QFormLayout* form = nullptr;
  AddPage(FromUtf8(WeatherServiceTitle(service)), form);
  QWidget* parent = form->parentWidget();
  const QString name = FromUtf8(WeatherServiceName(service));
  ServicePage& page = servicePages_[static_cast<std::size_t>(service)];

  page.on = new QCheckBox(program_.OwnText(kOwnServiceOn), parent);
  page.on->setObjectName(name + QStringLiteral("On"));
  page.on->setChecked(stored.on);
  form->addRow(page.on);
  page.id = AddEdit(*form, name + QStringLiteral("Id"),
                    program_.OwnText(cwop ? kOwnCallsign : kOwnStationId), FromUtf8(stored.id));
  page.key =
      AddKeyEdit(*form, name + QStringLiteral("Key"),
                 program_.OwnText(cwop ? kOwnPasscode : kOwnKeyOrPassword), !stored.key.empty());

  page.interval = new QSpinBox(parent);
  page.interval->setObjectName(name + QStringLiteral("Interval"));
  page.interval->setRange(LimitsOf(service).minimumInterval, kMaximumIntervalMinutes);
  page.interval->setValue(stored.intervalMinutes);
  page.interval->setSuffix(QStringLiteral(" min"));
  page.interval->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
  form->addRow(program_.OwnText(kOwnInterval), page.interval);
  if (LimitsOf(service).takesPastReadings) {
    page.catchUp = new QCheckBox(program_.OwnText(kOwnCatchUp).arg(CatchUpHours(service)), parent);
    page.catchUp->setObjectName(name + QStringLiteral("CatchUp"));
    page.catchUp->setChecked(stored.catchUp);
    form->addRow(program_.OwnText(kOwnCatchUpLabel), page.catchUp);
  } else {
    AddNote(*form, program_.OwnText(kOwnCatchUpLabel), program_.OwnText(kOwnNoCatchUpCwop));
  }
  if (cwop) {
    latitude_ = AddEdit(*form, QStringLiteral("cwopLatitude"), program_.OwnText(kOwnLatitude),
                        Degrees(stored_.latitude));
    longitude_ = AddEdit(*form, QStringLiteral("cwopLongitude"), program_.OwnText(kOwnLongitude),
                         Degrees(stored_.longitude));
  }

  // The rest is for a server of one's own; it stays in the columns of the rows above.
  auto* advanced = new QLabel(program_.OwnText(kOwnAdvanced), parent);
  QFont bold = advanced->font();
  bold.setBold(true);
  advanced->setFont(bold);
  form->addItem(new QSpacerItem(0, 6, QSizePolicy::Fixed, QSizePolicy::Fixed));
  form->addRow(advanced);
  page.endpoint = AddEdit(*form, name + QStringLiteral("Endpoint"), program_.OwnText(kOwnEndpoint),
                          FromUtf8(stored.endpoint));
  page.endpoint->setPlaceholderText(program_.OwnText(kOwnServiceOwn));
  // CWOP's packets go over plain TCP: no certificate to check.
  if (!cwop) {
    page.ca = AddEdit(*form, name + QStringLiteral("Ca"), program_.OwnText(kOwnCaFile),
                      FromUtf8(stored.caFile));
    page.ca->setPlaceholderText(program_.OwnText(kOwnSystemCas));
  }
  AddOutcomeRows(*form, name, static_cast<std::size_t>(service));
}

void ServicesDialog::ShowOutcomes() {
  const ServiceOutcomes outcomes = LoadServiceOutcomes(*program_.settingsBackend);
  for (std::size_t index = 0; index < kOutcomeCount; ++index) {
    const ServiceOutcome& outcome = outcomes[index];
    const OutcomeLabels& labels = outcomes_[index];
    labels.success->setText(outcome.lastSuccess ? When(*outcome.lastSuccess)
                                                : program_.OwnText(kOwnNever));
    labels.error->setText(outcome.lastErrorTime
                              ? QStringLiteral("%1 (%2)").arg(FromUtf8(outcome.lastError),
                                                              When(*outcome.lastErrorTime))
                              : program_.OwnText(kOwnNoError));
    // A service failing now says so in red; an old error stays grey.
    labels.error->setStyleSheet(outcome.failing ? QStringLiteral("color: #b00000") : QString());
  }
}

std::optional<ServicesDialog::Fault> ServicesDialog::ReadServicePage(WeatherService service,
                                                                     ServicesSettings& into) const {
  const ServicePage& page = servicePages_[static_cast<std::size_t>(service)];
  WeatherServiceSettings& one = into.Of(service);
  const auto fault = [&](const std::string& text, QWidget* field) {
    return Fault{FromUtf8(WeatherServiceTitle(service)) + QStringLiteral(": ") + FromUtf8(text),
                 field};
  };
  const std::string id = Text(page.id);
  const std::string key = page.key->text().toStdString();
  const std::string endpoint = Text(page.endpoint);
  const std::string ca = page.ca != nullptr ? Text(page.ca) : one.caFile;
  for (const auto& [text, what, field] : {std::tuple{&id, "the ID", page.id},
                                          {&key, "the key", page.key},
                                          {&ca, "the certificate authority's file", page.ca}}) {
    if (auto error = CheckServiceText(what, *text)) {
      return fault(*error, field);
    }
  }
  if (auto error = CheckInterval(service, page.interval->value())) {
    return fault(*error, page.interval);
  }
  if (!endpoint.empty()) {
    if (service == WeatherService::kCwop) {
      if (endpoint.find(':') == std::string::npos || !ParseEndpoint(endpoint)) {
        return fault("CWOP's server is HOST:PORT", page.endpoint);
      }
    } else if (auto error = CheckServiceUrl(endpoint)) {
      return fault(*error, page.endpoint);
    }
  }
  one.on = page.on->isChecked();
  one.id = id;
  if (!key.empty()) {
    one.key = key;
  }
  one.intervalMinutes = page.interval->value();
  if (page.catchUp != nullptr) {
    one.catchUp = page.catchUp->isChecked();
  }
  one.endpoint = endpoint;
  one.caFile = ca;
  return std::nullopt;
}

// Both or neither: a position is whole or absent.
std::optional<ServicesDialog::Fault> ServicesDialog::ReadPosition(ServicesSettings& into) const {
  const std::string latitude = Text(latitude_);
  const std::string longitude = Text(longitude_);
  if (latitude.empty() && longitude.empty()) {
    into.latitude.reset();
    into.longitude.reset();
    return std::nullopt;
  }
  const auto lat = ReadDecimal(latitude);
  const auto lon = ReadDecimal(longitude);
  if (!lat) {
    return Fault{QStringLiteral("CWOP: the latitude takes decimal degrees such as 49.058333"),
                 latitude_};
  }
  if (!lon) {
    return Fault{QStringLiteral("CWOP: the longitude takes decimal degrees such as -72.029167"),
                 longitude_};
  }
  if (auto error = CheckLatitude(*lat)) {
    return Fault{QStringLiteral("CWOP: ") + FromUtf8(*error), latitude_};
  }
  if (auto error = CheckLongitude(*lon)) {
    return Fault{QStringLiteral("CWOP: ") + FromUtf8(*error), longitude_};
  }
  into.latitude = lat;
  into.longitude = lon;
  return std::nullopt;
}

// A service switched on must have what its requests need.
std::optional<ServicesDialog::Fault> ServicesDialog::CheckReady(
    WeatherService service, const ServicesSettings& settings) const {
  const WeatherServiceSettings& one = settings.Of(service);
  const ServicePage& page = servicePages_[static_cast<std::size_t>(service)];
  const QString title = FromUtf8(WeatherServiceTitle(service));
  if (service != WeatherService::kCwop) {
    if (one.id.empty() || one.key.empty()) {
      return Fault{title + QStringLiteral(" needs a station ID and a key before it can be "
                                          "switched on"),
                   one.id.empty() ? page.id : page.key};
    }
    return std::nullopt;
  }
  if (auto error = CheckCallsign(one.id)) {
    return Fault{title + QStringLiteral(": ") + FromUtf8(*error), page.id};
  }
  if (!one.key.empty()) {
    if (auto error = CheckPasscode(one.key)) {
      return Fault{title + QStringLiteral(": ") + FromUtf8(*error), page.key};
    }
  }
  if (!settings.latitude) {
    return Fault{QStringLiteral("CWOP needs the station's latitude and longitude"), latitude_};
  }
  return std::nullopt;
}

std::optional<ServicesDialog::Fault> ServicesDialog::Collect(ServicesSettings& into) const {
  for (const WeatherService service : kWeatherServices) {
    if (auto fault = ReadServicePage(service, into)) {
      return fault;
    }
  }
  if (auto fault = ReadPosition(into)) {
    return fault;
  }
  for (const WeatherService service : kWeatherServices) {
    if (into.Of(service).on) {
      if (auto fault = CheckReady(service, into)) {
        return fault;
      }
    }
  }
  return std::nullopt;
}

// What OK gives the setup panel: an empty box keeps what is in force.
StationIdAndKey ServicesDialog::ConsoleTexts(ServerIndex service) const {
  const ConsolePage& page = consolePages_[static_cast<std::size_t>(service)];
  StationIdAndKey texts = setup_.InForce(service);
  if (!page.id->text().isEmpty()) {
    texts.id = page.id->text().toStdU16String();
  }
  if (!page.key->text().isEmpty()) {
    texts.key = page.key->text().toStdU16String();
  }
  return texts;
}

void ServicesDialog::ShowFault(const Fault& fault) {
  for (QWidget* page = fault.field; page != nullptr; page = page->parentWidget()) {
    if (tabs_->indexOf(page) >= 0) {
      tabs_->setCurrentWidget(page);
      break;
    }
  }
  program_.messageBoxes.Show(this, fault.text, kErrorCaption, MessageBoxes::Icon::kError);
  if (fault.field != nullptr) {
    fault.field->setFocus();
  }
}

void ServicesDialog::accept() {
  ServicesSettings settings = stored_;
  if (auto fault = Collect(settings)) {
    ShowFault(*fault);
    return;
  }
  if (!SaveServicesSettings(*program_.settingsBackend, settings)) {
    program_.messageBoxes.Show(this, QStringLiteral("Cannot save the weather services' settings."),
                               kErrorCaption, MessageBoxes::Icon::kError);
    return;
  }
  for (const ServerIndex service : {ServerIndex::WeatherUnderground, ServerIndex::Weathercloud}) {
    const StationIdAndKey texts = ConsoleTexts(service);
    if (texts != setup_.InForce(service)) {
      setup_.SetStationTexts(service, texts);
    }
  }
  emit ServicesSaved();
  QDialog::accept();
}

}  // namespace nimbrel::ui
