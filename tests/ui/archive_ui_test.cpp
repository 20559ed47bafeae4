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
#include "ui/records_panel.h"
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

// Thirty records in a new archive, then the page of one of its tables overwritten: opening still
// reads a sound first page; only what reads or writes that table meets the damage.
bool MakeArchiveDamagedInside(const ArchiveOptions& options, HistoryStore& store,
                              const char* table = "records") {
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
  const std::string rootPage =
      std::string("SELECT rootpage FROM sqlite_master WHERE name = '") + table + "'";
  const qint64 page = number(rootPage.c_str());
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

// kLiveLine at another time, with its outdoor temperature and the day's rain so far, and no wind
// speed (the console's dashes).
std::string RecordLine(const char* date, const char* time, const char* outdoor, const char* rain) {
  QStringList fields = QString::fromLatin1(kLiveLine).split(QLatin1Char(' '));
  fields[kFieldDate] = QString::fromLatin1(date);
  fields[kFieldTime] = QString::fromLatin1(time);
  fields[kFieldOutdoorTemperature] = QString::fromLatin1(outdoor);
  fields[kFieldDailyRain] = QString::fromLatin1(rain);
  fields[kFieldWindSpeed] = QStringLiteral("--.-");
  return fields.join(QLatin1Char(' ')).toStdString();
}

// A cell of the Records tab as "value @ when".
QString Cell(const RecordsPanel& panel, std::size_t row, RecordsPeriod period) {
  const RecordsCell& cell = panel.Table().rows.at(row).cells[static_cast<std::size_t>(period)];
  return cell.when.isEmpty() ? cell.value : cell.value + QStringLiteral(" @ ") + cell.when;
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

  // The Records tab shows the figures of the archive's days as of the PC's date (6 May 2024):
  // highs and lows at the first time they were reached, the day's rain as the largest running
  // total, dashes for a value no record has, the rain season from the month the setup panel
  // chooses (and saves). A merge shows within a few seconds.
  void RecordsFollowTheArchiveAndTheSeason() {
    const std::vector<std::string> log = {
        RecordLine("2024-4-30", "13:00", "25.0", "1.0"),  // last month
        RecordLine("2024-5-5", "12:00", "12.0", "7.5"),   // yesterday
        RecordLine("2024-5-6", "06:00", "4.0", "0.0"),
        RecordLine("2024-5-6", "14:35", "18.6", "2.5"),
        RecordLine("2024-5-6", "16:00", "18.6", "3.0"),  // the same high again, later
        RecordLine("2024-5-6", "17:00", "21.0", "3.0"),  // only in the console's download
    };
    QTemporaryDir folder;
    const ArchiveOptions options = InFolder(folder);
    {
      ArchiveError error;
      std::unique_ptr<Archive> archive = OpenArchive(options, error);
      const std::vector<std::string_view> texts(log.begin(), log.end() - 1);
      MergeCounts counts;
      QVERIFY(archive);
      const ArchiveStatus merged = archive->Merge(texts, counts);
      QVERIFY2(!merged, merged ? merged->message.c_str() : "");
    }
    ConsoleOptions console = QuietConsole();
    console.historyLines = log;
    ProgramFixture fixture(console);
    QVERIFY(fixture.Settings().WriteRainSeasonStart(5));
    MainWindow& window = fixture.Open();
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom));
    RecordsPanel& records = window.Records();
    records.SetClock([] { return At(2024, 5, 6, 18, 0); });
    auto* season = Find<QComboBox>(window.Setup(), "rainSeasonList");
    QCOMPARE(season->currentText(), QStringLiteral("May"));
    window.UseArchive(options);
    QTest::mouseClick(Find<QLabel>(window.HeaderBar(), "recordsTab"), Qt::LeftButton);
    QVERIFY(records.isVisible());
    QTRY_VERIFY(!records.Reading() && records.Note().isEmpty());

    // Rows: outdoor temperature high and low, ..., wind speed high (8), ..., rain, wettest day.
    using enum RecordsPeriod;
    const std::size_t rain = records.Table().rows.size() - 2;
    const struct {
      std::size_t row;
      RecordsPeriod period;
      QString shown;
    } cells[] = {
        {0, kToday, QStringLiteral("18.6°C @ 14:35")},
        {1, kToday, QStringLiteral("4.0°C @ 06:00")},
        {0, kYesterday, QStringLiteral("12.0°C @ 12:00")},
        {0, kMonth, QStringLiteral("18.6°C @ 06/05/2024 14:35")},
        {0, kYear, QStringLiteral("25.0°C @ 30/04/2024 13:00")},
        {8, kToday, QStringLiteral("--")},
        {8, kAllTime, QStringLiteral("--")},
        {rain, kToday, QStringLiteral("3.0 mm")},
        {rain, kMonth, QStringLiteral("10.5 mm")},
        {rain, kSeason, QStringLiteral("10.5 mm")},  // from May
        {rain, kYear, QStringLiteral("11.5 mm")},
        {rain, kAllTime, QStringLiteral("11.5 mm")},
        {rain + 1, kToday, QStringLiteral("--")},
        {rain + 1, kYear, QStringLiteral("7.5 mm @ 05/05/2024")},
    };
    for (const auto& c : cells) {
      QCOMPARE(Cell(records, c.row, c.period), c.shown);
    }
    QCOMPARE(records.Table().spans[static_cast<std::size_t>(kSeason)],
             QStringLiteral("05/2024 \u2013 04/2025"));

    // Another first month reads again; °F shows at once.
    season->setCurrentIndex(2);
    QTRY_COMPARE(Cell(records, rain, kSeason), QStringLiteral("11.5 mm"));
    Find<QComboBox>(window.Setup(), "temperatureList")->setCurrentIndex(1);
    QCOMPARE(Cell(records, 0, kToday), QStringLiteral("65.4°F @ 14:35"));

    Click(window.Setup(), "archiveDownload");
    QTRY_COMPARE_WITH_TIMEOUT(Cell(records, 0, kToday), QStringLiteral("69.8°F @ 17:00"), 30000);
    QCOMPARE(fixture.boxes.boxes, QStringList());
    window.Shutdown();
    QCOMPARE(fixture.Settings().ReadRainSeasonStart(), 3U);
  }

  // A read that meets a damaged file says so in place of the figures, without a message box.
  void RecordsTellAFailedRead() {
    QTemporaryDir folder;
    const ArchiveOptions options = InFolder(folder);
    HistoryStore store;
    QVERIFY(MakeArchiveDamagedInside(options, store, "day_summaries"));
    ProgramFixture fixture;
    MainWindow& window = fixture.Open();
    window.UseArchive(options);
    window.ShowPanel(4);
    QTRY_VERIFY2(window.Records().Note().contains(QStringLiteral("not a database")),
                 qPrintable(window.Records().Note()));
    QCOMPARE(fixture.boxes.boxes, QStringList());
  }
};

}  // namespace nimbrel::ui::testing

QTEST_MAIN(nimbrel::ui::testing::ArchiveUiTest)
#include "archive_ui_test.moc"
