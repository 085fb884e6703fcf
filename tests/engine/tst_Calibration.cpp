#include "engine/Calibration.h"
#include "engine/ioc/IoControl.h"
#include "engine/ioc/IocProtocol.h"
#include "tests/support/EngineFixture.h"

#include <QDate>
#include <QtTest>

#include <memory>

using vek::Calibration;
using vek::SCPIERR_T;

namespace {

constexpr quint32 CalCommandAddress = 0x60000008;

} // namespace

// Calibration access over the writer link on the simulated board, whose calibration registers
// answer what was written and whose identification carries the date words.
class tst_Calibration : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void registerWritesAndReadsBack();
    void badIndexSendsNothing_data();
    void badIndexSendsNothing();
    void readWithoutReplyIsAnError();
    void dateIsWrittenAndReportedAfterTheNextStart();
    void saveCopiesThenStores();
    void applyAbortsThenRestartsTheSteadyOperation();

private:
    QList<PowerBoard::LogEntry> logAfterFlush();
    // Builds the links again, as the next start does (the identification is read again).
    void restartLinks();

    EngineFixture m_engine;
    std::unique_ptr<Calibration> m_cal;
};

void tst_Calibration::init()
{
    ioc::LinkTiming timing;
    timing.replyTimeoutMs = 300;
    QVERIFY2(m_engine.startBoard(), qPrintable(m_engine.errorString()));
    QVERIFY2(m_engine.buildLinks(false, timing), qPrintable(m_engine.errorString()));
    m_cal = std::make_unique<Calibration>(m_engine.writer.get(), 50, 1);
    QVERIFY(m_engine.flushWriter());
    QVERIFY(m_engine.board->clearLog());
}

void tst_Calibration::cleanup()
{
    m_cal.reset();
    QVERIFY2(m_engine.stop(), qPrintable(m_engine.errorString()));
}

QList<PowerBoard::LogEntry> tst_Calibration::logAfterFlush()
{
    if (!m_engine.flushWriter())
        return {};
    return m_engine.board->log();
}

void tst_Calibration::restartLinks()
{
    QVERIFY(m_engine.flushWriter());
    m_cal.reset();
    m_engine.status.reset();
    m_engine.info.reset();
    m_engine.writer.reset();
    m_engine.monitor.reset();
    QVERIFY2(m_engine.buildLinks(), qPrintable(m_engine.errorString()));
    m_cal = std::make_unique<Calibration>(m_engine.writer.get(), 50, 1);
}

void tst_Calibration::registerWritesAndReadsBack()
{
    QCOMPARE(m_cal->setCalibrateData(0x10, 5), SCPIERR_T(0));
    const QList<PowerBoard::LogEntry> log = logAfterFlush();
    QCOMPARE(EngineFixture::writesTo(log, 0x70000010), QList<quint32>({ 5 }));
    for (const PowerBoard::LogEntry &e : log) {
        if (e.address == 0x70000010)
            QCOMPARE(e.words.size(), 1);
    }
    unsigned value = 0;
    QCOMPARE(m_cal->getCalibrateData(0x10, &value), SCPIERR_T(0));
    QCOMPARE(value, 5u);
    QCOMPARE(m_cal->setCalibrateData(0xFFFFFFC, 0xDEADBEEF), SCPIERR_T(0));
    QCOMPARE(m_cal->getCalibrateData(0xFFFFFFC, &value), SCPIERR_T(0));
    QCOMPARE(value, 0xDEADBEEFu);
}

void tst_Calibration::badIndexSendsNothing_data()
{
    QTest::addColumn<unsigned>("index");
    QTest::newRow("not a multiple of 4") << 6u;
    QTest::newRow("past the calibration block") << 0x10000000u;
    QTest::newRow("would wrap the address") << 0xFFFFFFFCu;
}

void tst_Calibration::badIndexSendsNothing()
{
    QFETCH(unsigned, index);
    unsigned value = 77;
    QCOMPARE(m_cal->getCalibrateData(index, &value), SCPIERR_T(-224));
    QCOMPARE(value, 77u);
    QCOMPARE(m_cal->setCalibrateData(index, 1), SCPIERR_T(-224));
    for (const PowerBoard::LogEntry &e : logAfterFlush())
        QVERIFY2(e.address < 0x70000000, qPrintable(QString::number(e.address, 16)));
}

// A read the board never answers is an error within the link's reply time, never the value of
// an earlier read.
void tst_Calibration::readWithoutReplyIsAnError()
{
    QCOMPARE(m_cal->setCalibrateData(0x20, 9), SCPIERR_T(0));
    unsigned value = 0;
    QCOMPARE(m_cal->getCalibrateData(0x20, &value), SCPIERR_T(0));
    QCOMPARE(value, 9u);
    QVERIFY(m_engine.board->command("fail 1 silent").startsWith("OK"));
    value = 12345;
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(m_cal->getCalibrateData(0x20, &value), SCPIERR_T(ioc::IoControl::ErrTimeout));
    QVERIFY(timer.elapsed() < 5000);
    QCOMPARE(value, 12345u);
}

void tst_Calibration::dateIsWrittenAndReportedAfterTheNextStart()
{
    QVERIFY(m_cal->setCalibrationDate(2024, 2, 29));
    const QList<PowerBoard::LogEntry> log = logAfterFlush();
    QCOMPARE(EngineFixture::writesTo(log, 0x70000508), QList<quint32>({ 2024 }));
    QCOMPARE(EngineFixture::writesTo(log, 0x7000050C), QList<quint32>({ 0x2001D }));
    unsigned year = 0, month = 0, day = 0;
    QCOMPARE(m_cal->getCalibrateData(Calibration::YearIndex, &year), SCPIERR_T(0));
    QCOMPARE(year, 2024u);

    restartLinks();
    QVERIFY(m_cal->getCalibrationDate(&year, &month, &day));
    QCOMPARE(QDate(int(year), int(month), int(day)), QDate(2024, 2, 29));
    QCOMPARE(m_cal->getCalibrationDateString(), QDate(2024, 2, 29).toString(Qt::TextDate));

    // The words of a date that does not exist are written all the same; read back, it is
    // reported as unknown.
    QVERIFY(!m_cal->setCalibrationDate(2023, 2, 29));
    restartLinks();
    QVERIFY(!m_cal->getCalibrationDate(&year, &month, &day));
    QCOMPARE(m_cal->getCalibrationDateString(), QString("Unknown Date"));
}

void tst_Calibration::saveCopiesThenStores()
{
    m_cal->doCalibrateSave();
    QList<quint32> commands;
    for (quint32 word : EngineFixture::writesTo(logAfterFlush(), CalCommandAddress)) {
        if (word)
            commands << word;
    }
    QCOMPARE(commands, QList<quint32>({ ioc::Command::CalCopy, ioc::Command::CalStore }));
}

void tst_Calibration::applyAbortsThenRestartsTheSteadyOperation()
{
    m_cal->doCalibrateApply();
    const QList<PowerBoard::LogEntry> log = logAfterFlush();
    int abortAt = -1, startAt = -1;
    for (int i = 0; i < log.size(); ++i) {
        const PowerBoard::LogEntry &e = log[i];
        if (abortAt < 0 && e.address == EngineFixture::ProgramGroupAddress && e.words.size() > 1
            && (e.words[1] & ioc::IoControl::TranAbort))
            abortAt = i;
        if (e.address == EngineFixture::CommandAddress && !e.words.isEmpty() && (e.words[0] & 0x1))
            startAt = i;
    }
    QVERIFY2(abortAt >= 0 && startAt >= 0, qPrintable(QString("%1 %2").arg(abortAt).arg(startAt)));
    QVERIFY(abortAt <= startAt);
}

QTEST_MAIN(tst_Calibration)
#include "tst_Calibration.moc"
