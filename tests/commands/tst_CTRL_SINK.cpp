#include "commands/CTRL_SINK.h"
#include "remote/ZO4882Opc.h"
#include "remote/ZO4882ParserAsync.h"
#include "remote/ZONullValue.h"
#include "remote/ZOValueManager.h"
#include "remote/ZO_RLST_T.h"

#include <QThread>
#include <QtTest>

#include <atomic>
#include <memory>

using namespace zo4882;

namespace {

// The abort action: counts its commits; the running acquisition stops with it.
class Abort : public zostd::ZONullValue
{
public:
    Abort()
        : ZONullValue(CTRL_SINK::AbortValueId)
    { }
    int commit() override
    {
        // Held by the committing thread itself, so the try fails.
        QMutex *mutex = zostd::ZOValueManager::s_pSelf->getMutex();
        const bool held = !mutex->tryLock();
        if (!held)
            mutex->unlock();
        underMutex = held;
        ++commits;
        s_opc.abort(ZO4882Opc::Acquisition);
        return 0;
    }
    std::atomic<int> commits { 0 };
    std::atomic<bool> underMutex { false }; // at the last commit
};

} // namespace

// The instrument's control sink behind the control-message handler.
class tst_CTRL_SINK : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void remoteStateReachesThePanel_data();
    void remoteStateReachesThePanel();
    void localKey_data();
    void localKey();
    void deviceClearAbortsAndEndsWaits();

private:
    void control(int type);

    std::unique_ptr<zostd::ZOValueManager> m_registry;
    std::unique_ptr<Abort> m_abort;
    CTRL_SINK m_sink;
    std::unique_ptr<ZO4882ParserAsync> m_handler;
    std::atomic<int> m_handled { 0 };
    QMutex m_mutex; // guards m_reports
    QList<bool> m_reports;
};

void tst_CTRL_SINK::initTestCase()
{
    m_registry = std::make_unique<zostd::ZOValueManager>();
    m_abort = std::make_unique<Abort>();
    m_sink.setRemoteStateSink([this](bool remote) {
        QMutexLocker lock(&m_mutex);
        m_reports << remote;
    });
}

void tst_CTRL_SINK::init()
{
    s_opc.reset();
    s_rlst.remoteEnable = 0;
    s_rlst.remote = 0;
    s_rlst.localLockout = 0;
    m_handled = 0;
    m_abort->commits = 0;
    m_reports.clear();
    m_handler = std::make_unique<ZO4882ParserAsync>(nullptr, &m_sink);
    connect(m_handler.get(), &ZO4882ParserAsync::handled, this, [this] {
        ++m_handled;
    });
}

void tst_CTRL_SINK::cleanup()
{
    m_handler.reset();
}

void tst_CTRL_SINK::control(int type)
{
    const int before = m_handled;
    QVERIFY(ZO4882ParserAsync::postControl(CTL488_MSG_TYPES(type), 0, INTF_USBTMC, nullptr));
    QTRY_COMPARE_WITH_TIMEOUT(m_handled.load(), before + 1, 5000);
}

void tst_CTRL_SINK::remoteStateReachesThePanel_data()
{
    QTest::addColumn<QList<int>>("types");
    QTest::addColumn<QList<bool>>("reports");

    QTest::newRow("remote") << QList<int> { 1, 4 } << QList<bool> { true };
    QTest::newRow("remote enable off reports local")
        << QList<int> { 1, 4, 2 } << QList<bool> { true, false };
    QTest::newRow("go local") << QList<int> { 1, 4, 3, 5 } << QList<bool> { true, false };
    QTest::newRow("nothing while local") << QList<int> { 1, 3, 2, 5 } << QList<bool>();
}

void tst_CTRL_SINK::remoteStateReachesThePanel()
{
    QFETCH(QList<int>, types);
    QFETCH(QList<bool>, reports);

    for (int type : types)
        control(type);
    QMutexLocker lock(&m_mutex);
    QCOMPARE(m_reports, reports);
}

void tst_CTRL_SINK::localKey_data()
{
    QTest::addColumn<QList<int>>("types");
    QTest::addColumn<int>("result");
    QTest::addColumn<QList<bool>>("reports");

    QTest::newRow("local") << QList<int>() << 0 << QList<bool>();
    QTest::newRow("remote") << QList<int> { 1, 4 } << 1 << QList<bool> { true, false };
    QTest::newRow("locked out") << QList<int> { 1, 3, 4 } << 0 << QList<bool> { true };
}

void tst_CTRL_SINK::localKey()
{
    QFETCH(QList<int>, types);
    QFETCH(int, result);
    QFETCH(QList<bool>, reports);

    for (int type : types)
        control(type);
    const int before = m_handled;
    QCOMPARE(m_sink.requestRTL(), result);
    if (result)
        QTRY_COMPARE_WITH_TIMEOUT(m_handled.load(), before + 1, 5000);
    QCOMPARE(int(s_rlst.remote.load()), types.isEmpty() || result ? 0 : 1);
    QMutexLocker lock(&m_mutex);
    QCOMPARE(m_reports, reports);
}

// A device clear during *OPC?: the abort action runs under the registry's mutex, and the wait
// ends with it.
void tst_CTRL_SINK::deviceClearAbortsAndEndsWaits()
{
    s_opc.initiate(ZO4882Opc::Acquisition);
    std::atomic<int> result { -1 };
    std::unique_ptr<QThread> waiter(QThread::create([&result] {
        result = int(s_opc.waitUntilComplete(OPC_WAITING));
    }));
    waiter->start();
    QTRY_COMPARE_WITH_TIMEOUT(int(s_opc.getState()), int(OPC_WAITING), 5000);
    control(CTL488_DEVICE_CLEAR);
    QVERIFY(waiter->wait(5000));
    QCOMPARE(m_abort->commits.load(), 1);
    QVERIFY(m_abort->underMutex.load());
    QVERIFY(result != int(ZO4882Opc::Deadlocked));
    QCOMPARE(s_opc.getPendings(), 0u);
}

QTEST_GUILESS_MAIN(tst_CTRL_SINK)
#include "tst_CTRL_SINK.moc"
