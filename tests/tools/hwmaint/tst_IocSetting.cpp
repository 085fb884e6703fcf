#include "tests/support/PowerBoard.h"
#include "tests/tools/hwmaint/BootLog.h"
#include "tools/hwmaint/IocSetting.h"
#include "tools/hwmaint/RegWordWriteTransfer.h"
#include "tools/hwmaint/iocTools.h"

#include <QTextStream>
#include <QtTest>

#include <functional>

using ioc::IocSetting;
using ioc::LcIoc;
using ioc::RegWordWriteTransfer;

using Setters = std::function<void(IocSetting *)>;
using Frames = QVector<QVector<quint32>>;
Q_DECLARE_METATYPE(Setters)

// The tool's register writer against vek-powerboard, reached through the SPI port's socket.
class tst_IocSetting : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void bootPairs();
    void batchesOfTwenty();
    void emptyWakeSendsNothing();
    void stopWhileWaiting();
    void settersOfOtherInstruments_data();
    void settersOfOtherInstruments();
    void shadowsAndNetwork();
    void settersReachTheBoard();

private:
    PowerBoard *m_board = nullptr;
};

void tst_IocSetting::init()
{
    m_board = new PowerBoard;
    QVERIFY2(m_board->start(), qPrintable(m_board->errorString()));
}

void tst_IocSetting::cleanup()
{
    const bool clean = m_board->stop();
    const QString error = m_board->errorString();
    delete m_board;
    m_board = nullptr;
    QVERIFY2(clean, qPrintable(error));
}

// ISP boot, then flash boot: two workers of one process, each opening the device anew.
void tst_IocSetting::bootPairs()
{
    QString messages;
    QTextStream errors(&messages);
    iocTools tools(IocToolsTiming(), &errors);
    QCOMPARE(tools.boot(true), int(iocTools::Success));
    QVERIFY(m_board->command("boot").startsWith("OK isp "));
    QCOMPARE(ioc::IoControl::deviceState(), 0);
    QCOMPARE(tools.boot(false), int(iocTools::Success));
    QVERIFY(m_board->command("boot").startsWith("OK flash "));
    QCOMPARE(messages, QString());

    const BootLog log = BootLog::read(*m_board);
    QCOMPARE(log.frames.size(), 4);
    const QVector<QVector<quint32>> expected = {
        { 0x80006100, 1, 0, 0xA05B },
        { 0x80006100, 1, 2, 0x8019 },
        { 0x80006100, 1, 4, 0xE0DF },
        { 0x80006100, 1, 6, 0xC09D },
    };
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(log.frames.at(i).verdict, QString("ok"));
        QCOMPARE(log.frames.at(i).words, expected.at(i));
    }
    for (int pair : { 0, 2 }) {
        const qint64 gapUs = log.frames.at(pair + 1).timeUs - log.frames.at(pair).timeUs;
        QVERIFY2(gapUs >= 80000 && gapUs <= 120000, qPrintable(QString::number(gapUs)));
        QVERIFY(log.frames.at(pair + 1).message != log.frames.at(pair).message);
    }
}

void tst_IocSetting::batchesOfTwenty()
{
    {
        IocSetting writer;
        QVERIFY(ioc::IoControl::deviceState() > 0);
        for (unsigned int i = 0; i < 45; ++i) {
            auto *t = new RegWordWriteTransfer<unsigned int, 1>(0x80001000);
            t->append(i);
            writer.enqueue(t);
        }
        // Queued before the worker runs: one wake sends them all.
        writer.start();
        writer.transfer();
        QCOMPARE(writer.stop(), 0);
    }
    const BootLog log = BootLog::read(*m_board);
    QCOMPARE(log.frames.size(), 45);
    QVector<int> perMessage;
    for (int i = 0; i < log.frames.size(); ++i) {
        QCOMPARE(log.frames.at(i).verdict, QString("ok"));
        QCOMPARE(log.frames.at(i).words.value(2), quint32(i));
        if (i == 0 || log.frames.at(i).message != log.frames.at(i - 1).message)
            perMessage << 0;
        ++perMessage.last();
    }
    QCOMPARE(perMessage, QVector<int>({ 20, 20, 5 }));
}

void tst_IocSetting::emptyWakeSendsNothing()
{
    IocSetting writer;
    writer.start();
    writer.transfer();
    writer.transfer();
    writer.iocBootMode(false, true);
    writer.transfer();
    QCOMPARE(writer.stop(), 0);
    const BootLog log = BootLog::read(*m_board);
    QCOMPARE(log.frames.size(), 1);
    QCOMPARE(log.frames.first().words, QVector<quint32>({ 0x80006100, 1, 4, 0xE0DF }));
}

void tst_IocSetting::stopWhileWaiting()
{
    auto *writer = new IocSetting;
    writer->start();
    QTRY_VERIFY_WITH_TIMEOUT(writer->isRunning(), 5000);
    QCOMPARE(writer->stop(), 0);
    QVERIFY(writer->isFinished());
    QCOMPARE(ioc::IoControl::deviceState(), 0);
    // Queued after the stop: deleted unsent with the worker.
    writer->iocBootMode(true, true);
    delete writer;
    QCOMPARE(BootLog::read(*m_board).frames.size(), 0);
}

// Register setters of other instrument types: the frames queued (without their CRC word), for
// the calls in each row made on a fresh writer.
void tst_IocSetting::settersOfOtherInstruments_data()
{
    QTest::addColumn<Setters>("calls");
    QTest::addColumn<Frames>("frames");
    QTest::newRow("Acw level at the default 50 % start") << Setters([](IocSetting *s) {
        s->setAcwVoltageLevel(1.5);
    }) << Frames { { 0x80004008, 2, 1500, 750 } };
    QTest::newRow("Dcw start level, then level") << Setters([](IocSetting *s) {
        s->setDcwVoltageLevel(2.0009);
        s->setDcwVoltageStartLevel(20);
        s->setDcwVoltageLevel(3);
    })
                                                 << Frames { { 0x80004088, 2, 2000, 1000 },
                                                        { 0x8000408c, 1, 400 },
                                                        { 0x80004088, 2, 3000, 600 } };
    QTest::newRow("Ir bit 9 after bit 1") << Setters([](IocSetting *s) {
        s->setIrSenseJudgmentCurrentUpperState(true);
        s->setIrSenseJudgLowerState(true);
    }) << Frames { { 0x80004100, 1, 0x2 }, { 0x80004100, 1, 0x200 } };
    QTest::newRow("Ec bit 0 after bits 8 and 9") << Setters([](IocSetting *s) {
        s->setEcSenseJudgmentUpperState(true);
        s->setEcSenseJudgmentLowerState(true);
        s->setEcSenseTerminal2Wire(true);
        s->setEcSenseJudgmentVoltageLowerState(false);
    })
                                                 << Frames { { 0x80004180, 1, 0x100 },
                                                        { 0x80004180, 1, 0x300 },
                                                        { 0x80004180, 1, 0xB00 },
                                                        { 0x80004180, 1, 0x800 } };
    QTest::newRow("Acw fields from the start word 2") << Setters([](IocSetting *s) {
        s->setAcwSenseJudgLowerState(true);
        s->setAcwSenseMode(IocSetting::SenseModeAverage);
        s->setAcwSenseMode(IocSetting::SenseModePeak);
        s->setAcwSenseVoltMode(IocSetting::SenseVoltAverage);
        s->transferAcwControl();
    })
                                                      << Frames { { 0x80004000, 1, 0x3 },
                                                             { 0x80004000, 1, 0x20003 },
                                                             { 0x80004000, 1, 0x10003 },
                                                             { 0x80004000, 1, 0x90003 },
                                                             { 0x80004000, 1, 0x90003 } };
    QTest::newRow("Pd pattern and values") << Setters([](IocSetting *s) {
        s->setPdPattern(IocSetting::PatternRamp);
        s->setPdSecondaryVoltageTimer(0.25);
        s->setPdSenseEChargeJudgmentUpper(12e-15);
    }) << Frames { { 0x80004400, 1, 0x20000000 }, { 0x8000441c, 1, 250 }, { 0x80004438, 1, 12 } };
    QTest::newRow("out-of-range values saturate") << Setters([](IocSetting *s) {
        s->setPdCalculateVoltageInception(1.0);
        s->setPdCalculateVoltageExtinction(-1.0);
        s->setEcCurrentTimer(-2.0);
        s->setEcCurrentLevel(-2.5);
    })
                                                  << Frames { { 0x80004440, 1, 0x7FFFFFFF },
                                                         { 0x80004444, 1, 0x80000000 },
                                                         { 0x80004190, 1, 0 },
                                                         { 0x80004188, 1, quint32(-2500000) } };
    QTest::newRow("route terminal, upper half first") << Setters([](IocSetting *s) {
        s->setIrRouteiTerminal(0x123456789ULL);
    }) << Frames { { 0x80004170, 2, 0x1, 0x23456789 } };
    QTest::newRow("scale and offset pair") << Setters([](IocSetting *s) {
        s->setAcwCalculateScaleOffset(1.5e-9, -2e-9);
    }) << Frames { { 0x80004050, 2, 1, quint32(-2) } };
    QTest::newRow("same function mode twice") << Setters([](IocSetting *s) {
        s->setFunctionMode(ioc::IoControl::fmPd);
        s->setFunctionMode(ioc::IoControl::fmPd);
    }) << Frames { { 0x80004700, 1, 6 } };
    QTest::newRow("calibration") << Setters([](IocSetting *s) {
        s->selectCalFrequency(true);
        s->storeCalPoint();
        s->storeCalPoint();
        s->executeCal(IocSetting::CalStep1 | IocSetting::CalStep3);
        s->calculationCal();
        s->setCalDacValueLevel(-1, 7);
        s->setCalDate({ 2024, 5, 17 });
    })
                                 << Frames { { 0x80004720, 1, 0x10000 },
                                        { 0x80004720, 1, 0x50000 },
                                        { 0x80004720, 1, 0x50000 },
                                        { 0x80004720, 1, 0x10005 },
                                        { 0x80004720, 1, 0x30000 },
                                        { 0x80004718, 2, quint32(-1), 7 },
                                        { 0x80004734, 1, 0x110507E8 } };
    QTest::newRow("test start and abort") << Setters([](IocSetting *s) {
        s->testExecute(true);
        s->testAbort();
    }) << Frames { { 0x80004600, 1, 1 }, { 0x80004600, 1, 0 } };
    QTest::newRow("leakage-current blocks") << Setters([](IocSetting *s) {
        s->lc()->setSenseNetwork(LcIoc::NetworkC);
        s->pcc()->setSenseJudgUpperState(true);
        s->pcc()->setSenseConditionFault(LcIoc::ConditionOpenLine);
        s->pcc()->setSenseJudgmentUpper(0.0015);
        s->tc2()->setSenseProbe(LcIoc::ProbeLineNeutral);
        s->tc1()->setSenseTimerDelay(1.5);
        s->tc1()->setCalculateScaleOffset(-3e-9);
    })
                                            << Frames { { 0x80004380, 1, 0x20000000 },
                                                   { 0x80004280, 1, 0x2 },
                                                   { 0x80004280, 1, 0x300002 },
                                                   { 0x800042b0, 1, 1500 },
                                                   { 0x80004300, 1, 0x3000000 },
                                                   { 0x80004240, 1, 1500 },
                                                   { 0x80004250, 1, quint32(-3) } };
    QTest::newRow("stores send nothing") << Setters([](IocSetting *s) {
        s->setAcqTriggerTimer(5);
        s->setSensApertureCount(9);
        s->setProgTriggerDelay(1);
        s->clearAlarm();
        s->setWatchDogAlarm();
    }) << Frames {};
}

void tst_IocSetting::settersOfOtherInstruments()
{
    QFETCH(Setters, calls);
    QFETCH(Frames, frames);
    IocSetting writer;
    calls(&writer);
    const Frames queued = writer.queuedFrames();
    Frames withoutCrc;
    for (const QVector<quint32> &f : queued) {
        QCOMPARE(f.last(),
            quint32(ioc::RegWriteTransfer::qChecksumMT(f.constData(), (f.size() - 1) * 4)));
        withoutCrc << f.mid(0, f.size() - 1);
    }
    QCOMPARE(withoutCrc, frames);
}

void tst_IocSetting::shadowsAndNetwork()
{
    IocSetting writer;
    writer.storeCalPoint();
    QCOMPARE(writer.calCommandWord(), 0u);
    writer.selectCalFrequency(true);
    writer.storeCalPoint();
    QCOMPARE(writer.calCommandWord(), 0x10000u);
    writer.tc1()->setSenseNetwork(LcIoc::NetworkF);
    QCOMPARE(IocSetting::network(), int(LcIoc::NetworkF));
    // Only the first block tells the writer.
    writer.lc()->setSenseNetwork(LcIoc::NetworkB);
    QCOMPARE(IocSetting::network(), int(LcIoc::NetworkF));
    QCOMPARE(writer.tc1()->control(), quint32(LcIoc::NetworkF));
}

// Setter frames go out like the boot frames: the board takes their CRC.
void tst_IocSetting::settersReachTheBoard()
{
    {
        IocSetting writer;
        writer.start();
        writer.setAcwVoltageLevel(1.5);
        writer.setIrRouteiTerminal(0x500000001ULL);
        writer.transfer();
        QVERIFY(writer.waitUntilSent(5000));
        QCOMPARE(writer.stop(), 0);
    }
    const BootLog log = BootLog::read(*m_board);
    QCOMPARE(log.frames.size(), 2);
    QCOMPARE(log.frames.at(0).verdict, QString("ok"));
    QCOMPARE(log.frames.at(0).words.mid(0, 4), QVector<quint32>({ 0x80004008, 2, 1500, 750 }));
    QCOMPARE(log.frames.at(1).verdict, QString("ok"));
    QCOMPARE(log.frames.at(1).words.mid(0, 4), QVector<quint32>({ 0x80004170, 2, 5, 1 }));
}

QTEST_GUILESS_MAIN(tst_IocSetting)
#include "tst_IocSetting.moc"
