#include "engine/AbcMemory.h"
#include "engine/ArbitraryModel.h"
#include "engine/Basic.h"
#include "engine/DataLogger.h"
#include "engine/ELoad.h"
#include "engine/PanelMemory.h"
#include "platform/AtomicFile.h"
#include "platform/BoardPath.h"
#include "tests/support/PowerBoard.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

#include <memory>

using vek::ELoad;
using vek::PanelMemory;

// Setup files on the engine root against the simulated board: what a recall reads, what it
// leaves alone, and what a failed save keeps.
class tst_PanelMemory : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();

    void rootStartsWithThreePresets();
    void arbitraryPointsStopAtTheFirstGap();
    void missingPresetIsEmpty();
    void automaticSetupKeepsTheLoadOff();
    void unreadableFilesChangeNothing();
    void failedSaveKeepsTheOldFile();

private:
    static bool writePanel(const QString &name, const QByteArray &text);
    static QByteArray readPanel(const QString &name);

    std::unique_ptr<PowerBoard> m_board;
    std::unique_ptr<ELoad> m_root;
};

void tst_PanelMemory::initTestCase()
{
    vek::Source::resetState();
    m_board = std::make_unique<PowerBoard>();
    QVERIFY2(m_board->start(), qPrintable(m_board->errorString()));
    m_root = std::make_unique<ELoad>(ELoad::ValueObjectsHook(), 0);
    QCOMPARE(ELoad::s_pSelf, m_root.get());
    // The settings objects' queued start-up.
    QTest::qWait(200);
}

void tst_PanelMemory::cleanupTestCase()
{
    m_root.reset();
    QCOMPARE(ELoad::s_pSelf, nullptr);
    QVERIFY2(m_board->stop(), qPrintable(m_board->errorString()));
}

bool tst_PanelMemory::writePanel(const QString &name, const QByteArray &text)
{
    const QString path = platform::BoardPath::map(PanelMemory::boardPath(name));
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(text) == text.size();
}

QByteArray tst_PanelMemory::readPanel(const QString &name)
{
    QFile file(platform::BoardPath::map(PanelMemory::boardPath(name)));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void tst_PanelMemory::rootStartsWithThreePresets()
{
    for (int n = 0; n < vek::AbcMemories::Count; ++n) {
        const vek::ABC_MEMORY preset = m_root->presets()->at(n);
        QCOMPARE(preset.cc_high, 0.0);
        QCOMPARE(preset.arbitraryPoints.size(), 3);
        QCOMPARE(preset.arbitraryPoints.at(2).voltage, 3.0);
    }
}

void tst_PanelMemory::arbitraryPointsStopAtTheFirstGap()
{
    QVERIFY(writePanel("11.info",
        R"({"func": 0, "curr:rang": 2, "volt:rang": 1,
            "arb_01": {"volt": 0, "curr": 0}, "arb_02": {"volt": 5, "curr": 1},
            "arb_03": {"volt": 10, "curr": 2}, "arb_04": {"volt": 150, "curr": 0},
            "arb_06": {"volt": 20, "curr": 3}})"));
    QCOMPARE(PanelMemory().rcl("11.info", m_root->presets()), vek::SCPIERR_T(0));
    const QList<vek::ARBITRARY_DATA> points = m_root->arbitrary()->getData();
    QCOMPARE(points.size(), 4);
    QCOMPARE(points.at(2).voltage, 10.0);
    QCOMPARE(points.at(2).current, 2.0);
}

void tst_PanelMemory::missingPresetIsEmpty()
{
    QVERIFY(writePanel("12.info",
        R"({"abc_0": {"cc_high": 1.5, "cv_low": 2, "arb_01": {"volt": 1, "curr": 0.5}},
            "abc_2": {"cp_medium": 7}})"));
    QCOMPARE(PanelMemory().rcl("12.info", m_root->presets()), vek::SCPIERR_T(0));
    const vek::ABC_MEMORY a = m_root->presets()->at(0);
    QCOMPARE(a.cc_high, 1.5);
    QCOMPARE(a.cv_low, 2.0);
    QCOMPARE(a.arbitraryPoints.size(), 1);
    QCOMPARE(a.arbitraryPoints.at(0).current, 0.5);
    QCOMPARE(m_root->presets()->at(1), vek::ABC_MEMORY());
    QCOMPARE(m_root->presets()->at(2).cp_medium, 7.0);
}

void tst_PanelMemory::automaticSetupKeepsTheLoadOff()
{
    QVERIFY(
        writePanel("auto.info", R"({"func": 0, "curr:rang": 2, "volt:rang": 1, "outp": true})"));
    const PanelMemory memory;
    QCOMPARE(memory.rcl("auto.info", m_root->presets()), vek::SCPIERR_T(0));
    QCOMPARE(vek::Source::m_stateLoad.load(), false);
    // By its absolute path it is a setup like any other.
    QCOMPARE(memory.rcl("/etc/instr/panels/auto.info", m_root->presets()), vek::SCPIERR_T(0));
    QCOMPARE(vek::Source::m_stateLoad.load(), true);
    QCOMPARE(m_root->basic()->setOutput(false), vek::SCPIERR_T(0));
}

void tst_PanelMemory::unreadableFilesChangeNothing()
{
    DataLogger *logger = m_root->logger();
    logger->clear();
    logger->append(ioc::TRACE_DATA());
    QVERIFY(m_root->basic()->setRealCurrentLevel(1.25, vek::UpdateIfChanged) == 0);
    const vek::ABC_MEMORY presetB = m_root->presets()->at(1);

    QVERIFY(writePanel("13.info", R"({"curr": 2.5, "abc_1": {"cc_high": )"));
    QVERIFY(writePanel("14.info", "[1, 2]"));
    QFile::remove(platform::BoardPath::map("/etc/instr/panels/15.info"));
    const PanelMemory memory;
    QCOMPARE(memory.rcl("13.info", m_root->presets()), vek::SCPIERR_T(-253));
    QCOMPARE(memory.rcl("14.info", m_root->presets()), vek::SCPIERR_T(-253));
    QCOMPARE(memory.rcl("15.info", m_root->presets()), vek::SCPIERR_T(-314));
    QCOMPARE(logger->getNumOfData(), 1);
    QCOMPARE(m_root->basic()->getRealCurrentLevel(), 1.25);
    QCOMPARE(m_root->presets()->at(1), presetB);
}

void tst_PanelMemory::failedSaveKeepsTheOldFile()
{
    const PanelMemory memory;
    QVERIFY(m_root->basic()->setRealCurrentLevel(0.5, vek::UpdateIfChanged) == 0);
    QCOMPARE(memory.sav("16.info", *m_root->presets()), vek::SCPIERR_T(0));
    const QByteArray before = readPanel("16.info");
    QCOMPARE(QJsonDocument::fromJson(before).object().value("curr").toDouble(), 0.5);

    platform::AtomicFile::setRenameFunction([](const QString &, const QString &) {
        return false;
    });
    QVERIFY(m_root->basic()->setRealCurrentLevel(0.75, vek::UpdateIfChanged) == 0);
    QString failure;
    const vek::SCPIERR_T rc = memory.sav("16.info", *m_root->presets(), &failure);
    platform::AtomicFile::setRenameFunction({});
    QCOMPARE(rc, vek::SCPIERR_T(-310));
    QVERIFY2(failure.startsWith("/etc/instr/panels/16.info"), qPrintable(failure));
    QCOMPARE(readPanel("16.info"), before);
    QCOMPARE(QDir(platform::BoardPath::map("/etc/instr/panels")).entryList({ "16.info*" }),
        QStringList { "16.info" });
}

QTEST_GUILESS_MAIN(tst_PanelMemory)
#include "tst_PanelMemory.moc"
