// SPDX-License-Identifier: GPL-3.0-or-later
#include <sqlite3.h>

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QtTest>
#include <ctime>

#include "simulator/weather_model.h"
#include "tests/archive/sqlite_query.h"
#include "tests/support/temp_dir.h"
#include "tests/ui/ui_fixture.h"
#include "ui/archive_keeper.h"
#include "ui/history_chart_view.h"
#include "ui/history_panel.h"
#include "ui/history_texts.h"
#include "ui/setup_panel.h"

namespace nimbrel::ui::testing {

namespace {

// Thirty records, a live text every second (which ends a download that lacks a record), no
// uploads.
ConsoleOptions ArchiveConsole(std::string_view faults = {}) {
  ConsoleOptions options;
  options.historyRecords = 30;
  options.periods.live = std::chrono::seconds(1);
  options.periods.wu = std::chrono::seconds(0);
  options.periods.weathercloud = std::chrono::seconds(0);
  if (!faults.empty() && !ParseConsoleFaults(faults, options.faults).empty()) {
    qFatal("bad faults");
  }
  return options;
}

ArchiveOptions InFolder(const QTemporaryDir& folder) {
  ArchiveOptions options;
  options.path = folder.filePath(QStringLiteral("nimbrel/archive.sqlite")).toStdString();
  options.busyWait = std::chrono::milliseconds(300);
  options.liveEvery = std::chrono::minutes(0);  // no live writes to meet the test's lock
  return options;
}

QString Shown(SetupPanel& panel, const char* name) {
  return panel.findChild<QLabel*>(QString::fromLatin1(name))->text();
}

// Presses Export for the whole log to `path`.
void PressExport(ProgramFixture& fixture, const QString& path) {
  SetupPanel& panel = fixture.Window().Setup();
  panel.findChild<QCheckBox*>(QStringLiteral("wholePeriod"))->setChecked(true);
  fixture.dialogs.answer = path;
  Click(panel, "export");
}

// Exports, and waits until the download, its export and its merge are over.
bool ExportTo(ProgramFixture& fixture, const QString& path) {
  PressExport(fixture, path);
  const SharedState& state = fixture.Prog().state;
  return QTest::qWaitFor(
      [&] {
        return QFile::exists(path) && !state.downloadActive && !state.exportRunning &&
               !state.mergeRunning;
      },
      30000);
}

// Thirty records in a new archive, then its records table's page overwritten: opening still
// reads a sound first page; only what reads or writes the records meets the damage.
bool MakeArchiveDamagedInside(const ArchiveOptions& options, HistoryStore& store) {
  ArchiveError error;
  std::unique_ptr<Archive> archive = OpenArchive(options, error);
  std::vector<std::string> lines;
  for (int minute = 0; minute < 30; ++minute) {
    lines.push_back(QString::fromLatin1(kLiveLine)
                        .replace(QStringLiteral("12:30"),
                                 QStringLiteral("13:%1").arg(minute, 2, 10, QLatin1Char('0')))
                        .toStdString());
    HistoryRecord record{};
    std::copy(lines.back().begin(), lines.back().end(), record.begin());
    store.Put(static_cast<std::size_t>(minute), record);
  }
  const std::vector<std::string_view> views(lines.begin(), lines.end());
  MergeCounts counts;
  if (!archive || archive->Merge(views, counts)) {
    return false;
  }
  archive.reset();
  const auto number = [&options](const char* sql) {
    return QString::fromStdString(nimbrel::testing::QueryText(options.path, sql)).toLongLong();
  };
  const qint64 page = number("SELECT rootpage FROM sqlite_master WHERE name = 'records'");
  const qint64 size = number("PRAGMA page_size");
  QFile file(QString::fromStdString(options.path.string()));
  return page > 1 && file.open(QIODevice::ReadWrite) && file.seek((page - 1) * size) &&
         file.write(QByteArray(static_cast<int>(size), '\xA5')) == size;
}

RecordTimePoint At(int y, unsigned m, unsigned d, int h = 0, int min = 0) {
  using namespace std::chrono;
  return local_days{year{y} / m / d} + hours{h} + minutes{min};
}

// The process's time zone for one test, the system's again after it.
struct TimeZone {
  explicit TimeZone(const char* zone) {
    qputenv("TZ", zone);
    tzset();
  }
  ~TimeZone() {
    qunsetenv("TZ");
    tzset();
  }
};

// A rain chart of `window`: a daily total bar at the start of each day from 28 to 30 March
// 2025, and rain rates at 02:30 on the 30th, which Berlin's clocks skip.
ChartData RainChart(ChartWindow window) {
  ChartData data;
  data.kind = ChartKind::kRain;
  data.window = window;
  ChartSeries daily;
  daily.id = ChartSeriesId::kDailyRain;
  daily.style = ChartStyle::kBars;
  daily.unit = u"mm";
  daily.samples = {{At(2025, 3, 28), 4.2}, {At(2025, 3, 29), 1.5}, {At(2025, 3, 30), 0.4}};
  ChartSeries rate;
  rate.id = ChartSeriesId::kRainRate;
  rate.axis = ChartAxis::kRight;
  rate.unit = u"mm/h";
  rate.samples = {{At(2025, 3, 30, 2, 30), 0.8}};
  for (ChartSeries* series : {&daily, &rate}) {
    series->stats = StatsOf(series->samples);
    series->gapLimit = std::chrono::hours(1);
  }
  data.series = {daily, rate};
  return data;
}

}  // namespace

class ArchiveUiTest : public QObject {
  Q_OBJECT

 private slots:
  // Downloads through the panel land in a real archive file, counted in the panel: an export's
  // download that the console ends early with what arrived (and says so), then one to the
  // archive alone without any file; a merge another program's lock stops still leaves the export.
  void DownloadsMergeIntoTheArchive() {
    ProgramFixture fixture(ArchiveConsole("skip-frame=12:1"));  // the first download only
    MainWindow& window = fixture.Open();
    QTemporaryDir folder;
    window.UseArchive(InFolder(folder));
    SetupPanel& panel = window.Setup();
    QTRY_COMPARE(Shown(panel, "archiveRecords"), QStringLiteral("Archive: 0 records"));
    QCOMPARE(Shown(panel, "archiveMerge"), QStringLiteral("No merge yet"));

    PressExport(fixture, folder.filePath(QStringLiteral("short.csv")));
    QTRY_COMPARE_WITH_TIMEOUT(Shown(panel, "archiveRecords"), QStringLiteral("Archive: 29 records"),
                              30000);
    QVERIFY(Shown(panel, "archiveMerge").endsWith(QStringLiteral(", incomplete")));
    QTRY_COMPARE(fixture.boxes.boxes.size(), qsizetype{1});
    QVERIFY(fixture.boxes.boxes[0].contains(
        QStringLiteral("The console ended the download early: 29 of 30 records arrived. No "
                       "file was written; please export again. The records that arrived "
                       "were added to the archive.")));
    QVERIFY(window.StatusBar().ProgressText().isEmpty() && !window.StatusBar().CancelShown());

    Click(panel, "archiveDownload");
    QTRY_COMPARE_WITH_TIMEOUT(Shown(panel, "archiveRecords"), QStringLiteral("Archive: 30 records"),
                              30000);
    QVERIFY(Shown(panel, "archiveMerge").startsWith(QStringLiteral("Last merge: 20")));
    QTRY_VERIFY(!fixture.Prog().state.downloadActive);
    QCOMPARE(fixture.dialogs.calls, 1);  // the export's only
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files), QStringList());
    QCOMPARE(fixture.boxes.boxes.size(), qsizetype{1});

    sqlite3* other = nullptr;
    QCOMPARE(sqlite3_open(InFolder(folder).path.c_str(), &other), SQLITE_OK);
    QCOMPARE(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    const QString locked = folder.filePath(QStringLiteral("locked.csv"));
    QVERIFY(ExportTo(fixture, locked));
    QVERIFY(QFileInfo(locked).size() > 1000);
    QTRY_COMPARE(fixture.boxes.boxes.size(), qsizetype{2});
    QVERIFY(fixture.boxes.boxes[1].contains(QStringLiteral(": Another program is writing")));
    QCOMPARE(Shown(panel, "archiveRecords"), QStringLiteral("Archive: 30 records"));
    sqlite3_close(other);
  }

  // A file that is no database is told once (the core keeps it as it was), and the window goes
  // on without an archive: its download stays off, an export still works.
  void DamagedArchiveIsToldAndLeftOut() {
    ProgramFixture fixture(ArchiveConsole());
    MainWindow& window = fixture.Open();
    QTemporaryDir folder;
    const ArchiveOptions options = InFolder(folder);
    QVERIFY(QDir().mkpath(folder.filePath(QStringLiteral("nimbrel"))));
    QFile file(QString::fromStdString(options.path.string()));
    QVERIFY(file.open(QIODevice::WriteOnly) &&
            file.write(QByteArray("SQLite format 3").repeated(40)));
    file.close();

    window.UseArchive(options);
    SetupPanel& panel = window.Setup();
    QTRY_COMPARE(fixture.boxes.boxes.size(), qsizetype{1});
    QVERIFY(fixture.boxes.boxes[0].contains(QStringLiteral("is not a database")));
    QCOMPARE(Shown(panel, "archiveRecords"), QStringLiteral("Archive: not in use"));
    QVERIFY(!panel.findChild<QWidget*>(QStringLiteral("archiveDownload"))->isEnabled());
    QVERIFY(ExportTo(fixture, folder.filePath(QStringLiteral("log.csv"))));
    QCOMPARE(fixture.boxes.boxes.size(), qsizetype{1});
  }

  // Damage that only a merge meets ends the archive's use for the run: the merge tells it, and
  // neither later live samples nor another merge nor a chart touch the file again.
  void DamageFoundAtAMergeEndsEveryWrite() {
    QTemporaryDir folder;
    ArchiveOptions options = InFolder(folder);
    options.liveEvery = std::chrono::minutes(1);
    HistoryStore store;
    QVERIFY(MakeArchiveDamagedInside(options, store));
    const std::string damaged = nimbrel::testing::ReadFile(options.path);

    SharedState state;
    ArchiveKeeper keeper(store, state);
    QList<MergeReport> merges;
    connect(&keeper, &ArchiveKeeper::MergeFinished, this,
            [&merges](const MergeReport& report) { merges << report; });
    keeper.Open(options);
    QTRY_VERIFY(keeper.Ready());
    keeper.Merge(DownloadEnd::kComplete, false, 30);
    QTRY_COMPARE(merges.size(), qsizetype{1});
    QVERIFY(merges[0].fault && merges[0].fault->fault == ArchiveFault::NotADatabase);
    QTRY_COMPARE(keeper.Summary().phase, ArchiveSummary::Phase::kNotInUse);

    for (int minute = 0; minute < 3; ++minute) {
      keeper.AddLiveSample(kLiveLine, std::chrono::sys_seconds(std::chrono::minutes(2 * minute)));
    }
    keeper.Merge(DownloadEnd::kComplete, false, 30);
    std::optional<ChartReply> chart;
    keeper.ReadChart({}, {}, [&chart](const ChartReply& reply) { chart = reply; });
    QTRY_VERIFY(chart.has_value() && merges.size() == 2);
    QVERIFY(!chart->archived && !merges[1].archived);
    keeper.Finish();
    QVERIFY(nimbrel::testing::ReadFile(options.path) == damaged);
  }

  // The console's times carry no zone: one in a spring-forward gap prints as it was taken, in the
  // title and under the pointer; over a day's bar the readout shows that day's bar at any hour.
  // A picture saved over one that is there replaces it whole or not at all.
  void ChartTimesAndPictures() {
    const TimeZone berlin("Europe/Berlin");
    ChartTexts texts = OwnChartTexts(LanguageIndex::kEnglish, {});
    texts.locale = QLocale(QLocale::English, QLocale::UnitedKingdom);
    const ChartData week = RainChart({At(2025, 3, 24, 2, 31), At(2025, 3, 31, 2, 31)});
    const std::chrono::seconds weekReach(7 * 24 * 3600 / 160);  // 4 columns of 640
    const QString day29 = QStringLiteral("<b>29/03/2025</b><br>Daily&nbsp;rain&nbsp;1.5&nbsp;mm");
    const struct {
      RecordTimePoint pointer;
      QString shown;
    } readouts[] = {
        {At(2025, 3, 30, 2, 30),
         QStringLiteral("<b>30/03/2025 02:30</b><br>Daily&nbsp;rain&nbsp;0.4&nbsp;mm &nbsp;· "
                        "Rain&nbsp;rate&nbsp;0.8&nbsp;mm/h")},
        {At(2025, 3, 29, 6, 30), day29},
        {At(2025, 3, 29, 18, 30), day29},
        {At(2025, 3, 29, 23, 50), day29},
        {At(2025, 3, 28), QStringLiteral("<b>28/03/2025</b><br>Daily&nbsp;rain&nbsp;4.2&nbsp;mm")},
        {At(2025, 3, 31, 1), QString()},
    };
    for (const auto& c : readouts) {
      QCOMPARE(ReadoutText(week, texts, c.pointer, weekReach), c.shown);
    }

    QTemporaryDir folder;
    const QString svg = folder.filePath(QStringLiteral("day.svg"));
    QString error;
    QVERIFY(SaveChart(RainChart({At(2025, 3, 30, 2, 31), At(2025, 3, 31, 2, 31)}), texts,
                      QSize(640, 400), svg, error));
    QFile day(svg);
    QVERIFY(day.open(QIODevice::ReadOnly));
    QVERIFY(QString::fromUtf8(day.readAll())
                .contains(QStringLiteral("30/03/2025 02:31 \u2013 31/03/2025 02:30")));

    // No room for a temporary name beside a name this long: the save fails before the picture
    // there is touched.
    const QString picture = folder.filePath(QString(250, QLatin1Char('c')) + ".png");
    QFile old(picture);
    QVERIFY(old.open(QIODevice::WriteOnly) && old.write("old picture") == 11);
    old.close();
    QVERIFY(!SaveChart(week, texts, QSize(640, 400), picture, error));
    QVERIFY2(error.startsWith(QStringLiteral("The chart cannot be written to")), qPrintable(error));
    QVERIFY(old.open(QIODevice::ReadOnly) && old.readAll() == "old picture");
  }

  // The History tab charts what the archive holds, read on the archive's thread: the panel
  // answers at once and shows the chart when it comes, again in a unit chosen meanwhile. A
  // chart that cannot be written is told in a box.
  void HistoryChartsTheArchiveInTheUnitsInForce() {
    ProgramFixture fixture(ArchiveConsole());
    MainWindow& window = fixture.Open();
    QTemporaryDir folder;
    window.UseArchive(InFolder(folder));
    QTRY_COMPARE(Shown(window.Setup(), "archiveRecords"), QStringLiteral("Archive: 0 records"));
    Click(window.Setup(), "archiveDownload");
    QTRY_COMPARE_WITH_TIMEOUT(Shown(window.Setup(), "archiveRecords"),
                              QStringLiteral("Archive: 30 records"), 30000);
    HistoryPanel& history = window.History();
    const ConsoleTime end = WeatherModel(1).HistoryStart() + 30 * kHistoryInterval;
    history.SetClock([end] { return RecordTimePoint(end.time_since_epoch()); });

    // The indoor temperatures, once read: first in °C, then in °F.
    const auto indoor = [&history]() -> const std::vector<ChartSample>* {
      const ChartData* chart = history.View().Chart();
      if (chart == nullptr || history.Reading()) {
        return nullptr;
      }
      for (const ChartSeries& series : chart->series) {
        if (series.id == ChartSeriesId::kIndoorTemperature) {
          return &series.samples;
        }
      }
      return nullptr;
    };
    const auto newest = [&indoor] { return indoor() ? indoor()->back().value : -999.0; };
    QTest::mouseClick(Find<QLabel>(window.HeaderBar(), "historyTab"), Qt::LeftButton);
    QVERIFY(history.isVisible() && history.Reading());
    QTRY_VERIFY(newest() > -999);
    QCOMPARE(indoor()->size(), std::size_t{30});
    const double celsius = newest();
    Find<QComboBox>(window.Setup(), "temperatureList")->setCurrentIndex(1);
    QVERIFY(history.Reading() && history.View().Chart() != nullptr);
    QTRY_VERIFY(std::abs(newest() - (celsius * 9 / 5 + 32)) <= 0.05);  // to a tenth, as shown
    auto* view = Find<HistoryChartView>(history, "historyChart");
    const ChartFrame frame = FrameOf(QRectF(view->rect()), *history.View().Chart());
    const double x = XOfTime(frame, indoor()->back().time);
    QTest::mouseMove(view, QPoint(static_cast<int>(x), view->height() / 2));
    QTRY_VERIFY(Find<QLabel>(history, "historyReadout")->text().contains(QStringLiteral("°F")));

    // A merge, even of nothing new, reads the chart again within a few seconds.
    const ChartData* const before = history.View().Chart();
    Click(window.Setup(), "archiveDownload");
    QTRY_VERIFY_WITH_TIMEOUT(history.View().Chart() != before && !history.Reading(), 30000);

    fixture.dialogs.answer = folder.filePath(QStringLiteral("chart.svg"));
    history.SaveAs(true);
    QVERIFY(QFileInfo(fixture.dialogs.answer).size() > 1000);
    fixture.dialogs.answer = folder.filePath(QStringLiteral("no/such/folder/chart.png"));
    history.SaveAs(false);
    QCOMPARE(fixture.boxes.boxes.size(), qsizetype{1});
    QVERIFY(fixture.boxes.boxes[0].startsWith(QStringLiteral("nimbrel::ui::MainWindow: Error: ")));
  }
};

}  // namespace nimbrel::ui::testing

QTEST_MAIN(nimbrel::ui::testing::ArchiveUiTest)
#include "archive_ui_test.moc"
