#include "remote/StatusRegisters.h"
#include "remote/ZO4882Opc.h"
#include "remote/ZO4882ParserDelegate.h"
#include "remote/ZOSystErrCue.h"
#include "tests/remote/support/ParserTestDictionary.h"
#include "tests/remote/support/StandardTestDictionary.h"

#include <QThread>
#include <QtTest>

#include <memory>

using namespace zo4882;

// The operation-complete tracker alone, and *OPC, *OPC? and *WAI through the parse delegate,
// run in a thread of their own as the parser thread would.
class tst_ZO4882Opc : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void tracker_data();
    void tracker();
    void opcLatchesWhenTheOperationCompletes();
    void waitEnds_data();
    void waitEnds();
    void busTriggerWaitIsRefusedAtOnce_data();
    void busTriggerWaitIsRefusedAtOnce();
    void armingNeverMissesACompletion();
    void waitingNeverMissesACompletion();

private:
    // Runs message in a thread of its own; the caller waits for it with finish().
    void start(const QByteArray &message);
    bool finish();
    QStringList drainErrors();

    parsertest::Sink m_sink;
    std::unique_ptr<ZO4882ParserDelegate> m_parser;
    std::unique_ptr<QThread> m_thread;
    QByteArray m_answer;
};

void tst_ZO4882Opc::init()
{
    init4882();
    s_systErrCue.clear();
    s_opc.reset();
    m_parser = std::make_unique<ZO4882ParserDelegate>(&m_sink);
    m_parser->registerDictionary(standardtest::dictionary(), NODE_SOURCE);
    m_answer.clear();
}

void tst_ZO4882Opc::cleanup()
{
    // A failed test may leave a waiter behind; end it before the delegate goes.
    if (m_thread) {
        s_opc.reset();
        s_opc.interruptWaits();
        QVERIFY(m_thread->wait(5000));
        m_thread.reset();
    }
    m_parser.reset();
}

void tst_ZO4882Opc::start(const QByteArray &message)
{
    m_thread.reset(QThread::create([this, message] {
        const int n = m_parser->parse(INTF_SOCKET, message.constData(), message.size(), 0u);
        m_answer = QByteArray(m_parser->response(), n);
    }));
    m_thread->start();
}

bool tst_ZO4882Opc::finish()
{
    const bool done = m_thread->wait(5000);
    if (done)
        m_thread.reset();
    return done;
}

QStringList tst_ZO4882Opc::drainErrors()
{
    QStringList errors;
    while (!s_systErrCue.isEmpty()) {
        const SYST_ERR_INFO e = s_systErrCue.decue();
        errors << (QString::number(e.code()) + ' ' + e.detail()).trimmed();
    }
    return errors;
}

// Steps: "i<bits>" initiate, "c<bits>" complete, "a<bits>" abort, "opc" *OPC's arm-or-latch.
void tst_ZO4882Opc::tracker_data()
{
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<bool>("event");
    QTest::addColumn<int>("state");
    QTest::addColumn<unsigned>("pending");

    QTest::newRow("nothing pending latches at once") << QStringList { "opc" } << true << 0 << 0u;
    QTest::newRow("pending arms") << QStringList { "i4", "opc" } << false << 1 << 4u;
    QTest::newRow("completion latches") << QStringList { "i4", "opc", "c4" } << true << 0 << 0u;
    QTest::newRow("abort sets no event") << QStringList { "i4", "opc", "a4" } << false << 0 << 0u;
    QTest::newRow("completed before *OPC") << QStringList { "i4", "c4", "opc" } << true << 0 << 0u;
    QTest::newRow("completion without *OPC") << QStringList { "i4", "c4" } << false << 0 << 0u;
    QTest::newRow("one of two completes")
        << QStringList { "i4", "i1", "opc", "c4" } << false << 1 << 1u;
    QTest::newRow("the last of two completes")
        << QStringList { "i4", "i1", "opc", "c4", "c1" } << true << 0 << 0u;
    QTest::newRow("restarted operation")
        << QStringList { "i4", "c4", "i4", "opc" } << false << 1 << 4u;
}

void tst_ZO4882Opc::tracker()
{
    QFETCH(QStringList, steps);
    QFETCH(bool, event);
    QFETCH(int, state);
    QFETCH(unsigned, pending);

    for (const QString &step : steps) {
        const unsigned bits = step.mid(1).toUInt();
        if (step == "opc")
            s_opc.armOrLatch();
        else if (step.startsWith('i'))
            s_opc.initiate(bits);
        else if (step.startsWith('c'))
            s_opc.complete(bits);
        else if (step.startsWith('a'))
            s_opc.abort(bits);
    }
    QCOMPARE(bool(s_esr.peekEvent() & ZO_ESR_REGISTER::OperationComplete), event);
    QCOMPARE(int(s_opc.getState()), state);
    QCOMPARE(s_opc.getPendings(), pending);
}

void tst_ZO4882Opc::opcLatchesWhenTheOperationCompletes()
{
    s_opc.initiate(ZO4882Opc::Acquisition);
    start("*OPC;*ESR?");
    QVERIFY(finish());
    QCOMPARE(m_answer, QByteArray("+0\n"));
    s_opc.complete(ZO4882Opc::Acquisition);
    start("*ESR?;*ESR?");
    QVERIFY(finish());
    QCOMPARE(m_answer, QByteArray("+1;+0\n"));
    QVERIFY(drainErrors().isEmpty());
}

// How a blocked *OPC? or *WAI ends: the rest of the message runs in every case.
void tst_ZO4882Opc::waitEnds_data()
{
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<QString>("end");
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QStringList>("errors");

    QTest::newRow("*OPC? completion")
        << QByteArray("*OPC?;*TST?") << "complete" << QByteArray("1;0\n") << QStringList();
    QTest::newRow("*OPC? abort") << QByteArray("*OPC?;*TST?") << "abort" << QByteArray("1;0\n")
                                 << QStringList();
    QTest::newRow("*OPC? operation starts waiting for *TRG") << QByteArray(
        "*OPC?;*TST?") << "busTrigger" << QByteArray("0\n") << QStringList { "-430 *OPC?" };
    QTest::newRow("*OPC? device clear") << QByteArray("*OPC?;*TST?") << "deviceClear"
                                        << QByteArray() << QStringList { "-410 *OPC?" };
    QTest::newRow("*WAI completion")
        << QByteArray("*WAI;*TST?") << "complete" << QByteArray("0\n") << QStringList();
    QTest::newRow("*WAI operation starts waiting for *TRG") << QByteArray(
        "*WAI;*TST?") << "busTrigger" << QByteArray("0\n") << QStringList { "-214 *WAI" };
    QTest::newRow("*WAI device clear")
        << QByteArray("*WAI;*TST?") << "deviceClear" << QByteArray() << QStringList();
}

void tst_ZO4882Opc::waitEnds()
{
    QFETCH(QByteArray, message);
    QFETCH(QString, end);
    QFETCH(QByteArray, answer);
    QFETCH(QStringList, errors);

    const unsigned acq = ZO4882Opc::Acquisition;
    s_opc.initiate(acq);
    start(message);
    if (message.startsWith("*OPC?"))
        QTRY_COMPARE_WITH_TIMEOUT(int(s_opc.getState()), int(OPC_WAITING), 5000);
    // Still blocked: nothing has ended the wait yet.
    QVERIFY(!m_thread->wait(50));

    if (end == "complete") {
        s_opc.complete(acq);
    } else if (end == "abort") {
        s_opc.abort(acq);
    } else if (end == "busTrigger") {
        s_opc.setAwaitingBusTrigger(acq, true);
    } else {
        m_parser->setAbort(true);
        s_opc.interruptWaits();
    }
    QVERIFY(finish());
    QCOMPARE(m_answer, answer);
    QCOMPARE(drainErrors(), errors);
    QCOMPARE(int(s_opc.getState()), int(OPC_IDLE));
}

void tst_ZO4882Opc::busTriggerWaitIsRefusedAtOnce_data()
{
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QStringList>("errors");

    QTest::newRow("*OPC?") << QByteArray("*OPC?;*TST?") << QByteArray("0\n")
                           << QStringList { "-430 *OPC?" };
    QTest::newRow("*WAI") << QByteArray("*WAI;*TST?") << QByteArray("0\n")
                          << QStringList { "-214 *WAI" };
    // *OPC does not block: it arms, and the triggered completion latches the event.
    QTest::newRow("*OPC") << QByteArray("*OPC;*ESR?") << QByteArray("+0\n") << QStringList();
}

void tst_ZO4882Opc::busTriggerWaitIsRefusedAtOnce()
{
    QFETCH(QByteArray, message);
    QFETCH(QByteArray, answer);
    QFETCH(QStringList, errors);

    s_opc.initiate(ZO4882Opc::Acquisition);
    s_opc.setAwaitingBusTrigger(ZO4882Opc::Acquisition, true);
    start(message);
    QVERIFY(finish());
    QCOMPARE(m_answer, answer);
    QCOMPARE(drainErrors(), errors);

    // The trigger arrives and the operation completes; the tracker serves the next wait.
    s_opc.setAwaitingBusTrigger(ZO4882Opc::Acquisition, false);
    s_opc.complete(ZO4882Opc::Acquisition);
    start("*OPC?");
    QVERIFY(finish());
    QCOMPARE(m_answer, QByteArray("1\n"));
}

// *OPC racing the completion: the event is latched whichever comes first.
void tst_ZO4882Opc::armingNeverMissesACompletion()
{
    for (int i = 0; i < 300; ++i) {
        s_esr.clearEvent();
        s_opc.initiate(ZO4882Opc::Acquisition);
        std::unique_ptr<QThread> arm(QThread::create([] {
            s_opc.armOrLatch();
        }));
        arm->start();
        s_opc.complete(ZO4882Opc::Acquisition);
        QVERIFY(arm->wait(5000));
        QCOMPARE(int(s_esr.peekEvent() & ZO_ESR_REGISTER::OperationComplete), 1);
    }
}

// *OPC? racing the completion: it always answers.
void tst_ZO4882Opc::waitingNeverMissesACompletion()
{
    for (int i = 0; i < 300; ++i) {
        s_opc.initiate(ZO4882Opc::Acquisition);
        start("*OPC?");
        s_opc.complete(ZO4882Opc::Acquisition);
        QVERIFY(finish());
        QCOMPARE(m_answer, QByteArray("1\n"));
    }
}

QTEST_GUILESS_MAIN(tst_ZO4882Opc)
#include "tst_ZO4882Opc.moc"
