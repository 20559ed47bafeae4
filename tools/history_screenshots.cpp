// SPDX-License-Identifier: GPL-3.0-or-later
// The History and Records tabs' screenshots for the README, from an archive the built-in console
// filled:
//   history_screenshots log FOLDER            a year of the generated console's log, in two files
//                                             that nimbrel-cli --console-history can serve
//   history_screenshots grab ARCHIVE FOLDER   history-{en,de}-{week,year}.png of the window
//   history_screenshots records ARCHIVE FOLDER
//                                             records-{en-c,de-f}.png and setup-{en,fr}.png of the
//                                             window, on an archive of the log's first file: the
//                                             records mid-year
// Run offscreen (QT_QPA_PLATFORM=offscreen); scripts/history-screenshots.sh runs all of it.
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>
#include <cstdio>
#include <fstream>

#include "platform/console_source.h"
#include "platform/settings_files.h"
#include "simulator/weather_model.h"
#include "ui/history_chart_view.h"
#include "ui/history_panel.h"
#include "ui/main_window.h"
#include "ui/program.h"
#include "ui/records_panel.h"
#include "ui/setup_panel.h"

namespace {

using namespace nimbrel;

constexpr std::uint64_t kSeed = 1;
constexpr std::size_t kYearRecords = 365 * 24 * 12;

// A year of records five minutes apart, split so that each file fits the console's log.
int WriteLog(const QString& folder) {
  const std::vector<std::string> lines = WeatherModel(kSeed).History(kYearRecords, 100);
  const std::size_t half = lines.size() / 2;
  for (int part = 0; part < 2; ++part) {
    const QString name = QStringLiteral("year-%1.txt").arg(part + 1);
    std::ofstream file(QDir(folder).filePath(name).toStdString());
    for (std::size_t i = part == 0 ? 0 : half; i < (part == 0 ? half : lines.size()); ++i) {
      file << lines[i] << '\n';
    }
    if (!file) {
      std::fputs("history_screenshots: the log cannot be written\n", stderr);
      return 1;
    }
  }
  return 0;
}

struct PrintedBoxes : ui::MessageBoxes {
  void Show(QWidget*, const QString& text, const QString&, Icon) override {
    std::fprintf(stderr, "history_screenshots: %s\n", qPrintable(text));
  }
};
struct NoDialogs : ui::FileDialogs {
  QString SaveFileName(QWidget*, const QStringList&, const QString&) override { return {}; }
};

// One picture: the chart of `kind` over the last `period` (1 week, 3 year) up to the log's end.
struct Shot {
  LanguageIndex language;
  const char* locale;
  int kind;
  int period;
  bool channel1;
  const char* name;
};

// The program on the archive, with the built-in console saying nothing, in `language`, `units`
// and rain seasons from `seasonStart`.
struct Scene {
  Scene(const QString& archivePath, LanguageIndex language, const UnitSettings& units,
        unsigned seasonStart = 1)
      : source(MakeConsoleSource(QuietConsole())),
        program(std::move(source.backend),
                std::make_unique<FileSettingsBackend>(settings.path().toStdString()), boxes,
                dialogs) {
    program.language = language;
    program.units = units;
    program.rainSeasonStart = seasonStart;
    window = std::make_unique<ui::MainWindow>(program);
    ArchiveOptions options;
    options.path = archivePath.toStdString();
    options.liveEvery = std::chrono::minutes(0);
    window->UseArchive(options);
    window->show();
    window->Start();
  }
  ~Scene() { window->Shutdown(); }

  static ConsoleOptions QuietConsole() {
    ConsoleOptions console;
    console.historyRecords = 0;
    console.periods = {std::chrono::hours(1), std::chrono::hours(0), std::chrono::hours(0),
                       std::chrono::hours(1)};
    return console;
  }
  // A minute before the end of the log's first `records`: "now" for the charts and the records.
  static RecordTimePoint Now(std::size_t records = kYearRecords) {
    const ConsoleTime end = WeatherModel(kSeed).HistoryStart() + records * kHistoryInterval;
    return RecordTimePoint(end.time_since_epoch() - std::chrono::minutes(1));
  }

  QTemporaryDir settings;
  ConsoleSource source;
  PrintedBoxes boxes;
  NoDialogs dialogs;
  ui::Program program;
  std::unique_ptr<ui::MainWindow> window;
};

// The window on the History tab as `shot` says, with the pointer over the chart, saved as
// FOLDER/NAME.
bool Grab(const QString& archivePath, const QString& folder, const Shot& shot) {
  Scene scene(archivePath, shot.language, {});
  ui::MainWindow& window = *scene.window;
  ui::HistoryPanel& history = window.History();
  history.SetClock([] { return Scene::Now(); });
  history.findChild<QCheckBox*>(QStringLiteral("channel1"))->setChecked(shot.channel1);
  history.findChild<QRadioButton*>(QStringLiteral("kind%1").arg(shot.kind))->setChecked(true);
  history.findChild<QRadioButton*>(QStringLiteral("period%1").arg(shot.period))->setChecked(true);
  window.ShowPanel(3);
  if (!QTest::qWaitFor([&history] { return !history.Reading() && history.View().Chart(); },
                       20000)) {
    std::fputs("history_screenshots: no chart\n", stderr);
    return false;
  }
  auto* view = history.findChild<ui::HistoryChartView*>(QStringLiteral("historyChart"));
  // From elsewhere: a move to where the last window's pointer already was is no move.
  QTest::mouseMove(view, QPoint(1, 1));
  QTest::mouseMove(view, QPoint(view->width() * 7 / 10, view->height() / 2));
  QTest::qWait(50);
  return window.grab().save(QDir(folder).filePath(QString::fromLatin1(shot.name)));
}

// The window on the Records tab, in `language` and `units`, with rain seasons from
// `seasonStart`, saved as FOLDER/NAME.
bool GrabRecords(const QString& archivePath, const QString& folder, LanguageIndex language,
                 const UnitSettings& units, unsigned seasonStart, const char* name) {
  Scene scene(archivePath, language, units, seasonStart);
  ui::MainWindow& window = *scene.window;
  ui::RecordsPanel& records = window.Records();
  records.SetClock([] { return Scene::Now(kYearRecords / 2); });
  window.ShowPanel(4);
  if (!QTest::qWaitFor([&records] { return !records.Reading() && records.Note().isEmpty(); },
                       20000)) {
    std::fputs("history_screenshots: no records\n", stderr);
    return false;
  }
  return window.grab().save(QDir(folder).filePath(QString::fromLatin1(name)));
}

// The setup panel as a user who uploads and exports has filled it in, saved as FOLDER/NAME.
bool GrabSetup(const QString& archivePath, const QString& folder, LanguageIndex language,
               const char* name) {
  Scene scene(archivePath, language, {}, 10);
  ui::MainWindow& window = *scene.window;
  ui::SetupPanel& setup = window.Setup();
  const auto text = [&setup](const char* box, const char* value) {
    setup.findChild<QLineEdit*>(QString::fromLatin1(box))->setText(QString::fromLatin1(value));
  };
  text("stationId", "INIMBREL12");
  text("stationKey", "a1b2c3d4");
  for (const auto& [box, value] : {std::pair{"startYear", "2025"},
                                   {"startMonth", "1"},
                                   {"startDay", "2"},
                                   {"endYear", "2025"},
                                   {"endMonth", "1"},
                                   {"endDay", "4"}}) {
    text(box, value);
  }
  for (const int set : {0, 1, 2, 5, 8}) {
    setup.findChild<QCheckBox*>(QStringLiteral("dataSet%1").arg(set))->setChecked(true);
  }
  setup.findChild<QCheckBox*>(QStringLiteral("autoUpload"))->click();
  scene.program.servers.Selected().uploadStatus = UploadStatus::Confirmed;
  setup.Relabel();
  window.ShowPanel(2);
  if (!QTest::qWaitFor(
          [&setup] {
            return setup.findChild<QWidget*>(QStringLiteral("archiveDownload"))->isEnabled();
          },
          20000)) {
    std::fputs("history_screenshots: no archive\n", stderr);
    return false;
  }
  return window.grab().save(QDir(folder).filePath(QString::fromLatin1(name)));
}

// English with °C and seasons from January; German with °F, inches, mph and inHg, and water
// years from October.
int GrabAllRecords(const QString& archivePath, const QString& folder) {
  UnitSettings imperial;
  imperial.temperatureUnit = TemperatureUnit::Fahrenheit;
  imperial.rainUnit = RainUnit::Inch;
  imperial.windSpeedUnit = WindSpeedUnit::Mph;
  imperial.pressureUnit = PressureUnit::InHg;
  QLocale::setDefault(QLocale(QStringLiteral("en_GB")));
  if (!GrabRecords(archivePath, folder, LanguageIndex::kEnglish, {}, 1, "records-en-c.png")) {
    return 1;
  }
  if (!GrabSetup(archivePath, folder, LanguageIndex::kEnglish, "setup-en.png") ||
      !GrabSetup(archivePath, folder, LanguageIndex::kFrench, "setup-fr.png")) {
    return 1;
  }
  QLocale::setDefault(QLocale(QStringLiteral("de_DE")));
  return GrabRecords(archivePath, folder, LanguageIndex::kGerman, imperial, 10, "records-de-f.png")
             ? 0
             : 1;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  const QStringList arguments = QApplication::arguments();
  if (arguments.size() == 3 && arguments[1] == QStringLiteral("log")) {
    return WriteLog(arguments[2]);
  }
  if (arguments.size() != 4 ||
      (arguments[1] != QStringLiteral("grab") && arguments[1] != QStringLiteral("records"))) {
    std::fputs("usage: history_screenshots log FOLDER | grab|records ARCHIVE FOLDER\n", stderr);
    return 2;
  }
  if (arguments[1] == QStringLiteral("records")) {
    return GrabAllRecords(arguments[2], arguments[3]);
  }
  // Temperatures in English, wind and pressure in German.
  const Shot shots[] = {{LanguageIndex::kEnglish, "en_GB", 0, 1, true, "history-en-week.png"},
                        {LanguageIndex::kEnglish, "en_GB", 0, 3, false, "history-en-year.png"},
                        {LanguageIndex::kGerman, "de_DE", 3, 1, false, "history-de-week.png"},
                        {LanguageIndex::kGerman, "de_DE", 2, 3, false, "history-de-year.png"}};
  for (const Shot& shot : shots) {
    // A German user's desktop writes German dates.
    QLocale::setDefault(QLocale(QString::fromLatin1(shot.locale)));
    if (!Grab(arguments[2], arguments[3], shot)) {
      return 1;
    }
  }
  return 0;
}
