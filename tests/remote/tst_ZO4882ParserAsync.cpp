#include "remote/StatusRegisters.h"
#include "remote/ZO4882Opc.h"
#include "remote/ZO4882Parser.h"
#include "remote/ZO4882ParserAsync.h"
#include "remote/ZOSystErrCue.h"
#include "remote/ZO_RLST_T.h"
#include "remote/_IFCTRL_SINK.h"
#include "tests/remote/support/RecordingResponder.h"
#include "tests/remote/support/StandardTestDictionary.h"

#include <QtTest>

#include <atomic>
#include <memory>
#include <thread>

using namespace zo4882;

namespace {

// Records every call in the handler's thread; with holdClear set a device clear waits there
// until the test releases it.
class RecordingSink : public _IFCTRL_SINK
{
public:
    void OnDeviceClear() const override
    {
        add("DCL");
        if (holdClear) {
            clearEntered.release();
            clearRelease.tryAcquire(1, 10000);
        }
        _IFCTRL_SINK::OnDeviceClear();
    }

    std::atomic<bool> holdClear { false };
    mutable QSemaphore clearEntered;
    mutable QSemaphore clearRelease;

    void OnControlREN(int on) const override { add("REN" + QString::number(on)); }
    void OnControlLLO() const override { add("LLO"); }
    void OnControlRemote(int remote) const override { add("REMOTE" + QString::number(remote)); }

    QStringList take()
    {
        QMutexLocker lock(&m_mutex);
        QStringList calls = m_calls;
        m_calls.clear();
        return calls;
    }

private:
    void add(const QString &call) const
    {
        QMutexLocker lock(&m_mutex);
        m_calls << call;
    }

    mutable QMutex m_mutex; // guards m_calls
    mutable QStringList m_calls;
};

QString rlst()
{
    return QStringLiteral("%1%2%3")
        .arg(int(s_rlst.remoteEnable.load()))
        .arg(int(s_rlst.remote.load()))
        .arg(int(s_rlst.localLockout.load()));
}

} // namespace

// The control-message handler with a recording sink, alone and in front of a parser.
class tst_ZO4882ParserAsync : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void remoteLocalState_data();
    void remoteLocalState();
    void postingWithoutHandlerPostsNothing();
    void teardownFreesQueuedMessagesUnhandled();
    void deviceClearDropsQueuedMessages();
    void deviceClearEndsAnOpcWait();
    void programMessageGoesRemote();

private:
    void makeHandler(bool withParser);
    // Posts a control message and waits until the handler has taken it.
    void control(int type);
    void postText(const QByteArray &text);

    RecordingSink m_sink;
    std::unique_ptr<ZO4882Parser> m_parser;
    std::unique_ptr<ZO4882ParserAsync> m_handler;
    std::unique_ptr<RecordingResponder> m_responder;
    std::atomic<int> m_handled { 0 };
};

void tst_ZO4882ParserAsync::init()
{
    init4882();
    s_systErrCue.clear();
    s_opc.reset();
    s_rlst.remoteEnable = 0;
    s_rlst.remote = 0;
    s_rlst.localLockout = 0;
    m_handled = 0;
    standardtest::takeLog();
}

void tst_ZO4882ParserAsync::cleanup()
{
    s_opc.reset();
    standardtest::hold().release.release(10);
    m_handler.reset();
    m_parser.reset();
    m_responder.reset();
    standardtest::hold().entered.tryAcquire(standardtest::hold().entered.available());
    standardtest::hold().release.tryAcquire(standardtest::hold().release.available());
    m_sink.take();
    m_sink.holdClear = false;
    m_sink.clearEntered.tryAcquire(m_sink.clearEntered.available());
    m_sink.clearRelease.tryAcquire(m_sink.clearRelease.available());
}

void tst_ZO4882ParserAsync::makeHandler(bool withParser)
{
    if (withParser) {
        m_parser = std::make_unique<ZO4882Parser>(standardtest::dictionary(), NODE_SOURCE);
        m_responder = std::make_unique<RecordingResponder>();
    }
    m_handler = std::make_unique<ZO4882ParserAsync>(m_parser.get(), &m_sink);
    connect(m_handler.get(), &ZO4882ParserAsync::handled, this, [this] {
        ++m_handled;
    });
}

void tst_ZO4882ParserAsync::control(int type)
{
    const int before = m_handled;
    QVERIFY(ZO4882ParserAsync::postControl(CTL488_MSG_TYPES(type), 0, INTF_VXI11, nullptr));
    QTRY_COMPARE_WITH_TIMEOUT(m_handled.load(), before + 1, 5000);
}

void tst_ZO4882ParserAsync::postText(const QByteArray &text)
{
    m_parser->post(createScpiMessage(
        text.constData(), text.size(), 0, INTF_SOCKET, nullptr, m_responder.get()));
}

// The state bytes "remote enable, remote, lockout" and the sink's calls after each sequence.
void tst_ZO4882ParserAsync::remoteLocalState_data()
{
    QTest::addColumn<QList<int>>("types");
    QTest::addColumn<QString>("state");
    QTest::addColumn<QStringList>("calls");

    QTest::newRow("remote enable") << QList<int> { 1, 1 } << "100" << QStringList { "REN1" };
    QTest::newRow("go remote") << QList<int> { 1, 4, 4 } << "110"
                               << QStringList { "REN1", "REMOTE1" };
    QTest::newRow("go remote without remote enable") << QList<int> { 4 } << "000" << QStringList();
    QTest::newRow("remote enable off while remote")
        << QList<int> { 1, 4, 3, 2 } << "000" << QStringList { "REN1", "REMOTE1", "LLO", "REN0" };
    QTest::newRow("remote enable off while local")
        << QList<int> { 1, 2 } << "000" << QStringList { "REN1" };
    QTest::newRow("lockout without remote enable")
        << QList<int> { 3 } << "000" << QStringList { "LLO" };
    QTest::newRow("go local keeps enable and lockout")
        << QList<int> { 1, 3, 4, 5, 5 } << "101"
        << QStringList { "REN1", "LLO", "REMOTE1", "REMOTE0" };
    QTest::newRow("unknown type ignored") << QList<int> { 9, -1 } << "000" << QStringList();
    QTest::newRow("device clear keeps the state")
        << QList<int> { 1, 4, 0 } << "110" << QStringList { "REN1", "REMOTE1", "DCL" };
}

void tst_ZO4882ParserAsync::remoteLocalState()
{
    QFETCH(QList<int>, types);
    QFETCH(QString, state);
    QFETCH(QStringList, calls);

    makeHandler(false);
    for (int type : types)
        control(type);
    QCOMPARE(rlst(), state);
    QCOMPARE(m_sink.take(), calls);
}

void tst_ZO4882ParserAsync::postingWithoutHandlerPostsNothing()
{
    QVERIFY(!ZO4882ParserAsync::postControl(CTL488_GO_REMOTE, 0, INTF_PANEL, nullptr));
    makeHandler(false);
    m_handler.reset();
    QVERIFY(!ZO4882ParserAsync::s_pSelf);
    QVERIFY(!ZO4882ParserAsync::postControl(CTL488_GO_REMOTE, 0, INTF_PANEL, nullptr));
}

// Control messages still queued when the handler goes, and one posted while it goes, are freed
// unhandled (the sanitizer run checks for leaks); postControl() finds no handler from the start.
void tst_ZO4882ParserAsync::teardownFreesQueuedMessagesUnhandled()
{
    makeHandler(false);
    m_sink.holdClear = true;
    QVERIFY(ZO4882ParserAsync::postControl(CTL488_DEVICE_CLEAR, 0, INTF_VXI11, nullptr));
    QVERIFY(m_sink.clearEntered.tryAcquire(1, 5000));
    for (int i = 0; i < 5; ++i)
        QVERIFY(ZO4882ParserAsync::postControl(CTL488_REN_ON, 0, INTF_VXI11, nullptr));

    // The destructor waits for the held device clear, so the handler stays valid meanwhile.
    ZO4882ParserAsync *handler = m_handler.get();
    std::thread destroyer([this] {
        m_handler.reset();
    });
    QTRY_VERIFY_WITH_TIMEOUT(!ZO4882ParserAsync::s_pSelf.load(), 5000);
    QVERIFY(!ZO4882ParserAsync::postControl(CTL488_REN_ON, 0, INTF_VXI11, nullptr));
    handler->post(ZO4882ParserAsync::createControlMessage(CTL488_REN_ON, 0, INTF_VXI11, nullptr));
    m_sink.clearRelease.release();
    destroyer.join();
    QTRY_COMPARE_WITH_TIMEOUT(m_handled.load(), 1, 5000);
    QCOMPARE(m_sink.take(), QStringList { "DCL" });
    QCOMPARE(rlst(), QStringLiteral("000"));
}

// Ten messages queued behind a running one: the running one stops at its next unit, none of
// the ten runs or answers, and a message sent afterwards is answered.
void tst_ZO4882ParserAsync::deviceClearDropsQueuedMessages()
{
    makeHandler(true);
    postText("LOG 1;HOLD;LOG 2;*TST?");
    QVERIFY(standardtest::hold().entered.tryAcquire(1, 5000));
    for (int i = 10; i < 20; ++i)
        postText("LOG " + QByteArray::number(i) + ";*TST?");
    QCOMPARE(m_parser->pendingCount(), 10);

    control(CTL488_DEVICE_CLEAR);
    standardtest::hold().release.release();
    postText("LOG 3;*OPT?");
    QTRY_COMPARE_WITH_TIMEOUT(m_responder->answers, QByteArrayList { "0\n" }, 5000);
    QCOMPARE(standardtest::takeLog(), (QStringList { "1", "3" }));
    QCOMPARE(m_parser->pendingCount(), 0);
    QCOMPARE(m_sink.take(), QStringList { "DCL" });
    QVERIFY(s_systErrCue.isEmpty());
}

void tst_ZO4882ParserAsync::deviceClearEndsAnOpcWait()
{
    makeHandler(true);
    s_opc.initiate(ZO4882Opc::Acquisition);
    postText("*OPC?;LOG 1");
    QTRY_COMPARE_WITH_TIMEOUT(int(s_opc.getState()), int(OPC_WAITING), 5000);
    control(CTL488_DEVICE_CLEAR);
    postText("*TST?");
    QTRY_COMPARE_WITH_TIMEOUT(m_responder->answers, QByteArrayList { "0\n" }, 5000);
    QVERIFY(standardtest::takeLog().isEmpty());
}

void tst_ZO4882ParserAsync::programMessageGoesRemote()
{
    makeHandler(true);
    postText("*TST?");
    QTRY_COMPARE_WITH_TIMEOUT(m_responder->answers.size(), 1, 5000);
    QCOMPARE(rlst(), QStringLiteral("000"));

    control(CTL488_REN_ON);
    const int before = m_handled;
    postText("*TST?");
    QTRY_COMPARE_WITH_TIMEOUT(m_handled.load(), before + 1, 5000);
    QCOMPARE(rlst(), QStringLiteral("110"));
    QCOMPARE(m_sink.take(), (QStringList { "REN1", "REMOTE1" }));
}

QTEST_GUILESS_MAIN(tst_ZO4882ParserAsync)
#include "tst_ZO4882ParserAsync.moc"
