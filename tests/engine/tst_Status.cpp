#include "engine/Status.h"
#include "remote/StatusRegisters.h"
#include "tests/support/PowerBoard.h"

#include <QThread>
#include <QtTest>

#include <memory>

using ioc::IoControl;
using vek::Status;

// Lives in the test thread (the GUI thread of these tests): the status object's signals reach
// it queued from the status thread, the state signals directly from the machine.
class Recorder : public QObject
{
    Q_OBJECT

public:
    QStringList events;

    void add(const QString &event) { events << event; }
    // Whether `expected` occurs in the events in this order (other events may lie between).
    bool inOrder(const QStringList &expected) const
    {
        int at = 0;
        for (const QString &e : events) {
            if (at < expected.size() && e == expected.at(at))
                ++at;
        }
        return at == expected.size();
    }
};

// The status object in a thread of its own, fed by a writer and a monitor link on the simulated
// board, as the engine root wires it. Status words are forced through the board's control
// socket; each test starts a fresh board so that no link or board state carries over.
class tst_Status : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void firstReportOfLoadOnInCc();
    void protectionEntersAndLeavesProtectedState();
    void questionableAndOperationConditions_data();
    void questionableAndOperationConditions();
    void cutoffByteReportsEachCutoff();
    void programRunEndsInProgIdleWithNodeAddress();
    void runWithoutImmediateTriggerWaitsOutsideAStep();
    void endOfRunNeedsAProgramTransientState();
    void externalLogicInvertsTheInput();

private:
    // Makes the board report exactly `word` and waits until the monitor has read it. Bits are
    // changed so that a word that only gains or only loses bits shows no other word between.
    void setWord(quint32 word);
    // Builds the status object, moves it to its thread and connects links and recorder.
    void makeStatus();
    // Makes the writer report the present word (it does after every cycle it was woken for).
    void reportNow() { m_writer->transfer(); }
    // Hands a one-step program to the writer and starts it.
    void startProgram();
    QString events() const { return m_recorder->events.join(QLatin1String(", ")); }

    std::unique_ptr<PowerBoard> m_board;
    std::unique_ptr<IoControl> m_writer;
    std::unique_ptr<IoControl> m_monitor;
    std::unique_ptr<Status> m_status;
    std::unique_ptr<QThread> m_thread;
    std::unique_ptr<Recorder> m_recorder;
    quint32 m_word = 0;
};

namespace {
constexpr quint32 DefaultWord = 0x800010; // not a slave, external load input high
constexpr quint32 FirstStepNode = 0x400080; // the leftmost step of startProgram()'s tree (slot 4)
} // namespace

void tst_Status::init()
{
    zo4882::s_statQues.powerOn();
    zo4882::s_statOper.powerOn();
    m_board = std::make_unique<PowerBoard>();
    QVERIFY2(m_board->start(), qPrintable(m_board->errorString()));
    QCOMPARE(m_board->command("units"), QString("OK"));
    m_writer = std::make_unique<IoControl>(IoControl::Writer);
    m_monitor = std::make_unique<IoControl>(IoControl::Monitor);
    m_writer->start();
    m_monitor->start();
    m_recorder = std::make_unique<Recorder>();
    m_word = DefaultWord;
    QTRY_COMPARE(IoControl::lastStatus(), DefaultWord);
}

void tst_Status::cleanup()
{
    if (m_thread) {
        m_thread->quit();
        m_thread->wait();
    }
    m_writer.reset();
    m_monitor.reset();
    m_status.reset();
    m_thread.reset();
    QCoreApplication::sendPostedEvents();
    m_recorder.reset();
    const bool clean = m_board->stop();
    const QString error = m_board->errorString();
    m_board.reset();
    QVERIFY2(clean, qPrintable(error));
}

void tst_Status::setWord(quint32 word)
{
    const auto hex = [](quint32 v) {
        return QString::number(v, 16);
    };
    QVERIFY(m_board->command("status clear " + hex(~(m_word | word))).startsWith("OK"));
    QVERIFY(m_board->command("status force " + hex(word)).startsWith("OK"));
    QVERIFY(m_board->command("status clear " + hex(~word)).startsWith("OK"));
    m_word = word;
    QTRY_COMPARE(IoControl::lastStatus(), word);
}

void tst_Status::makeStatus()
{
    m_status = std::make_unique<Status>(m_writer.get());
    Status *s = m_status.get();
    Recorder *r = m_recorder.get();
    for (IoControl *link : { m_writer.get(), m_monitor.get() }) {
        connect(link, &IoControl::statusChanged, s, &Status::onStatusChange);
        connect(link, &IoControl::cutoffChanged, s, &Status::onCutoffChange);
    }
    connect(
        m_monitor.get(), &IoControl::transientAddressChanged, s, &Status::onTransientAddressChange);
    connect(m_monitor.get(), &IoControl::transientAddressChanged, r, [r](uint a) {
        r->add(QString("address %1").arg(a, 0, 16));
    });

    connect(s, &Status::loadChanged, r, [r](bool on) {
        r->add(QString("load %1").arg(on));
    });
    connect(s, &Status::operationStatusChanged, r, [r](Status::StatusOperation op) {
        r->add(QString("operation %1").arg(int(op)));
    });
    connect(s, &Status::slaveChanged, r, [r](bool on) {
        r->add(QString("slave %1").arg(on));
    });
    connect(s, &Status::linkChanged, r, [r](bool on) {
        r->add(QString("link %1").arg(on));
    });
    connect(s, &Status::extAlarmCleared, r, [r] {
        r->add("alarm cleared");
    });
    connect(s, &Status::extLoadChanged, r, [r](bool on, bool flagOnly) {
        r->add(QString("external load %1 flag only %2").arg(on).arg(flagOnly));
    });
    connect(s, &Status::extCurrentRangeChanged, r, [r](Status::ExternalRange range) {
        r->add(QString("range %1").arg(uint(range), 0, 16));
    });
    connect(s, &Status::protectOccurred, r, [r] {
        r->add("protect");
    });
    connect(s, &Status::abortOccurred, r, [r] {
        r->add("abort");
    });
    connect(s, &Status::stateProtected, r, [r](Status::StatusProtections p) {
        r->add(QString("protected %1").arg(uint(p), 0, 16));
    });
    connect(s, &Status::stateIdle, r, [r] {
        r->add("idle");
    });
    connect(s, &Status::stateProgIdle, r, [r](uint address) {
        r->add(QString("program idle %1").arg(address, 0, 16));
    });
    connect(s, &Status::stateProgRunning, r, [r] {
        r->add("running");
    });
    connect(s, &Status::stateProgPause, r, [r] {
        r->add("paused");
    });
    connect(s, &Status::stateProgWaiting, r, [r](bool isProgStep) {
        r->add(QString("waiting %1").arg(isProgStep));
    });
    connect(s, &Status::alarmToneRequested, r, [r](bool on) {
        r->add(QString("alarm tone %1").arg(on));
    });
    connect(s, &Status::cutoffETimeOccurred, r, [r](bool on) {
        r->add(QString("cutoff time %1").arg(on));
    });
    connect(s, &Status::cutoffVoltageOccurred, r, [r](bool on) {
        r->add(QString("cutoff voltage %1").arg(on));
    });
    connect(s, &Status::cutoffCapacityOccurred, r, [r](bool on) {
        r->add(QString("cutoff capacity %1").arg(on));
    });
    connect(s, &Status::cutoffEnergyOccurred, r, [r](bool on) {
        r->add(QString("cutoff energy %1").arg(on));
    });

    m_thread = std::make_unique<QThread>();
    s->moveToThread(m_thread.get());
    m_thread->start();
    // The machine stays here and reaches idle once this thread's event loop runs.
    QTRY_VERIFY2(m_recorder->events.contains("idle"), qPrintable(events()));
    m_recorder->events.clear();
}

void tst_Status::startProgram()
{
    // Head (slot 2) -> root step (slot 3) with its left child (slot 4), both load on in CC.
    auto node = [](quint32 slot) {
        return 0x400000u + 32 * slot;
    };
    const quint32 none = 0xFFFFFFFF;
    QVector<IoControl::StepMessage> messages {
        { false, { node(2), 8, 0xFFFFFFFF, 0, 0, 0, node(3), none, none, 0 } },
        { false, { node(3), 8, 1, 0, 0, 0, 64 * 3, node(4), none, 0 } },
        { false, { node(4), 8, 1, 0, 0, 0, 64 * 4, none, none, 0 } },
    };
    for (quint32 slot : { 3u, 4u }) {
        QVector<quint32> data { 64 * slot, 16, 0xFFFFFFFF, 0xFFFF, 0x10010, 1000 };
        data.resize(18);
        messages.append({ false, data });
    }
    m_writer->transferProgram(node(2), messages);
    m_writer->progCommand(IoControl::TranProgInit, IoControl::ViaProgramGroup);
    m_writer->transfer();
}

void tst_Status::firstReportOfLoadOnInCc()
{
    setWord(0x00200001);
    makeStatus();
    reportNow();

    QTRY_VERIFY2(m_recorder->events.contains("external load 0 flag only 1"), qPrintable(events()));
    for (const char *e : { "load 1", "operation 1", "slave 1", "alarm cleared" })
        QVERIFY2(m_recorder->events.contains(e), qPrintable(events()));
    QVERIFY(m_status->loadOn());
    QVERIFY(m_status->slave());
    QCOMPARE(m_status->operationStatus(), Status::OperationCC);

    // A later change of the input is a real change, not a first report.
    setWord(0x00A00001);
    QTRY_VERIFY2(m_recorder->events.contains("external load 1 flag only 0"), qPrintable(events()));
}

void tst_Status::protectionEntersAndLeavesProtectedState()
{
    setWord(0x00200001);
    makeStatus();
    reportNow();
    QTRY_VERIFY(m_status->loadOn());

    setWord(0x00601001); // bit 22 with over-current bit 12
    QTRY_VERIFY2(m_recorder->inOrder({ "protected 401000", "alarm tone 1" }), qPrintable(events()));
    QVERIFY(m_recorder->events.contains("protect"));
    QCOMPARE(m_status->operationStatus(), Status::OperationOverCurrent);
    QCOMPARE(m_status->protections(), Status::StatusProtections(Status::ProtectOverCurrent));
    m_recorder->events.clear();

    setWord(0x00201001); // bit 22 cleared
    QTRY_VERIFY2(m_recorder->inOrder({ "abort", "alarm tone 0", "idle" }), qPrintable(events()));
    // No program ran: no program-idle report.
    QVERIFY2(!events().contains("program idle"), qPrintable(events()));
}

void tst_Status::questionableAndOperationConditions_data()
{
    QTest::addColumn<quint32>("word");
    QTest::addColumn<short>("questionable");
    QTest::addColumn<short>("operation");

    // The external load input (bit 23) and "not a slave" (bit 4) stay set as on the board.
    const quint32 base = DefaultWord;
    QTest::newRow("over-voltage") << (base | 0x10000) << short(0x1) << short(0);
    QTest::newRow("over-current protection") << (base | 0x401000) << short(0x2) << short(0);
    QTest::newRow("over-power protection") << (base | 0x402000) << short(0x8) << short(0);
    QTest::newRow("over-temperature") << (base | 0x40000) << short(0x10) << short(0);
    QTest::newRow("watchdog") << (base | 0x8000) << short(0x20) << short(0);
    QTest::newRow("current limit with load on") << (base | 0x201001) << short(0x40) << short(0x102);
    QTest::newRow("power limit with load on") << (base | 0x202001) << short(0x80) << short(0x102);
    QTest::newRow("under-voltage") << (base | 0x4000) << short(0x200) << short(0);
    QTest::newRow("external alarm") << (base | 0x80000) << short(0x400) << short(0);
    QTest::newRow("reverse") << (base | 0x20000) << short(0x800) << short(0);
    QTest::newRow("parallel alarm code") << (base | 0xA0) << short(0x1000) << short(0);
    QTest::newRow("front alarm") << (base | 0x100000) << short(0x100) << short(0);
    QTest::newRow("several at once")
        << (base | 0x410000 | 0x1000 | 0x8000) << short(0x23) << short(0);
    QTest::newRow("CV with load on") << (base | 0x200004) << short(0) << short(0x101);
    QTest::newRow("CR and operation bit 10") << (base | 0x8200002) << short(0) << short(0x504);
    QTest::newRow("CP with load on") << (base | 0x200008) << short(0) << short(0x108);
}

void tst_Status::questionableAndOperationConditions()
{
    QFETCH(quint32, word);
    QFETCH(short, questionable);
    QFETCH(short, operation);

    makeStatus();
    setWord(word);
    // The registers start cleared, and each row expects some bit set.
    QTRY_COMPARE(short(zo4882::s_statQues.condition() | zo4882::s_statOper.condition()),
        short(questionable | operation));
    QCOMPARE(zo4882::s_statQues.condition(), questionable);
    QCOMPARE(zo4882::s_statOper.condition(), operation);

    // Back to the plain word: every condition bit set above is cleared again.
    setWord(DefaultWord);
    QTRY_COMPARE(zo4882::s_statQues.condition(), short(0));
    QTRY_COMPARE(zo4882::s_statOper.condition(), short(0));
}

void tst_Status::cutoffByteReportsEachCutoff()
{
    makeStatus();
    QCOMPARE(m_board->command("cutoff 90"), QString("OK"));
    QTRY_COMPARE(m_recorder->events.size(), 4);
    QCOMPARE(m_recorder->events,
        QStringList(
            { "cutoff time 0", "cutoff voltage 1", "cutoff capacity 0", "cutoff energy 1" }));
}

void tst_Status::programRunEndsInProgIdleWithNodeAddress()
{
    makeStatus();
    setWord(DefaultWord | 0x40000000); // the transient runs

    startProgram();
    QTRY_VERIFY2(m_recorder->events.contains("running"), qPrintable(events()));
    QTRY_VERIFY2(m_recorder->events.contains(QString("address %1").arg(FirstStepNode, 0, 16)),
        qPrintable(events()));

    // Waiting for a trigger inside a step, then running on.
    setWord(DefaultWord | 0xC0000000);
    QTRY_VERIFY2(m_recorder->events.contains("waiting 1"), qPrintable(events()));
    setWord(DefaultWord | 0x40000000);
    QTRY_VERIFY2(m_recorder->events.count("running") == 2, qPrintable(events()));
    QVERIFY2(!m_recorder->events.contains("idle"), qPrintable(events()));

    // The transient stops: the run ends with the last node address.
    setWord(DefaultWord);
    QTRY_VERIFY2(m_recorder->inOrder({ "abort",
                     QString("program idle %1").arg(FirstStepNode, 0, 16),
                     "alarm tone 0",
                     "idle" }),
        qPrintable(events()));
}

void tst_Status::runWithoutImmediateTriggerWaitsOutsideAStep()
{
    makeStatus();
    setWord(DefaultWord | 0x40000000);
    m_writer->setTranTriggerSource(IoControl::ttsBus);
    startProgram();
    QTRY_VERIFY2(m_recorder->events.contains("waiting 0"), qPrintable(events()));
    QVERIFY2(!m_recorder->events.contains("running"), qPrintable(events()));
}

void tst_Status::endOfRunNeedsAProgramTransientState()
{
    makeStatus();
    setWord(DefaultWord | 0x40000000);
    m_writer->progCommand(IoControl::TranInit, IoControl::ViaProgramGroup);
    m_writer->transfer();
    QTRY_VERIFY2(m_recorder->events.contains("running"), qPrintable(events()));
    // Back to the steady state: the link reports transient state 0 from now on.
    m_writer->progCommand(IoControl::Tran, IoControl::ViaProgramGroup);
    m_writer->transfer();

    // The range bits change in the same word, after the run-end check: once the range report
    // is here, an abort would have been too.
    setWord(DefaultWord | 0x100);
    QTRY_VERIFY2(m_recorder->events.contains("range 100"), qPrintable(events()));
    QCoreApplication::processEvents();
    QVERIFY2(!m_recorder->events.contains("abort"), qPrintable(events()));
    QVERIFY2(!m_recorder->events.contains("idle"), qPrintable(events()));
}

void tst_Status::externalLogicInvertsTheInput()
{
    makeStatus();
    reportNow(); // first report: input high, unchanged
    QTRY_VERIFY2(m_recorder->events.contains("alarm cleared"), qPrintable(events()));
    m_recorder->events.clear();

    QCOMPARE(m_status->setOutputExternalLogic(KeywordBridge_PosNeg::NEG), vek::SCPIERR_T(0));
    QTRY_COMPARE(m_recorder->events, QStringList({ "external load 0 flag only 1" }));
    QCOMPARE(m_status->setOutputExternalLogic(KeywordBridge_PosNeg::NEG), vek::SCPIERR_T(0));
    QCoreApplication::processEvents();
    QCOMPARE(m_recorder->events.size(), 1);

    // With the inverted logic the input going low reads as on.
    setWord(DefaultWord & ~0x800000u);
    QTRY_VERIFY2(m_recorder->events.contains("external load 1 flag only 0"), qPrintable(events()));
}

QTEST_MAIN(tst_Status)
#include "tst_Status.moc"
