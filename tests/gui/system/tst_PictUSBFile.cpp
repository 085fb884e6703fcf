#include "engine/DataLogger.h"
#include "gui/system/FileSystemEditModel.h"
#include "gui/system/PictUSBFile.h"
#include "gui/system/SystemKeyPages.h"
#include "gui/toolkit/FuncButton.h"
#include "gui/toolkit/zoMessageBox.h"
#include "gui/toolkit/zoUpDownLineEdit.h"
#include "tests/gui/system/StickFixture.h"
#include "tests/support/PanelTestLook.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QTreeView>
#include <QtTest>

#include <memory>

namespace {
constexpr int WaitMs = 20000;

ioc::TRACE_DATA record(int k)
{
    ioc::TRACE_DATA r;
    r.elapsedTime = k * 0.1;
    r.current = 1.5;
    r.voltage = 10.0 + k;
    r.power = r.current * r.voltage;
    return r;
}
} // namespace

// The measurement-data page: new files on a stick inside the remount pair, the key states of
// each kind of entry, the acquisition's block of "Save As", the swallowed F2 and a failing
// remount.
class tst_PictUSBFile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void generateSaveName_data();
    void generateSaveName();
    void noNameWhenAllAreTaken();
    void keyStates_data();
    void keyStates();
    void saveAsWritesTheRecordsAndOpensTheName();
    void acquisitionBlocksSaveAsWhileHidden();
    void f2OnTheListIsIgnored();
    void failingRemountLeavesTheStickAndShowsTheBox();
    void aNewStickFocusesTheList();
    void saveFileRefusesPathsOffAStick();

private:
    // Makes the entry current as the operator's Up and Down would.
    void select(const QString &boardPath);
    FuncFile *keys() const { return m_page->funcFile(); }
    QTreeView *list() const { return m_page->findChild<QTreeView *>("file"); }

    std::unique_ptr<StickFixture> m_sticks;
    std::unique_ptr<DataLogger> m_logger;
    std::unique_ptr<PictUSBFile> m_page;
};

void tst_PictUSBFile::initTestCase()
{
    const QString look = PanelTestLook::apply();
    if (!look.isEmpty())
        QSKIP(qPrintable(look));
}

void tst_PictUSBFile::init()
{
    m_sticks = std::make_unique<StickFixture>();
    QVERIFY2(m_sticks->isValid(), qPrintable(m_sticks->error()));
    QVERIFY(m_sticks->makeStick("sda1"));
    QVERIFY(QDir().mkpath(StickFixture::path("/run/media/sda1/logs")));
    QVERIFY(m_sticks->write("/run/media/sda1/old.csv", "x\n"));
    QVERIFY(m_sticks->write("/etc/instr/panels/01.info", "{}"));
    m_logger = std::make_unique<DataLogger>();
    for (int k = 0; k < 5; ++k)
        m_logger->append(record(k));
    m_page = std::make_unique<PictUSBFile>(nullptr, m_logger.get(), nullptr);
    m_page->resize(320, 203);
}

void tst_PictUSBFile::cleanup()
{
    m_page.reset();
    m_logger.reset();
    m_sticks.reset();
}

void tst_PictUSBFile::select(const QString &boardPath)
{
    const QModelIndex index = m_page->fileModel()->index(StickFixture::path(boardPath));
    QVERIFY(index.isValid());
    list()->setCurrentIndex(index);
}

void tst_PictUSBFile::generateSaveName_data()
{
    QTest::addColumn<QStringList>("present");
    QTest::addColumn<QString>("proposed");

    QTest::newRow("empty folder") << QStringList {} << "Untitled1.csv";
    QTest::newRow("next number") << QStringList { "Untitled1.csv", "Untitled2.csv" }
                                 << "Untitled3.csv";
    QTest::newRow("lowest gap") << QStringList { "Untitled1.csv", "Untitled3.csv" }
                                << "Untitled2.csv";
    QTest::newRow("other names do not count")
        << QStringList { "untitled1.csv", "Untitled1.info", "Untitled01.csv" } << "Untitled1.csv";
    QTest::newRow("a folder of that name counts")
        << QStringList { "Untitled1.csv/" } << "Untitled2.csv";
}

void tst_PictUSBFile::generateSaveName()
{
    QFETCH(QStringList, present);
    QFETCH(QString, proposed);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    for (const QString &name : present) {
        if (name.endsWith('/')) {
            QVERIFY(QDir(dir.path()).mkdir(name.chopped(1)));
        } else {
            QFile file(dir.filePath(name));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
    }
    QCOMPARE(PictUSBFile::generateSaveName(dir.path()), dir.path() + '/' + proposed);
}

void tst_PictUSBFile::noNameWhenAllAreTaken()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    for (int n = 1; n <= 999; ++n) {
        QFile file(dir.filePath(QString("Untitled%1.csv").arg(n)));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    QCOMPARE(PictUSBFile::generateSaveName(dir.path()), QString());
}

void tst_PictUSBFile::keyStates_data()
{
    QTest::addColumn<QString>("boardPath"); // empty: the state at start
    QTest::addColumn<bool>("saveAs");
    QTest::addColumn<bool>("rename");
    // The media root lives in RAM and the mount points and the setups link cannot be renamed.
    QTest::newRow("media root at start") << QString() << false << false;
    QTest::newRow("setups") << "/run/media/setups" << false << false;
    QTest::newRow("setup file") << "/run/media/setups/01.info" << false << true;
    QTest::newRow("stick") << "/run/media/sda1" << true << false;
    QTest::newRow("folder on a stick") << "/run/media/sda1/logs" << true << true;
    QTest::newRow("csv on a stick") << "/run/media/sda1/old.csv" << true << true;
}

void tst_PictUSBFile::keyStates()
{
    QFETCH(QString, boardPath);
    QFETCH(bool, saveAs);
    QFETCH(bool, rename);
    m_page->show();
    if (!boardPath.isEmpty())
        select(boardPath);
    QCOMPARE(keys()->m_saveAsButton->isEnabled(), saveAs);
    QCOMPARE(keys()->m_renameButton->isEnabled(), rename);
    QVERIFY(!keys()->m_recallButton->isEnabled());
    QVERIFY(!keys()->m_saveButton->isEnabled());
    QVERIFY(!keys()->m_propertyButton->isEnabled());
}

void tst_PictUSBFile::saveAsWritesTheRecordsAndOpensTheName()
{
    QVERIFY(m_sticks->write("/run/media/sda1/Untitled1.csv", "keep\n"));
    m_page->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_page.get()));
    select("/run/media/sda1/old.csv");
    keys()->m_saveAsButton->click();

    const QString created = StickFixture::path("/run/media/sda1/Untitled2.csv");
    const QStringList lines =
        QString::fromLatin1(StickFixture::read("/run/media/sda1/Untitled2.csv"))
            .split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 6);
    QCOMPARE(lines.first(),
        QString("ETime[s], Current[A], Voltage[V], Power[W], Capacity[Ah], Energy[Wh]"));
    QVERIFY2(lines.at(2).startsWith("0.100000, 1.500000, 11.000000"), qPrintable(lines.at(2)));
    QCOMPARE(StickFixture::read("/run/media/sda1/Untitled1.csv"), QByteArray("keep\n"));
    // Written while the stick was writable: absent at the remount, present at the unmount.
    QCOMPARE(StickFixture::journal(),
        QStringList({ "/bin/mount -o remount,rw /run/media/sda1",
            "  ls /run/media/sda1: Untitled1.csv logs old.csv",
            "/bin/umount /run/media/sda1",
            "  ls /run/media/sda1: Untitled1.csv Untitled2.csv logs old.csv",
            "/bin/mount -r -t auto /dev/sda1 /run/media/sda1" }));

    QCOMPARE(m_page->fileModel()->filePath(list()->currentIndex()), created);
    auto *editor = list()->findChild<zoUpDownLineEdit *>();
    QVERIFY(editor);
    QTRY_VERIFY_WITH_TIMEOUT(editor->hasFocus(), WaitMs);
    QCOMPARE(editor->text(), QString("Untitled2.csv"));
    editor->selectAll();
    QTest::keyClicks(editor, "run:1.csv");
    QTest::keyClick(editor, Qt::Key_Return);
    QTRY_VERIFY_WITH_TIMEOUT(
        QFileInfo::exists(StickFixture::path("/run/media/sda1/run1.csv")), WaitMs);
    QVERIFY(!QFileInfo::exists(created));
}

void tst_PictUSBFile::acquisitionBlocksSaveAsWhileHidden()
{
    select("/run/media/sda1/logs");
    QVERIFY(keys()->m_saveAsButton->isEnabled());
    keys()->SetSaveBtn(true);
    QVERIFY(!keys()->m_saveAsButton->isEnabled());
    select("/run/media/sda1/old.csv");
    m_page->show();
    QVERIFY(!keys()->m_saveAsButton->isEnabled());
    keys()->SetSaveBtn(false);
    QVERIFY(keys()->m_saveAsButton->isEnabled());
}

void tst_PictUSBFile::f2OnTheListIsIgnored()
{
    m_page->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_page.get()));
    select("/run/media/sda1/old.csv");
    list()->setFocus();
    QTest::keyClick(list(), Qt::Key_F2);
    QCoreApplication::processEvents();
    QVERIFY(!list()->findChild<zoUpDownLineEdit *>());
    QCOMPARE(StickFixture::read("/run/media/sda1/old.csv"), QByteArray("x\n"));
    QCOMPARE(StickFixture::journal(), QStringList());
}

void tst_PictUSBFile::failingRemountLeavesTheStickAndShowsTheBox()
{
    QVERIFY(m_sticks->failRemounts());
    m_page->show();
    select("/run/media/sda1");
    keys()->m_saveAsButton->click();
    QCOMPARE(QDir(StickFixture::path("/run/media/sda1")).entryList(QDir::Files),
        QStringList({ "old.csv" }));
    QCOMPARE(StickFixture::journal().filter("/bin/"),
        QStringList({ "/bin/mount -o remount,rw /run/media/sda1" }));
    auto *box = m_page->findChild<zoMessageBox *>();
    QVERIFY(box);
    QVERIFY(box->isVisible());
    QCOMPARE(box->findChild<QLabel *>()->text(), QString("System error"));
    QTRY_VERIFY_WITH_TIMEOUT(!m_page->findChild<zoMessageBox *>(), WaitMs);
}

void tst_PictUSBFile::saveFileRefusesPathsOffAStick()
{
    const short error = FileSystemEditModel::MediaError;
    QCOMPARE(m_page->saveFile(QString()), error);
    QCOMPARE(m_page->saveFile(StickFixture::path("/run/media/Untitled1.csv")), error);
    QCOMPARE(m_page->saveFile(StickFixture::path("/run/media/setups/Untitled1.csv")), error);
    QCOMPARE(m_page->saveFile(StickFixture::path("/run/media/sdb1/Untitled1.csv")), error);
    QVERIFY(!QFileInfo::exists(StickFixture::path("/run/media/Untitled1.csv")));
    QVERIFY(!QFileInfo::exists(StickFixture::path("/etc/instr/panels/Untitled1.csv")));

    // A stick that vanished between the remount and the write.
    m_logger = std::make_unique<DataLogger>();
    m_page = std::make_unique<PictUSBFile>(nullptr, m_logger.get(), nullptr);
    QCOMPARE(m_page->saveFile(StickFixture::path("/run/media/sda1/no/such/folder.csv")), error);
    QCOMPARE(StickFixture::journal().filter("/bin/").size(), 3);
    // An empty logger still gives the header line.
    QCOMPARE(m_page->saveFile(StickFixture::path("/run/media/sda1/empty.csv")), short(0));
    QCOMPARE(StickFixture::read("/run/media/sda1/empty.csv"),
        QByteArray("ETime[s], Current[A], Voltage[V], Power[W], Capacity[Ah], Energy[Wh]\n"));
}

void tst_PictUSBFile::aNewStickFocusesTheList()
{
    m_page->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_page.get()));
    m_page->activateWindow();
    keys()->setFocus();
    QTRY_VERIFY_WITH_TIMEOUT(!list()->hasFocus(), WaitMs);
    QVERIFY(m_sticks->makeStick("sdb1"));
    QTRY_VERIFY_WITH_TIMEOUT(list()->hasFocus(), WaitMs);
}

QTEST_MAIN(tst_PictUSBFile)
#include "tst_PictUSBFile.moc"
