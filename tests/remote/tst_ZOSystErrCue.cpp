#include "remote/ISystErrCustom.h"
#include "remote/QueueError.h"
#include "remote/StatusRegisters.h"
#include "remote/ZOSystErrCue.h"

#include <QtTest>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

using namespace zo4882;

namespace {

// Records what the queue tells the instrument and reads the queue back from inside the calls,
// which must not deadlock.
class RecordingHook : public ISystErrCustom
{
public:
    void OnQueue(const SYST_ERR_INFO &error) override { queued.append(error.code()); }
    void OnDequeue(const SYST_ERR_INFO &error) override
    {
        dequeued.append(error.code());
        s_systErrCue.snapshot();
    }
    void OnEmpty() override { ++emptied; }
    QString getMessage(short code) const override
    {
        return code == 102 ? QStringLiteral("Setting conflicts while INPut is ON") : QString();
    }

    QVector<short> queued;
    QVector<short> dequeued;
    int emptied = 0;
};

// The same from many threads at once: counts only.
class CountingHook : public ISystErrCustom
{
public:
    void OnQueue(const SYST_ERR_INFO &) override
    {
        ++queued;
        const int n = s_systErrCue.count();
        int seen = maxSeen.load();
        while (n > seen && !maxSeen.compare_exchange_weak(seen, n)) { }
    }
    void OnDequeue(const SYST_ERR_INFO &) override { ++dequeued; }
    void OnEmpty() override { }
    QString getMessage(short) const override { return QString(); }

    std::atomic<int> queued { 0 };
    std::atomic<int> dequeued { 0 };
    std::atomic<int> maxSeen { 0 };
};

} // namespace

class tst_ZOSystErrCue : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void overflow_data();
    void overflow();
    void fullMessage_data();
    void fullMessage();
    void classBit_data();
    void classBit();
    void sameClassRaisesNoNewEvent();
    void readingLastEntryClearsConditions();
    void hookSeesEveryChange();
    void clsEmptiesQueue();
    void sinkEntryPoint_data();
    void sinkEntryPoint();
    void concurrentPostsAndReads();

private:
    RecordingHook m_hook;
};

void tst_ZOSystErrCue::init()
{
    s_systErrCue.setHook(nullptr);
    cls();
    init4882();
    m_hook = RecordingHook();
}

void tst_ZOSystErrCue::cleanup()
{
    s_systErrCue.setHook(nullptr);
    cls();
}

void tst_ZOSystErrCue::overflow_data()
{
    QTest::addColumn<int>("posted");
    QTest::addColumn<int>("entries");
    QTest::addColumn<bool>("overflowLast");

    QTest::newRow("15 fit") << 15 << 15 << false;
    QTest::newRow("16 fill") << 16 << 16 << false;
    QTest::newRow("17 overflow") << 17 << 16 << true;
    QTest::newRow("40 stay overflowed") << 40 << 16 << true;
}

void tst_ZOSystErrCue::overflow()
{
    QFETCH(int, posted);
    QFETCH(int, entries);
    QFETCH(bool, overflowLast);

    s_systErrCue.setHook(&m_hook);
    for (int i = 1; i <= posted; ++i)
        s_systErrCue.cue(SYST_ERR_INFO(short(-100 - i), INTF_SOCKET, "H", nullptr));

    const QVector<SYST_ERR_INFO> entriesNow = s_systErrCue.snapshot();
    QCOMPARE(entriesNow.size(), entries);
    QCOMPARE(s_systErrCue.count(), entries);
    const int kept = overflowLast ? 15 : entries;
    for (int i = 0; i < kept; ++i)
        QCOMPARE(entriesNow.at(i).code(), short(-101 - i));
    if (overflowLast) {
        QCOMPARE(entriesNow.last().code(), short(-350));
        QCOMPARE(entriesNow.last().intf(), INTF_PANEL);
        QVERIFY(entriesNow.last().detail().isEmpty());
        // The overflow entry is announced once; the lost errors are not.
        QCOMPARE(m_hook.queued.count(short(-350)), 1);
        QCOMPARE(m_hook.queued.size(), 17);
        QVERIFY(s_esr.condition() & ZO_ESR_REGISTER::DeviceError);
    }

    // Read back oldest first; once read, a new error fits again.
    for (int i = 0; i < kept; ++i)
        QCOMPARE(s_systErrCue.decue().code(), short(-101 - i));
    if (overflowLast) {
        s_systErrCue.cue(SYST_ERR_INFO(-222, INTF_PANEL, QString()));
        QCOMPARE(s_systErrCue.decue().code(), short(-350));
        QCOMPARE(s_systErrCue.decue().code(), short(-222));
    }
    QVERIFY(s_systErrCue.decue().isEmpty());
}

void tst_ZOSystErrCue::fullMessage_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QByteArray>("header");
    QTest::addColumn<QByteArray>("param");
    QTest::addColumn<bool>("hook");
    QTest::addColumn<QString>("detail");
    QTest::addColumn<QString>("message");

    const QByteArray null;
    QTest::newRow("header and param")
        << -222 << QByteArray("CURR") << QByteArray("5") << false << "CURR 5"
        << "Data out of range;CURR 5";
    QTest::newRow("header only") << -113 << QByteArray("FOO") << null << false << "FOO"
                                 << "Undefined header;FOO";
    QTest::newRow("empty param") << -113 << QByteArray("FOO") << QByteArray("") << false << "FOO"
                                 << "Undefined header;FOO";
    QTest::newRow("param only, no blank") << -224 << null << QByteArray("X") << false << "X"
                                          << "Illegal parameter value;X";
    QTest::newRow("no detail") << -350 << null << null << false << ""
                               << "Queue overflow";
    QTest::newRow("utf-8 detail") << -222 << QByteArray("LEV") << QByteArray("5\xc2\xb5") << false
                                  << QString::fromUtf8("LEV 5\xc2\xb5")
                                  << QString::fromUtf8("Data out of range;LEV 5\xc2\xb5");
    QTest::newRow("instrument code with hook") << 102 << null << null << true << ""
                                               << "Setting conflicts while INPut is ON";
    QTest::newRow("instrument code without hook") << 102 << null << null << false << ""
                                                  << "";
    QTest::newRow("unknown code with hook, detail") << 999 << QByteArray("X") << null << true << "X"
                                                    << ";X";
    // A 3000-byte parameter: the detail is cut, never the code's text; the whole fits 255.
    const QByteArray longParam(3000, 'x');
    const QString text = QStringLiteral("Illegal parameter value");
    QTest::newRow("long detail cut to the bound")
        << -224 << QByteArray("CURR") << longParam << false
        << QString(QStringLiteral("CURR ") + QString(3000, 'x')).left(255)
        << QString(text + QStringLiteral(";CURR ") + QString(255 - text.size() - 6, 'x'));
    QTest::newRow("control bytes shown as blanks")
        << -224 << QByteArray("CURR") << QByteArray("#14a\nb\r\tc") << false << "CURR #14a b  c"
        << "Illegal parameter value;CURR #14a b  c";
}

void tst_ZOSystErrCue::fullMessage()
{
    QFETCH(int, code);
    QFETCH(QByteArray, header);
    QFETCH(QByteArray, param);
    QFETCH(bool, hook);
    QFETCH(QString, detail);
    QFETCH(QString, message);

    if (hook)
        s_systErrCue.setHook(&m_hook);
    const SYST_ERR_INFO e(short(code),
        INTF_TELNET,
        header.isNull() ? nullptr : header.constData(),
        param.isNull() ? nullptr : param.constData());
    QCOMPARE(e.detail(), detail);
    QCOMPARE(e.getFullErrorMessage(), message);
}

void tst_ZOSystErrCue::classBit_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("bit");

    QTest::newRow("-100 command") << -100 << 0x20;
    QTest::newRow("-199 command") << -199 << 0x20;
    QTest::newRow("-222 execution") << -222 << 0x10;
    QTest::newRow("-350 device") << -350 << 0x08;
    QTest::newRow("-410 query") << -410 << 0x04;
    QTest::newRow("-500 power on") << -500 << 0x80;
    QTest::newRow("-600 user request") << -600 << 0x40;
    QTest::newRow("-700 request control") << -700 << 0x02;
    QTest::newRow("-800 operation complete") << -800 << 0x01;
    QTest::newRow("-899") << -899 << 0x01;
    QTest::newRow("-900 none") << -900 << 0;
    QTest::newRow("-99 none") << -99 << 0;
    QTest::newRow("instrument 304 device") << 304 << 0x08;
}

void tst_ZOSystErrCue::classBit()
{
    QFETCH(int, code);
    QFETCH(int, bit);

    s_systErrCue.cue(SYST_ERR_INFO(short(code), INTF_PANEL, QString()));
    QCOMPARE(int(s_esr.getEvent()), bit);
    QCOMPARE(int(s_esr.condition()), bit);
    QVERIFY(s_stb.condition() & ZO_STB_REGISTER::ErrorAvailable);
}

void tst_ZOSystErrCue::sameClassRaisesNoNewEvent()
{
    s_esr.setEnabler(0x20);
    s_systErrCue.cue(SYST_ERR_INFO(-113, INTF_SOCKET, QString()));
    QCOMPARE(int(s_esr.getEvent()), 0x20); // *ESR? reads and clears
    QCOMPARE(int(s_esr.getEvent()), 0);

    s_systErrCue.cue(SYST_ERR_INFO(-102, INTF_SOCKET, QString()));
    QCOMPARE(int(s_esr.getEvent()), 0);
    QCOMPARE(s_stb.condition() & ZO_STB_REGISTER::EventSummary, 0);

    // Another class still latches.
    s_systErrCue.cue(SYST_ERR_INFO(-222, INTF_SOCKET, QString()));
    QCOMPARE(int(s_esr.getEvent()), 0x10);

    // Once emptied, the same class latches again.
    while (!s_systErrCue.decue().isEmpty()) { }
    s_systErrCue.cue(SYST_ERR_INFO(-102, INTF_SOCKET, QString()));
    QCOMPARE(int(s_esr.getEvent()), 0x20);
}

void tst_ZOSystErrCue::readingLastEntryClearsConditions()
{
    s_systErrCue.cue(SYST_ERR_INFO(-113, INTF_PANEL, QString()));
    s_systErrCue.cue(SYST_ERR_INFO(-222, INTF_PANEL, QString()));
    s_systErrCue.cue(SYST_ERR_INFO(-800, INTF_PANEL, QString()));
    QCOMPARE(int(s_esr.condition()), 0x31);

    s_systErrCue.decue();
    QVERIFY(s_stb.condition() & ZO_STB_REGISTER::ErrorAvailable);
    s_systErrCue.decue();
    s_systErrCue.decue();
    QCOMPARE(s_stb.condition() & ZO_STB_REGISTER::ErrorAvailable, 0);
    // Only the error classes 0x3C clear with the queue.
    QCOMPARE(int(s_esr.condition()), 0x01);

    // Reading an empty queue changes nothing.
    QVERIFY(s_systErrCue.decue().isEmpty());
    QCOMPARE(s_systErrCue.count(), 0);
}

void tst_ZOSystErrCue::hookSeesEveryChange()
{
    s_systErrCue.setHook(&m_hook);
    s_systErrCue.cue(SYST_ERR_INFO(-113, INTF_PANEL, QString()));
    s_systErrCue.cue(SYST_ERR_INFO(0, INTF_PANEL, QString())); // not an error
    s_systErrCue.cue(SYST_ERR_INFO(-222, INTF_PANEL, QString()));
    QCOMPARE(m_hook.queued, (QVector<short> { -113, -222 }));
    QCOMPARE(s_systErrCue.decue().code(), short(-113));
    QCOMPARE(m_hook.dequeued, QVector<short> { -113 });

    s_systErrCue.clear();
    QCOMPARE(m_hook.emptied, 1);
    s_systErrCue.clear(); // already empty: no second OnEmpty
    QCOMPARE(m_hook.emptied, 1);
    QCOMPARE(s_stb.condition() & ZO_STB_REGISTER::ErrorAvailable, 0);
}

void tst_ZOSystErrCue::clsEmptiesQueue()
{
    s_systErrCue.setHook(&m_hook);
    s_systErrCue.cue(SYST_ERR_INFO(-113, INTF_PANEL, QString()));
    s_systErrCue.cue(SYST_ERR_INFO(-222, INTF_PANEL, QString()));
    cls();
    QCOMPARE(s_systErrCue.count(), 0);
    QCOMPARE(int(s_stb.condition()), 0);
    QCOMPARE(int(s_esr.condition()), 0);
    QCOMPARE(int(s_esr.peekEvent()), 0);
    QCOMPARE(m_hook.emptied, 1);
}

void tst_ZOSystErrCue::sinkEntryPoint_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("queued");

    QTest::newRow("success posts nothing") << 0 << 0;
    QTest::newRow("standard") << -315 << -315;
    QTest::newRow("instrument") << 304 << 304;
    QTest::newRow("beyond 16 bits") << 70000 << -310;
}

void tst_ZOSystErrCue::sinkEntryPoint()
{
    QFETCH(int, code);
    QFETCH(int, queued);

    const std::function<void(int, const QString &)> sink = &queueError;
    sink(code, QStringLiteral("detail"));
    const QVector<SYST_ERR_INFO> entries = s_systErrCue.snapshot();
    QCOMPARE(entries.size(), queued ? 1 : 0);
    if (queued) {
        QCOMPARE(int(entries.first().code()), queued);
        QCOMPARE(entries.first().intf(), INTF_PANEL);
        QCOMPARE(entries.first().detail(), QStringLiteral("detail"));
    }
}

// Posters, a reader that drains and one that snapshots, all at once; the queue must stay
// within 16 entries and the status bits must match it when everything has stopped.
void tst_ZOSystErrCue::concurrentPostsAndReads()
{
    CountingHook hook;
    s_systErrCue.setHook(&hook);
    std::atomic<bool> stop { false };
    std::atomic<int> largest { 0 };
    std::atomic<int> taken { 0 };
    std::atomic<int> badEntries { 0 };

    std::thread drainer([&] {
        while (!stop.load()) {
            if (!s_systErrCue.decue().isEmpty())
                ++taken;
        }
    });
    std::thread watcher([&] {
        while (!stop.load()) {
            const QVector<SYST_ERR_INFO> entries = s_systErrCue.snapshot();
            largest = qMax(largest.load(), entries.size());
            for (const SYST_ERR_INFO &e : entries) {
                if (e.code() != -350 && (e.code() > -101 || e.code() < -108))
                    ++badEntries;
            }
            largest = qMax(largest.load(), s_systErrCue.count());
        }
    });

    std::vector<std::thread> posters;
    for (int t = 0; t < 8; ++t) {
        posters.emplace_back([t] {
            for (int i = 0; i < 10000; ++i)
                s_systErrCue.cue(SYST_ERR_INFO(short(-101 - t), INTF_SOCKET, "CURR", "5"));
        });
    }
    for (std::thread &poster : posters)
        poster.join();
    // On a busy machine the drainer may not have run yet: the queue is full, so it takes one.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (taken.load() == 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::yield();
    stop = true;
    drainer.join();
    watcher.join();
    s_systErrCue.setHook(nullptr);

    QVERIFY(largest.load() <= ZOSystErrCue::MaxEntries);
    QVERIFY(hook.maxSeen.load() <= ZOSystErrCue::MaxEntries);
    QCOMPARE(badEntries.load(), 0);
    QVERIFY(taken.load() > 0);
    QCOMPARE(hook.dequeued.load(), taken.load());

    const int left = s_systErrCue.count();
    QVERIFY(left <= ZOSystErrCue::MaxEntries);
    QCOMPARE(bool(s_stb.condition() & ZO_STB_REGISTER::ErrorAvailable), left > 0);
    QCOMPARE(bool(s_esr.condition() & ZO_ESR_REGISTER::ErrorClasses), left > 0);
    while (!s_systErrCue.decue().isEmpty()) { }
    QCOMPARE(int(s_stb.condition()), 0);
    QCOMPARE(s_esr.condition() & ZO_ESR_REGISTER::ErrorClasses, 0);
}

QTEST_APPLESS_MAIN(tst_ZOSystErrCue)

#include "tst_ZOSystErrCue.moc"
