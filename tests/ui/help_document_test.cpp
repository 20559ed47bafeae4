#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "ui/help_document.h"

namespace nimbrel::ui::testing {

namespace {

// Puts a file of the help document's name into `folder`, making the folder first.
void PlaceHelpDocument(const QString& folder) {
  QVERIFY(QDir().mkpath(folder));
  QFile file(QDir(folder).filePath(QString::fromLatin1(kHelpDocumentName)));
  QVERIFY(file.open(QIODevice::WriteOnly));
  QVERIFY(file.write("%PDF-1.4\n") > 0);
}

}  // namespace

// Where the help button finds the help document: beside the program in the build tree, in
// <prefix>/share/doc/nimbrel when installed under <prefix>/bin.
class HelpDocumentTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    QVERIFY(root_.isValid());
    prefix_ = QDir(root_.path()).filePath(QStringLiteral("prefix"));
    bin_ = QDir(prefix_).filePath(QStringLiteral("bin"));
    installed_ = QDir(prefix_).filePath(QStringLiteral("share/doc/nimbrel/Nimbrel_help.pdf"));
    QVERIFY(QDir().mkpath(bin_));
  }

  void cleanup() { QVERIFY(QDir(prefix_).removeRecursively()); }

  void FindsTheDocumentBesideTheProgram() {
    PlaceHelpDocument(bin_);
    QCOMPARE(HelpDocumentPath(bin_), QDir(bin_).filePath(QStringLiteral("Nimbrel_help.pdf")));
  }

  void FindsTheInstalledDocumentAsAPlainPath() {
    PlaceHelpDocument(QFileInfo(installed_).path());
    const QString found = HelpDocumentPath(bin_);
    QCOMPARE(found, installed_);
    QVERIFY(!found.contains(QStringLiteral("..")));
    QVERIFY(QFileInfo::exists(found));
  }

  void PrefersTheDocumentBesideTheProgram() {
    PlaceHelpDocument(QFileInfo(installed_).path());
    PlaceHelpDocument(bin_);
    QCOMPARE(HelpDocumentPath(bin_), QDir(bin_).filePath(QStringLiteral("Nimbrel_help.pdf")));
  }

  // The viewer is then asked for a missing file; the program itself says nothing.
  void NamesThePathBesideTheProgramWhenThereIsNone() {
    QCOMPARE(HelpDocumentPath(bin_), QDir(bin_).filePath(QStringLiteral("Nimbrel_help.pdf")));
  }

  void LooksInThisProgramsOwnFolder() {
    QCOMPARE(HelpDocumentPath(), HelpDocumentPath(QCoreApplication::applicationDirPath()));
    QCOMPARE(QFileInfo(HelpDocumentPath()).fileName(), QStringLiteral("Nimbrel_help.pdf"));
  }

 private:
  QTemporaryDir root_;
  QString prefix_;
  QString bin_;
  QString installed_;
};

}  // namespace nimbrel::ui::testing

QTEST_MAIN(nimbrel::ui::testing::HelpDocumentTest)
#include "help_document_test.moc"
