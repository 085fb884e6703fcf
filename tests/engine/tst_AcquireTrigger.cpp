#include "engine/AcquireTrigger.h"
#include "engine/DataLogger.h"
#include "instrument/ModelInformation.h"
#include "remote/StatusRegisters.h"
#include "remote/ZO4882Opc.h"
#include "remote/ZO4882Parser.h"
#include "remote/ZOSystErrCue.h"
#include "remote/ZOTcpService_ScpiRaw.h"
#include "tests/remote/support/StandardTestDictionary.h"
#include "tests/support/PowerBoard.h"

#include <QScopeGuard>
#include <QTcpSocket>
#include <QThread>
#include <QtTest>

#include <functional>
#include <memory>

using ioc::IoControl;
using vek::AcquireTrigger;
using vek::SCPIERR_T;
using zo4882::s_opc;
using zo4882::ZO4882Opc;

using Call = std::function<SCPIERR_T(AcquireTrigger &)>;
Q_DECLARE_METATYPE(Call)

namespace {

constexpr quint32 TriggerGroupAddress = 0x50000008; // trigger word, delays, count, timer, aperture
constexpr short Measuring = 16;
constexpr short WaitingForTrigger = 32;
constexpr short DataAvailable = 2048;
constexpr unsigned Acquisition = ZO4882Opc::Acquisition;

short operation()
{
    return zo4882::s_statOper.condition();
}

quint32 hexWord(const QString &text)
{
    return text.toUInt(nullptr, 16);
}

// Runs call in a thread of its own, as the parser thread runs a remote command, and waits.
template <typename F> void inAnotherThread(F call)
{
    std::unique_ptr<QThread> thread(QThread::create(call));
    thread->start();
    QVERIFY(QTest::qWaitFor(
        [&] {
            return thread->isFinished();
        },
        20000));
}

// A query over the raw socket: its answer line, newline included (empty on a timeout).
QByteArray query(QTcpSocket &socket, const QByteArray &line)
{
    socket.write(line + '\n');
    if (!socket.waitForBytesWritten(5000))
        return QByteArray();
    QByteArray answer;
    while (!answer.endsWith('\n') && socket.waitForReadyRead(10000))
        answer += socket.readAll();
    return answer;
}

// Waits until the spy holds at least count signals. Counting (instead of QSignalSpy::wait) also
// takes a signal emitted before the wait began; the long bound is for loaded machines.
bool waitForCount(QSignalSpy &spy, int count)
{
    QElapsedTimer waited;
    waited.start();
    while (spy.size() < count && waited.elapsed() < 30000)
        QTest::qWait(10);
    return spy.size() >= count;
}

QList<int> takeErrors()
{
    QList<int> codes;
    while (!zo4882::s_systErrCue.isEmpty())
        codes << zo4882::s_systErrCue.decue().code();
    return codes;
}

} // namespace

// The acquisition over a writer and a monitor link on the simulated board (8 µs base period),
// with the record logger in this (the GUI) thread and the links wired as the engine root wires
// them. The board's registers, the logger and the status registers are the witnesses.
class tst_AcquireTrigger : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void startsAborted();
    void settingsReachTheBoard();
    void refusalsChangeNothing_data();
    void refusalsChangeNothing();
    void secondInitiateInOneMessageIsRefused();
    void apertureLongerThanTheInterval();
    void busAcquisitionOfThreeSamples();
    void sampleShorterThanAMonitorCycleStillCompletes();
    void immediateAcquisitionStaysImmediate();
    void abortEndsTheAcquisition();
    void abortAndInitiateInOneMessage();
    void abortShowsEveryHeldRecord();
    void integralGateAndAutoReset();
    void displayItemsAreAnnounced();
    void operationCompleteOverTheRawSocket();

private:
    void build();
    void flushWriter();
    QVector<quint32> triggerGroup();
    // Records (signal, STATus:OPERation bits 16 and 32) as the machine's signals go out.
    void recordStates();

    std::unique_ptr<PowerBoard> m_board;
    std::unique_ptr<IoControl> m_writer;
    std::unique_ptr<IoControl> m_monitor;
    std::unique_ptr<ModelInformation> m_info;
    std::unique_ptr<DataLogger> m_logger;
    std::unique_ptr<AcquireTrigger> m_acq;
    QStringList m_states;
};

void tst_AcquireTrigger::init()
{
    zo4882::init4882();
    zo4882::s_systErrCue.clear();
    s_opc.reset();
    m_states.clear();
    m_board = std::make_unique<PowerBoard>();
    QVERIFY2(m_board->start(), qPrintable(m_board->errorString()));
    QCOMPARE(m_board->command("units"), QString("OK"));
    build();
}

void tst_AcquireTrigger::cleanup()
{
    // The links stop first; their batches still queued are delivered (and freed) before the
    // acquisition goes.
    for (IoControl *link : { m_writer.get(), m_monitor.get() }) {
        if (link) {
            link->stop();
            link->wait();
        }
    }
    QCoreApplication::sendPostedEvents();
    m_acq.reset();
    m_logger.reset();
    m_info.reset();
    m_writer.reset();
    m_monitor.reset();
    QCoreApplication::sendPostedEvents();
    s_opc.reset();
    const bool clean = m_board->stop();
    const QString error = m_board->errorString();
    m_board.reset();
    QVERIFY2(clean, qPrintable(error));
}

void tst_AcquireTrigger::build()
{
    m_writer = std::make_unique<IoControl>(IoControl::Writer);
    m_monitor = std::make_unique<IoControl>(IoControl::Monitor);
    m_info = std::make_unique<ModelInformation>(m_writer.get(), m_monitor.get());
    QCOMPARE(m_info->adSampleBaseTime(), 8e-6);
    m_logger = std::make_unique<DataLogger>();
    m_acq = std::make_unique<AcquireTrigger>(
        m_writer.get(), m_monitor.get(), m_info.get(), m_logger.get());
    connect(m_monitor.get(), &IoControl::dataUpdated, m_acq.get(), &AcquireTrigger::onDataUpdate);
    connect(
        m_monitor.get(), &IoControl::acqTriggered, m_acq.get(), &AcquireTrigger::onAcqTriggered);
    recordStates();
    QSignalSpy started(m_acq.get(), &AcquireTrigger::measAborted);
    QVERIFY(waitForCount(started, 1));
    m_states.clear();
}

void tst_AcquireTrigger::recordStates()
{
    auto note = [this](const char *name) {
        return [this, name] {
            m_states << QStringLiteral("%1 %2").arg(name).arg(
                operation() & (Measuring | WaitingForTrigger));
        };
    };
    connect(m_acq.get(), &AcquireTrigger::measInitiated, this, note("initiated"));
    connect(m_acq.get(), &AcquireTrigger::measImmediated, this, note("immediate"));
    connect(m_acq.get(), &AcquireTrigger::measTriggered, this, note("triggered"));
    connect(m_acq.get(), &AcquireTrigger::measUiComplete, this, note("complete"));
    connect(m_acq.get(), &AcquireTrigger::readyFetch, this, note("ready"));
    connect(m_acq.get(), &AcquireTrigger::measAborted, this, note("aborted"));
}

void tst_AcquireTrigger::flushWriter()
{
    // The writer answers a register read after everything queued before it has been sent.
    m_writer->transfer();
    qint32 status = 0;
    QCOMPARE(m_writer->readRegister(0xE0000000, &status), 0);
}

QVector<quint32> tst_AcquireTrigger::triggerGroup()
{
    flushWriter();
    const QStringList reply =
        m_board->command(QString("peek %1 6").arg(TriggerGroupAddress, 0, 16)).split(' ');
    QVector<quint32> words;
    for (int i = 1; i < reply.size(); ++i)
        words << hexWord(reply[i]);
    return words;
}

void tst_AcquireTrigger::startsAborted()
{
    // Built afresh: the machine went from its initial state straight to "aborted", once.
    QSignalSpy aborted(m_acq.get(), &AcquireTrigger::measAborted);
    QSignalSpy uiAborted(m_acq.get(), &AcquireTrigger::measUiAborted);
    QTest::qWait(50);
    QCOMPARE(aborted.size(), 0);
    QVERIFY(!m_acq->isInitiated());
    QCOMPARE(m_acq->triggerSources(), AcquireTrigger::TrigAcquireSources(IoControl::tasImmediate));
    QCOMPARE(m_acq->triggerCount(), 1u);
    QCOMPARE(m_acq->triggerTimer(), 0.1);
    QCOMPARE(m_acq->senseAperture(), 0.1);
    QCOMPARE(m_acq->getIntegralGate(), vek::IntegralGateLoadOn);
    QVERIFY(m_acq->integralGateAutoResetState());
    // The integral gate, auto reset, count, timer and aperture were sent; the sources and the
    // interval state wait for the power-on setting.
    const QVector<quint32> group = triggerGroup();
    QCOMPARE(group.value(0) & 0x54000000u, 0x44000000u);
    QCOMPARE(group.mid(3), (QVector<quint32> { 1, 12500, 12500 }));
}

void tst_AcquireTrigger::settingsReachTheBoard()
{
    using S = IoControl;
    QCOMPARE(m_acq->setTriggerSources(S::tasBus | S::tasLoadOff), 0);
    QCOMPARE(m_acq->setTriggerIntervalState(true), 0);
    QCOMPARE(m_acq->setTriggerDelay(0.001), 0);
    QCOMPARE(m_acq->setTriggerCount(65536), 0);
    QCOMPARE(m_acq->setTriggerTimer(0.5), 0);
    QCOMPARE(m_acq->setSenseAperture(0.0200004), 0); // 2500.05 counts
    const QVector<quint32> group = triggerGroup();
    QCOMPARE(group.value(0) & 0xEF00u, 0x0E00u);
    QCOMPARE(group.mid(2), (QVector<quint32> { 125, 65536, 62500, 2500 }));
    QCOMPARE(m_acq->triggerDelay(), 125 * 8e-6);
    QCOMPARE(m_acq->senseAperture(), 2500 * 8e-6);

    // Half a count rounds away from zero; the limits themselves are taken.
    QCOMPARE(m_acq->setTriggerDelay(0.000012), 0); // 1.5 counts
    QCOMPARE(m_acq->triggerDelayCount(), 2u);
    QCOMPARE(m_acq->setTriggerDelay(100.0), 0);
    QCOMPARE(m_acq->triggerDelayCount(), 12500000u);
    QCOMPARE(m_acq->setTriggerTimer(3600.0), 0);
    QCOMPARE(m_acq->setSenseAperture(0.0002), 0);
    QCOMPARE(m_acq->setSenseAperture(1.0), 0);
    QCOMPARE(triggerGroup().mid(2), (QVector<quint32> { 12500000, 65536, 450000000, 125000 }));
}

void tst_AcquireTrigger::refusalsChangeNothing_data()
{
    QTest::addColumn<bool>("measuring");
    QTest::addColumn<Call>("call");
    QTest::addColumn<int>("error");

    using S = IoControl;
    auto row = [](const char *name, bool measuring, Call call, int error) {
        QTest::newRow(name) << measuring << call << error;
    };
    row(
        "count 0",
        false,
        [](AcquireTrigger &a) {
            return a.setTriggerCount(0);
        },
        -222);
    row(
        "count 65537",
        false,
        [](AcquireTrigger &a) {
            return a.setTriggerCount(65537);
        },
        -222);
    row(
        "delay above 100 s",
        false,
        [](AcquireTrigger &a) {
            return a.setTriggerDelay(100.1);
        },
        -222);
    row(
        "negative delay",
        false,
        [](AcquireTrigger &a) {
            return a.setTriggerDelay(-0.001);
        },
        -222);
    row(
        "delay not a number",
        false,
        [](AcquireTrigger &a) {
            return a.setTriggerDelay(qQNaN());
        },
        -222);
    row(
        "timer below the minimum",
        false,
        [](AcquireTrigger &a) {
            return a.setTriggerTimer(0.0001);
        },
        -222);
    row(
        "timer above an hour",
        false,
        [](AcquireTrigger &a) {
            return a.setTriggerTimer(3601);
        },
        -222);
    row(
        "aperture above the maximum",
        false,
        [](AcquireTrigger &a) {
            return a.setSenseAperture(1.5);
        },
        -222);
    row(
        "aperture infinite",
        false,
        [](AcquireTrigger &a) {
            return a.setSenseAperture(qInf());
        },
        -222);
    row(
        "no source",
        false,
        [](AcquireTrigger &a) {
            return a.setTriggerSources(AcquireTrigger::TrigAcquireSources());
        },
        -224);
    row(
        "unknown source bit",
        false,
        [](AcquireTrigger &a) {
            return a.setTriggerSources(AcquireTrigger::TrigAcquireSources(0x1200));
        },
        -224);
    row(
        "gate out of range",
        false,
        [](AcquireTrigger &a) {
            return a.setIntegralGate(vek::integralGate(3));
        },
        -224);
    row(
        "bus trigger before initiate",
        false,
        [](AcquireTrigger &a) {
            return a.trigger();
        },
        -213);
    row(
        "bus trigger with immediate only",
        true,
        [](AcquireTrigger &a) {
            return a.trigger();
        },
        -211);
    row(
        "mutual sync without the link",
        true,
        [](AcquireTrigger &a) {
            return a.msync();
        },
        110);
    row(
        "sources while measuring",
        true,
        [](AcquireTrigger &a) {
            return a.setTriggerSources(S::tasBus);
        },
        112);
    row(
        "interval while measuring",
        true,
        [](AcquireTrigger &a) {
            return a.setTriggerIntervalState(true);
        },
        112);
    row(
        "delay while measuring",
        true,
        [](AcquireTrigger &a) {
            return a.setTriggerDelay(1);
        },
        112);
    row(
        "count while measuring",
        true,
        [](AcquireTrigger &a) {
            return a.setTriggerCount(5);
        },
        112);
    row(
        "timer while measuring",
        true,
        [](AcquireTrigger &a) {
            return a.setTriggerTimer(1);
        },
        112);
    row(
        "aperture while measuring",
        true,
        [](AcquireTrigger &a) {
            return a.setSenseAperture(0.5);
        },
        112);
    row(
        "initiate while measuring",
        true,
        [](AcquireTrigger &a) {
            return a.initiate();
        },
        -213);
}

void tst_AcquireTrigger::refusalsChangeNothing()
{
    QFETCH(bool, measuring);
    QFETCH(Call, call);
    QFETCH(int, error);
    if (measuring) {
        // Immediate, 20 samples of 1 s: measuring throughout the test.
        QCOMPARE(m_acq->setSenseAperture(1.0), 0);
        QCOMPARE(m_acq->setTriggerCount(20), 0);
        QCOMPARE(m_acq->initiate(), 0);
    }
    const QVector<quint32> group = triggerGroup();
    QVERIFY(m_board->clearLog());
    const auto sources = m_acq->triggerSources();
    const quint32 delay = m_acq->triggerDelayCount();
    const unsigned count = m_acq->triggerCount();
    const quint32 timer = m_acq->triggerTimerCount();
    const quint32 aperture = m_acq->senseApertureCount();
    const vek::integralGate gate = m_acq->getIntegralGate();

    QCOMPARE(int(call(*m_acq)), error);
    QCOMPARE(triggerGroup(), group);
    for (const PowerBoard::LogEntry &e : m_board->log())
        QVERIFY2(e.address != 0x50000000 && e.address != 0x50000004,
            qPrintable(QString::number(e.address, 16)));
    QCOMPARE(m_acq->triggerSources(), sources);
    QCOMPARE(m_acq->triggerDelayCount(), delay);
    QCOMPARE(m_acq->triggerCount(), count);
    QCOMPARE(m_acq->triggerTimerCount(), timer);
    QCOMPARE(m_acq->senseApertureCount(), aperture);
    QCOMPARE(m_acq->getIntegralGate(), gate);
    QCOMPARE(m_acq->isInitiated(), measuring);
}

void tst_AcquireTrigger::secondInitiateInOneMessageIsRefused()
{
    QCOMPARE(m_acq->setTriggerSources(IoControl::tasBus), 0);
    // Both initiates run in the parser thread before the machine has moved.
    SCPIERR_T first = 1;
    SCPIERR_T second = 1;
    inAnotherThread([&] {
        first = m_acq->initiate();
        second = m_acq->initiate();
    });
    QCOMPARE(int(first), 0);
    QCOMPARE(int(second), -213);
    QVERIFY(m_acq->isInitiated());
    QTRY_COMPARE_WITH_TIMEOUT(m_states, QStringList { "initiated 48" }, 30000);
    QCOMPARE(m_board->command("trace"), QString("OK 0"));
}

void tst_AcquireTrigger::apertureLongerThanTheInterval()
{
    QCOMPARE(m_acq->setTriggerTimer(0.1), 0);
    QCOMPARE(m_acq->setSenseAperture(0.2), 0);
    QCOMPARE(m_acq->setTriggerIntervalState(true), 0);
    QCOMPARE(int(m_acq->initiate()), -221);
    QVERIFY(!m_acq->isInitiated());
    QCOMPARE(s_opc.getPendings(), 0u);
    // Without interval sampling the same settings start (one sample of 0.2 s).
    QCOMPARE(m_acq->setTriggerIntervalState(false), 0);
    QCOMPARE(m_acq->initiate(), 0);
    QSignalSpy ready(m_acq.get(), &AcquireTrigger::readyFetch);
    QVERIFY(waitForCount(ready, 1));
    QCOMPARE(m_logger->getNumOfData(), 1);
}

void tst_AcquireTrigger::busAcquisitionOfThreeSamples()
{
    QCOMPARE(m_acq->setTriggerSources(IoControl::tasBus), 0);
    QCOMPARE(m_acq->setTriggerCount(3), 0);
    m_logger->append(ioc::TRACE_DATA()); // of an earlier acquisition
    QSignalSpy ready(m_acq.get(), &AcquireTrigger::readyFetch);
    QSignalSpy dataUpdated(m_acq.get(), &AcquireTrigger::measDataUpdated);

    QCOMPARE(m_acq->initiate(), 0);
    QVERIFY(m_logger->isEmpty());
    QCOMPARE(s_opc.getPendings(), Acquisition);
    QCOMPARE(s_opc.getAwaitingBusTrigger(), Acquisition);
    QStringList expected { "initiated 48" };
    for (int sample = 1; sample <= 3; ++sample) {
        QTRY_COMPARE_WITH_TIMEOUT(m_states, expected, 30000);
        QCOMPARE(m_acq->trigger(), 0);
        QCOMPARE(int(m_acq->trigger()), -211); // the sample is being taken
        QCOMPARE(s_opc.getAwaitingBusTrigger(), 0u);
        expected << "initiated 16"
                 << "triggered 16";
        if (sample < 3)
            expected << "initiated 48";
    }
    expected << "complete 0"
             << "ready 0";
    QVERIFY(waitForCount(ready, 1));
    QCOMPARE(m_states, expected);

    QCOMPARE(dataUpdated.size(), 3);
    QCOMPARE(dataUpdated.last().value(0).toInt(), 0);
    QCOMPARE(m_logger->getNumOfData(), 3);
    QCOMPARE(m_logger->rowCount(), 3);
    QVERIFY(operation() & DataAvailable);
    QVERIFY(!m_acq->isInitiated());
    QCOMPARE(s_opc.getPendings(), 0u);
    QCOMPARE(s_opc.getCompletes(), Acquisition);
    QCOMPARE(int(m_acq->trigger()), -213);
    // Reading the records out clears the data-available bit.
    QCOMPARE(m_logger->dequeFirstWithFormat(3).size(), 3);
    QVERIFY(!(operation() & DataAvailable));
}

void tst_AcquireTrigger::sampleShorterThanAMonitorCycleStillCompletes()
{
    // A sample of 0.2 ms: the monitor link never sees the controller waiting for its trigger
    // end, only the records; the machine still passes "triggered" and completes.
    QCOMPARE(m_acq->setTriggerSources(IoControl::tasBus), 0);
    QCOMPARE(m_acq->setTriggerCount(2), 0);
    QCOMPARE(m_acq->setSenseAperture(0.0002), 0);
    QSignalSpy ready(m_acq.get(), &AcquireTrigger::readyFetch);
    QSignalSpy triggered(m_acq.get(), &AcquireTrigger::measTriggered);
    QCOMPARE(m_acq->initiate(), 0);
    for (int sample = 1; sample <= 2; ++sample) {
        QTRY_COMPARE_WITH_TIMEOUT(
            m_states.value(m_states.size() - 1), QString("initiated 48"), 30000);
        const int before = m_states.size();
        QCOMPARE(m_acq->trigger(), 0);
        QTRY_VERIFY_WITH_TIMEOUT(m_states.size() > before + 1, 30000);
    }
    QVERIFY(waitForCount(ready, 1));
    QCOMPARE(triggered.size(), 2);
    QCOMPARE(m_logger->getNumOfData(), 2);
    QCOMPARE(s_opc.getPendings(), 0u);
}

void tst_AcquireTrigger::immediateAcquisitionStaysImmediate()
{
    // Five samples of 20 ms back to back, in one batch or more.
    QCOMPARE(m_acq->setTriggerCount(5), 0);
    QCOMPARE(m_acq->setSenseAperture(0.02), 0);
    QSignalSpy ready(m_acq.get(), &AcquireTrigger::readyFetch);
    QSignalSpy changed(m_acq.get(), &AcquireTrigger::initchanged);
    QCOMPARE(m_acq->initiate(), 0);
    QCOMPARE(int(m_acq->trigger()), -211);
    QVERIFY(waitForCount(ready, 1));
    QCOMPARE(m_states, (QStringList { "initiated 16", "immediate 16", "complete 0", "ready 0" }));
    QCOMPARE(changed.size(), 2);
    QCOMPARE(changed[0].value(0).toBool(), true);
    QCOMPARE(changed[1].value(0).toBool(), false);

    QCOMPARE(m_logger->getNumOfData(), 5);
    QCOMPARE(m_logger->rowCount(), 5);
}

void tst_AcquireTrigger::abortEndsTheAcquisition()
{
    QCOMPARE(m_acq->setTriggerSources(IoControl::tasBus), 0);
    QCOMPARE(m_acq->initiate(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(m_states, QStringList { "initiated 48" }, 30000);
    QVERIFY(!s_opc.armOrLatch()); // *OPC with the acquisition pending
    QSignalSpy uiAborted(m_acq.get(), &AcquireTrigger::measUiAborted);

    QCOMPARE(m_acq->abort(), 0);
    QVERIFY(!m_acq->isInitiated());
    QCOMPARE(s_opc.getPendings(), 0u);
    QCOMPARE(s_opc.getState(), zo4882::OPC_IDLE);
    QTRY_COMPARE_WITH_TIMEOUT(uiAborted.size(), 1, 30000);
    QTest::qWait(100); // a late trigger report of the abort changes nothing
    QCOMPARE(m_states, (QStringList { "initiated 48", "aborted 0" }));
    QCOMPARE(int(zo4882::s_esr.getEvent()), 0);
    QCOMPARE(m_board->command("status").split(' ').value(1).toUInt(nullptr, 16) & 0x20000000, 0u);
    QCOMPARE(int(m_acq->trigger()), -213);
    // Abort when idle is harmless.
    QCOMPARE(m_acq->abort(), 0);
}

void tst_AcquireTrigger::abortAndInitiateInOneMessage()
{
    QCOMPARE(m_acq->setTriggerSources(IoControl::tasBus), 0);
    QCOMPARE(m_acq->initiate(), 0);
    QSignalSpy ready(m_acq.get(), &AcquireTrigger::readyFetch);
    SCPIERR_T abort = 1;
    SCPIERR_T initiate = 1;
    SCPIERR_T trigger = 1;
    inAnotherThread([&] {
        abort = m_acq->abort();
        initiate = m_acq->initiate();
        trigger = m_acq->trigger();
    });
    QCOMPARE(int(abort), 0);
    QCOMPARE(int(initiate), 0);
    QCOMPARE(int(trigger), 0);
    // The machine catches up with all three and ends with the new acquisition's sample.
    QVERIFY(waitForCount(ready, 1));
    QCOMPARE(m_logger->getNumOfData(), 1);
    QCOMPARE(operation() & (Measuring | WaitingForTrigger), 0);
}

void tst_AcquireTrigger::abortShowsEveryHeldRecord()
{
    // Samples of 2 ms back to back: some ten records per batch, each batch's rest announced
    // with the next one; an abort announces the rest of the last.
    QCOMPARE(m_acq->setTriggerCount(1000), 0);
    QCOMPARE(m_acq->setSenseAperture(0.002), 0);
    QSignalSpy uiAborted(m_acq.get(), &AcquireTrigger::measUiAborted);
    QCOMPARE(m_acq->initiate(), 0);
    QTRY_VERIFY_WITH_TIMEOUT(m_logger->rowCount() > 1, 30000);
    QCOMPARE(m_acq->abort(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(uiAborted.size(), 1, 30000);
    QTest::qWait(100); // batches read before the abort took effect are dropped
    QVERIFY(m_logger->getNumOfData() < 1000);
    QCOMPARE(m_logger->rowCount(), m_logger->getNumOfData());
}

void tst_AcquireTrigger::integralGateAndAutoReset()
{
    constexpr quint32 Gate = 0x40000000;
    constexpr quint32 AutoReset = 0x4000000;
    auto word = [this] {
        return triggerGroup().value(0) & (Gate | 0x10000000 | AutoReset);
    };
    QCOMPARE(word(), Gate | AutoReset);
    // Program run: auto reset goes off at the controller, the choice is kept.
    QCOMPARE(m_acq->setIntegralGate(vek::IntegralGateProgramRun), 0);
    QCOMPARE(word(), 0u);
    QVERIFY(m_acq->integralGateAutoResetState());
    QCOMPARE(m_acq->setIntegralGateAutoResetState(true), 0);
    QCOMPARE(word(), 0u);
    QCOMPARE(m_acq->setIntegralGate(vek::IntegralGateNone), 0);
    QCOMPARE(word(), AutoReset);
    QCOMPARE(m_acq->setIntegralGateAutoResetState(false), 0);
    QCOMPARE(m_acq->setIntegralGate(vek::IntegralGateLoadOn), 0);
    QCOMPARE(word(), Gate);

    // The integral commands at any time, also while measuring.
    QCOMPARE(m_acq->setTriggerSources(IoControl::tasBus), 0);
    QCOMPARE(m_acq->initiate(), 0);
    QVERIFY(m_board->clearLog());
    QCOMPARE(m_acq->integralStop(), 0);
    QCOMPARE(m_acq->integralStart(), 0);
    QCOMPARE(m_acq->integralReset(), 0);
    flushWriter();
    QList<quint32> commands;
    for (const PowerBoard::LogEntry &e : m_board->log())
        if (e.address == 0x50000000)
            commands << (e.words.value(1) & 0x7000000);
    QVERIFY(!commands.isEmpty());
    quint32 all = 0;
    for (quint32 c : commands)
        all |= c;
    QCOMPARE(all, 0x7000000u);
}

void tst_AcquireTrigger::displayItemsAreAnnounced()
{
    QSignalSpy changed(m_acq.get(), &AcquireTrigger::displayItemsChanged);
    const AcquireTrigger::displayItems items = AcquireTrigger::eTime | AcquireTrigger::energy;
    QCOMPARE(m_acq->setViewDisplayItems(items), 0);
    QCOMPARE(m_acq->viewDisplayItems(), items);
    QCOMPARE(changed.size(), 1);
    QCOMPARE(changed[0].value(0).value<AcquireTrigger::displayItems>(), items);
}

void tst_AcquireTrigger::operationCompleteOverTheRawSocket()
{
    zo4882::ZO4882Parser parser(standardtest::dictionary(), zo4882::NODE_SOURCE);
    zo4882::ZOTcpService_ScpiRaw raw(0, &parser, QHostAddress::LocalHost);
    QCOMPARE(raw.start(), 0);
    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, raw.port());
    QVERIFY(client.waitForConnected(5000));
    const auto disconnect = qScopeGuard([&] {
        client.abort();
    });
    QCOMPARE(query(client, "*CLS;*ESR?"), QByteArray("+0\n"));

    // A bus-triggered acquisition is pending: *OPC arms, *OPC? and *WAI do not wait for a
    // trigger that could only come after them.
    QCOMPARE(m_acq->setTriggerSources(IoControl::tasBus), 0);
    QCOMPARE(m_acq->initiate(), 0);
    QCOMPARE(query(client, "*OPC;*ESR?"), QByteArray("+0\n"));
    QCOMPARE(query(client, "*OPC?;*WAI;SYST:ERR:COUN?"), QByteArray("+2\n"));
    QCOMPARE(takeErrors(), (QList<int> { -430, -214 }));
    QCOMPARE(query(client, "*ESR?"), QByteArray("+20\n")); // query and execution errors
    QCOMPARE(query(client, "*OPC;*ESR?"), QByteArray("+0\n"));

    // The trigger, then the completion latches the operation-complete event.
    QSignalSpy ready(m_acq.get(), &AcquireTrigger::readyFetch);
    QCOMPARE(m_acq->trigger(), 0);
    QVERIFY(waitForCount(ready, 1));
    QCOMPARE(query(client, "*ESR?"), QByteArray("+1\n"));
    QCOMPARE(query(client, "*ESR?"), QByteArray("+0\n"));

    // An immediate acquisition: *OPC? waits for its end.
    QCOMPARE(m_acq->setTriggerSources(IoControl::tasImmediate), 0);
    QCOMPARE(m_acq->setSenseAperture(0.2), 0);
    QCOMPARE(m_acq->initiate(), 0);
    client.write("*OPC?\n");
    QVERIFY(client.waitForBytesWritten(5000));
    QVERIFY2(waitForCount(ready, 2),
        qPrintable(m_states.join(", ") + " | answer: " + QString::fromLatin1(client.peek(64))));
    QByteArray answer;
    QTRY_COMPARE_WITH_TIMEOUT(answer += client.readAll(), QByteArray("1\n"), 30000);

    // Aborted instead: no event.
    QCOMPARE(m_acq->setTriggerSources(IoControl::tasBus), 0);
    QCOMPARE(m_acq->initiate(), 0);
    QCOMPARE(query(client, "*OPC;*ESR?"), QByteArray("+0\n"));
    QCOMPARE(m_acq->abort(), 0);
    QCOMPARE(query(client, "*ESR?"), QByteArray("+0\n"));
    QCOMPARE(takeErrors(), QList<int>());
}

QTEST_GUILESS_MAIN(tst_AcquireTrigger)
#include "tst_AcquireTrigger.moc"
