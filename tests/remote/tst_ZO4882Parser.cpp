#include "instrument/PreferenceInfo.h"
#include "platform/BoardPath.h"
#include "remote/ZO4882Opc.h"
#include "remote/ZO4882Parser.h"
#include "remote/ZOCmdArg.h"
#include "remote/ZOCommand.h"
#include "remote/ZODictIndex.h"
#include "remote/ZONullValue.h"
#include "remote/ZOScpiResponder.h"
#include "remote/ZOScpiResponderLink.h"
#include "remote/ZOSystErrCue.h"
#include "remote/ZOValueManager.h"
#include "remote/ZO_SCPI_DICT_ENTRY.h"

#include <QSemaphore>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

using zo4882::SCPIMSG_T;
using zo4882::SCPIRESP_T;
using zo4882::ZO4882Parser;
using zo4882::ZO_PARSER_RESULT;
using zo4882::ZO_SCPI_DICT_ENTRY;
using zo4882::zoArgCount;
using zo4882::ZOCmdArg;
using zo4882::ZOCommand;
using zo4882::ZOScpiResponder;

namespace {

// What ran, in order, from the parser thread: "<header> <params>".
QMutex s_logMutex;
QStringList s_log;
// HOLD blocks the parser thread until the test releases it.
QSemaphore s_holdEntered;
QSemaphore s_holdRelease;
// OPCWAIT waits like *OPC?; GATE stands for a request to another thread that only the
// parser's OnShutdown() ends. Both release s_waitEntered first.
QSemaphore s_waitEntered;
QSemaphore s_gate;

void record(const ZO_PARSER_RESULT *r, const char *note = nullptr)
{
    QString line = QString::fromLatin1(r->header);
    if (*r->params)
        line += ' ' + QString::fromLatin1(r->params);
    if (note)
        line += ' ' + QString::fromLatin1(note);
    QMutexLocker lock(&s_logMutex);
    s_log << line;
}

QStringList takeLog()
{
    QMutexLocker lock(&s_logMutex);
    QStringList log = s_log;
    s_log.clear();
    return log;
}

QStringList takeErrors()
{
    QStringList errors;
    while (!zo4882::s_systErrCue.isEmpty()) {
        const zo4882::SYST_ERR_INFO e = zo4882::s_systErrCue.decue();
        errors << QString::number(e.code()) + ' ' + e.detail();
    }
    return errors;
}

// Settings are logged; queries answer: *IDN? its identity, DATA? <block> the block's byte
// count, ADMIN? 1 and ECHO? n the number n (the stress test's sequence numbers).
class Record : public ZOCommand
{
public:
    using ZOCommand::ZOCommand;
    short OnSet(const ZO_PARSER_RESULT *r) const override
    {
        record(r);
        return 0;
    }
    short OnQuery(const ZO_PARSER_RESULT *r, ZOCmdArg **answer) const override
    {
        const QByteArray header(r->header);
        if (header == "*IDN?")
            *answer = new ZOCmdArg("ZO,TEST,0,1.0", ZOCmdArg::KIND_CHAR);
        else if (header == "DATA?")
            *answer = new ZOCmdArg(r->args->text().size(), ZOCmdArg::KIND_INT);
        else if (header == "ADMIN?")
            *answer = new ZOCmdArg(1, ZOCmdArg::KIND_INT);
        else
            *answer = new ZOCmdArg(int(*r->args), ZOCmdArg::KIND_INT);
        return 0;
    }
};

class Hold : public ZOCommand
{
public:
    using ZOCommand::ZOCommand;
    short OnSet(const ZO_PARSER_RESULT *r) const override
    {
        record(r);
        s_holdEntered.release();
        s_holdRelease.tryAcquire(1, 10000);
        return 0;
    }
};

class OpcWait : public ZOCommand
{
public:
    using ZOCommand::ZOCommand;
    short OnSet(const ZO_PARSER_RESULT *r) const override
    {
        record(r);
        s_waitEntered.release();
        zo4882::s_opc.waitUntilComplete(zo4882::OPC_WAITING);
        return 0;
    }
};

class Gate : public ZOCommand
{
public:
    using ZOCommand::ZOCommand;
    short OnSet(const ZO_PARSER_RESULT *r) const override
    {
        record(r);
        s_waitEntered.release();
        s_gate.tryAcquire(1, 10000);
        return 0;
    }
};

// Opens the gate on shutdown, as the instrument's parser would cancel its request.
class GateParser : public ZO4882Parser
{
public:
    using ZO4882Parser::ZO4882Parser;
    ~GateParser() override { stop(); }

protected:
    void OnShutdown() override
    {
        ZO4882Parser::OnShutdown();
        if (s_gate.available() == 0)
            s_gate.release();
    }
};

class Bound : public ZOCommand
{
public:
    using ZOCommand::ZOCommand;
    short OnSet(const ZO_PARSER_RESULT *r) const override
    {
        QMutex *m = zostd::ZOValueManager::s_pSelf->getMutex();
        const bool locked = !m->tryLock();
        if (!locked)
            m->unlock();
        record(r, locked ? "locked" : "unlocked");
        return 0;
    }
};

class Unlock : public ZOCommand
{
public:
    using ZOCommand::ZOCommand;
    short OnSet(const ZO_PARSER_RESULT *r) const override
    {
        record(r);
        ZO4882Parser::s_pSelf.load()->resetAndSetDenyFlags(1u, 0u);
        return 0;
    }
};

constexpr unsigned none = zoArgCount(0, 0);
constexpr unsigned one = zoArgCount(1, 1);
const unsigned t_int[] = { ZOCmdArg::ARG_INT };
const unsigned t_block[] = { ZOCmdArg::ARG_BLOCK };
constexpr unsigned BoundValueId = 20;

// name, factory, value id, deny class, set counts, set types, set channels, query counts,
// query types, query channels, first letters, second letters, pattern, optional root.
ZO_SCPI_DICT_ENTRY s_dict[] = {
    { "*IDN?",
        &ZOCommand::create<Record>,
        0,
        0,
        none,
        nullptr,
        0,
        none,
        nullptr,
        0,
        "*",
        nullptr,
        "^\\*IDN\\?$",
        0,
        nullptr },
    { "*RST",
        &ZOCommand::create<Record>,
        0,
        0,
        none,
        nullptr,
        0,
        none,
        nullptr,
        0,
        "*",
        nullptr,
        "^\\*RST$",
        0,
        nullptr },
    { "ADMIN",
        &ZOCommand::create<Record>,
        0,
        1,
        none,
        nullptr,
        0,
        none,
        nullptr,
        0,
        "A",
        nullptr,
        "^ADMIN\\??$",
        0,
        nullptr },
    { "BOUND",
        &ZOCommand::create<Bound>,
        BoundValueId,
        0,
        none,
        nullptr,
        0,
        none,
        nullptr,
        0,
        "B",
        nullptr,
        "^BOUND$",
        0,
        nullptr },
    { "DATA?",
        &ZOCommand::create<Record>,
        0,
        0,
        none,
        nullptr,
        0,
        one,
        t_block,
        0,
        "D",
        nullptr,
        "^DATA\\?$",
        0,
        nullptr },
    { "ECHO?",
        &ZOCommand::create<Record>,
        0,
        0,
        none,
        nullptr,
        0,
        one,
        t_int,
        0,
        "E",
        nullptr,
        "^ECHO\\?$",
        0,
        nullptr },
    { "HOLD",
        &ZOCommand::create<Hold>,
        0,
        0,
        none,
        nullptr,
        0,
        none,
        nullptr,
        0,
        "H",
        nullptr,
        "^HOLD$",
        0,
        nullptr },
    { "OPCWAIT",
        &ZOCommand::create<OpcWait>,
        0,
        0,
        none,
        nullptr,
        0,
        none,
        nullptr,
        0,
        "O",
        nullptr,
        "^OPCWAIT$",
        0,
        nullptr },
    { "GATE",
        &ZOCommand::create<Gate>,
        0,
        0,
        none,
        nullptr,
        0,
        none,
        nullptr,
        0,
        "G",
        nullptr,
        "^GATE$",
        0,
        nullptr },
    { "UNLOCK",
        &ZOCommand::create<Unlock>,
        0,
        0,
        none,
        nullptr,
        0,
        none,
        nullptr,
        0,
        "U",
        nullptr,
        "^UNLOCK$",
        0,
        nullptr },
};
constexpr int DictRows = int(sizeof(s_dict) / sizeof(s_dict[0]));

// Collects the answers in its own thread. The count is published last, so a reader that sees
// it may read that many answers.
class Collector : public ZOScpiResponder
{
public:
    QList<QByteArray> answers;
    QList<unsigned> tags;
    std::atomic<int> received { 0 };
    std::atomic<int> *sharedCount = nullptr;

protected:
    void OnRespSend(SCPIRESP_T *response) override
    {
        answers << QByteArray(response->text(), response->length);
        tags << response->tag;
        zo4882::freeScpiResponse(response);
        received.fetch_add(1);
        if (sharedCount)
            sharedCount->fetch_add(1);
    }
    void OnSrqRaise(unsigned char) override { }
};

using Answers = QList<QByteArray>;

} // namespace

// Program messages through the parser thread: buffers cut into messages, answers back to the
// right responder in order, the telnet prompt, device clear, deny flags, the watchdog and a
// stress run of concurrent senders.
class tst_ZO4882Parser : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void buffersBecomeAnsweredMessages_data();
    void buffersBecomeAnsweredMessages();
    void partialReadsAreKeptUntilComplete();
    void telnetPromptFollowsEveryMessage_data();
    void telnetPromptFollowsEveryMessage();
    void deviceClearDiscardsQueuedMessages();
    void denyFlags_data();
    void denyFlags();
    void boundSettingRunsUnderRegistryMutex();
    void responderGoneWhileAnswersInFlight();
    void watchdogTripsOnceUntilRecovered();
    void trafficKeepsWatchdogQuiet();
    void concurrentSendersEachGetTheirOwnAnswersInOrder();
    void stopEndsTheWaitOfTheRunningMessage_data();
    void stopEndsTheWaitOfTheRunningMessage();
    void postAfterStopIsFreed();

private:
    int post(const QByteArray &text, ZOScpiResponder *responder, zo4882::INTF_TYPE_ENUM intf);

    QTemporaryDir m_root; // board root for the preferences
    std::unique_ptr<zo4882::ZODictIndex<DictRows>> m_index;
    std::unique_ptr<zostd::ZOValueManager> m_registry;
    std::unique_ptr<zostd::ZONullValue> m_boundValue;
    std::unique_ptr<ZO4882Parser> m_parser;
};

void tst_ZO4882Parser::initTestCase()
{
    QVERIFY(m_root.isValid());
    platform::BoardPath::setRoot(m_root.path());
    m_index = std::make_unique<zo4882::ZODictIndex<DictRows>>(s_dict);
    m_registry = std::make_unique<zostd::ZOValueManager>();
    m_boundValue = std::make_unique<zostd::ZONullValue>(BoundValueId);
}

void tst_ZO4882Parser::init()
{
    zo4882::s_systErrCue.clear();
    takeLog();
    m_parser = std::make_unique<ZO4882Parser>(m_index.get(), zo4882::NODE_NONE);
    QCOMPARE(ZO4882Parser::s_pSelf.load(), m_parser.get());
}

void tst_ZO4882Parser::cleanup()
{
    // A test that failed while HOLD ran must not keep the parser thread blocked.
    s_holdRelease.release();
    m_parser.reset();
    QCOMPARE(ZO4882Parser::s_pSelf.load(), nullptr);
    s_holdEntered.acquire(s_holdEntered.available());
    s_holdRelease.acquire(s_holdRelease.available());
    s_waitEntered.acquire(s_waitEntered.available());
    s_gate.acquire(s_gate.available());
    zo4882::s_opc.reset();
}

int tst_ZO4882Parser::post(
    const QByteArray &text, ZOScpiResponder *responder, zo4882::INTF_TYPE_ENUM intf)
{
    QByteArray buffer = text;
    return m_parser->postReceived(buffer.data(), buffer.size(), false, intf, 7u, this, responder);
}

void tst_ZO4882Parser::buffersBecomeAnsweredMessages_data()
{
    QTest::addColumn<QByteArray>("buffer");
    QTest::addColumn<bool>("endIsMessage");
    QTest::addColumn<Answers>("answers");
    QTest::addColumn<QStringList>("errors");

    QTest::newRow("two queries answered in order")
        << QByteArray("*IDN?\nECHO? 5\n") << false << Answers { "ZO,TEST,0,1.0\n", "+5\n" }
        << QStringList();
    QTest::newRow("lone newline and leading control bytes")
        << QByteArray("\r\n\t\nECHO? 1\n\n\nECHO? 2\n") << false << Answers { "+1\n", "+2\n" }
        << QStringList();
    QTest::newRow("block with newlines is one message")
        << QByteArray("DATA? #15a\nb\nc\n") << false << Answers { "+5\n" } << QStringList();
    QTest::newRow("end indication completes the last message")
        << QByteArray("ECHO? 1\nECHO? 2") << true << Answers { "+1\n", "+2\n" } << QStringList();
    QTest::newRow("a failing message does not stop the next") << QByteArray(
        "NOPE\nECHO? 3\n") << false << Answers { "+3\n" } << QStringList { "-113 NOPE" };

    // Beyond the splitter's 16 messages per cut, with and without an end indication.
    for (int count : { 17, 40 }) {
        QByteArray buffer;
        Answers answers;
        for (int i = 0; i < count; ++i) {
            buffer += "ECHO? " + QByteArray::number(i) + "\n";
            answers << "+" + QByteArray::number(i) + "\n";
        }
        QTest::addRow("%d messages in one buffer", count)
            << buffer << false << answers << QStringList();
        buffer.chop(1);
        QTest::addRow("%d messages, end indication", count)
            << buffer << true << answers << QStringList();
    }
}

void tst_ZO4882Parser::buffersBecomeAnsweredMessages()
{
    QFETCH(QByteArray, buffer);
    QFETCH(bool, endIsMessage);
    QFETCH(Answers, answers);
    QFETCH(QStringList, errors);

    Collector collector;
    const int length = buffer.size();
    QCOMPARE(m_parser->postReceived(
                 buffer.data(), length, endIsMessage, zo4882::INTF_SOCKET, 3u, this, &collector),
        length);
    QTRY_COMPARE(collector.received.load(), answers.size());
    QCOMPARE(collector.answers, answers);
    for (unsigned tag : collector.tags)
        QCOMPARE(tag, 3u);
    QTRY_COMPARE(m_parser->pendingCount(), 0);
    QCOMPARE(takeErrors(), errors);
}

// A transport keeps the unused rest and hands it in again with the next read.
void tst_ZO4882Parser::partialReadsAreKeptUntilComplete()
{
    Collector collector;
    QByteArray buffer("ECHO? 1\nDATA? #15a\nb");
    const int used = m_parser->postReceived(
        buffer.data(), buffer.size(), false, zo4882::INTF_SOCKET, 0u, nullptr, &collector);
    QCOMPARE(used, 8);
    buffer = buffer.mid(used) + "\nc\n";
    QCOMPARE(m_parser->postReceived(
                 buffer.data(), buffer.size(), false, zo4882::INTF_SOCKET, 0u, nullptr, &collector),
        buffer.size());
    QTRY_COMPARE(collector.answers, (Answers { "+1\n", "+5\n" }));
}

void tst_ZO4882Parser::telnetPromptFollowsEveryMessage_data()
{
    QTest::addColumn<int>("intf");
    QTest::addColumn<QByteArray>("buffer");
    QTest::addColumn<Answers>("answers");

    QTest::newRow("query") << int(zo4882::INTF_TELNET) << QByteArray("*IDN?\n")
                           << Answers { "ZO,TEST,0,1.0\n", "\rload> " };
    QTest::newRow("setting") << int(zo4882::INTF_TELNET) << QByteArray("*RST\n")
                             << Answers { "\rload> " };
    QTest::newRow("error") << int(zo4882::INTF_TELNET) << QByteArray("NOPE\n")
                           << Answers { "\rload> " };
    QTest::newRow("two messages") << int(zo4882::INTF_TELNET) << QByteArray("ECHO? 1\n*RST\n")
                                  << Answers { "+1\n", "\rload> ", "\rload> " };
    QTest::newRow("raw socket has none")
        << int(zo4882::INTF_SOCKET) << QByteArray("*RST\nECHO? 1\n") << Answers { "+1\n" };
}

void tst_ZO4882Parser::telnetPromptFollowsEveryMessage()
{
    QFETCH(int, intf);
    QFETCH(QByteArray, buffer);
    QFETCH(Answers, answers);

    PreferenceInfo preferences;
    preferences.modify([](PreferenceInfo::Values &v) {
        v.telnetPrompt = QStringLiteral("load> ");
    });

    Collector collector;
    post(buffer, &collector, zo4882::INTF_TYPE_ENUM(intf));
    QTRY_COMPARE(collector.received.load(), answers.size());
    QTRY_COMPARE(m_parser->pendingCount(), 0);
    QCOMPARE(collector.answers, answers);
    takeErrors();
}

void tst_ZO4882Parser::deviceClearDiscardsQueuedMessages()
{
    Collector collector;
    // The running message stops at its next unit: no ECHO answer, and *RST never runs.
    post("HOLD;ECHO? 100;*RST\n", &collector, zo4882::INTF_SOCKET);
    QVERIFY(s_holdEntered.tryAcquire(1, 5000));
    for (int i = 0; i < 9; ++i)
        post("ECHO? " + QByteArray::number(i) + "\n", &collector, zo4882::INTF_SOCKET);
    post("NOPE\n", &collector, zo4882::INTF_SOCKET); // would be -113 if it ran
    QCOMPARE(m_parser->pendingCount(), 10);

    m_parser->deviceClear();
    QCOMPARE(m_parser->discardCount(), 10);
    post("ECHO? 99\n", &collector, zo4882::INTF_SOCKET);
    s_holdRelease.release();

    QTRY_COMPARE(collector.received.load(), 1);
    QCOMPARE(collector.answers, Answers { "+99\n" });
    QTRY_COMPARE(m_parser->pendingCount(), 0);
    QCOMPARE(m_parser->discardCount(), 0);
    QCOMPARE(takeLog(), QStringList { "HOLD" });
    QCOMPARE(takeErrors(), QStringList());

    // A clear with nothing queued leaves the next message alone.
    m_parser->deviceClear();
    post("ECHO? 7\n", &collector, zo4882::INTF_SOCKET);
    QTRY_COMPARE(collector.answers, (Answers { "+99\n", "+7\n" }));
}

void tst_ZO4882Parser::denyFlags_data()
{
    QTest::addColumn<unsigned>("deny");
    QTest::addColumn<QByteArray>("buffer");
    QTest::addColumn<QStringList>("ran");
    QTest::addColumn<Answers>("answers");
    QTest::addColumn<QStringList>("errors");
    QTest::addColumn<unsigned>("denyAfter");

    QTest::newRow("not denied") << 0u << QByteArray("ADMIN\n") << QStringList { "ADMIN" }
                                << Answers() << QStringList() << 0u;
    QTest::newRow("denied setting") << 1u << QByteArray("ADMIN\n") << QStringList() << Answers()
                                    << QStringList { "-221 ADMIN" } << 1u;
    QTest::newRow("other bits do not deny")
        << 6u << QByteArray("ADMIN\n") << QStringList { "ADMIN" } << Answers() << QStringList()
        << 6u;
    QTest::newRow("query never denied") << 1u << QByteArray("ADMIN?\n") << QStringList()
                                        << Answers { "+1\n" } << QStringList() << 1u;
    QTest::newRow("unlock applies within the message")
        << 3u << QByteArray("UNLOCK;ADMIN\n") << QStringList { "UNLOCK", "ADMIN" } << Answers()
        << QStringList() << 2u;
}

void tst_ZO4882Parser::denyFlags()
{
    QFETCH(unsigned, deny);
    QFETCH(QByteArray, buffer);
    QFETCH(QStringList, ran);
    QFETCH(Answers, answers);
    QFETCH(QStringList, errors);
    QFETCH(unsigned, denyAfter);

    m_parser->resetAndSetDenyFlags(~0u, deny);
    QCOMPARE(m_parser->denyFlags(), deny);
    Collector collector;
    post(buffer + "ECHO? 0\n", &collector, zo4882::INTF_SOCKET);
    QTRY_COMPARE(collector.received.load(), answers.size() + 1);
    QCOMPARE(collector.answers.mid(0, answers.size()), answers);
    QCOMPARE(takeLog(), ran);
    QCOMPARE(takeErrors(), errors);
    QCOMPARE(m_parser->denyFlags(), denyAfter);
}

void tst_ZO4882Parser::boundSettingRunsUnderRegistryMutex()
{
    Collector collector;
    post("BOUND;ECHO? 0\n", &collector, zo4882::INTF_SOCKET);
    QTRY_COMPARE(collector.received.load(), 1);
    QCOMPARE(takeLog(), QStringList { "BOUND locked" });
    QVERIFY(m_registry->getMutex()->tryLock());
    m_registry->getMutex()->unlock();
}

// Answers queued to a responder that is then destroyed are freed (the sanitizer run checks
// for leaks), and answers for messages that still carry its handle are dropped safely.
void tst_ZO4882Parser::responderGoneWhileAnswersInFlight()
{
    QThread thread;
    QObject context;
    auto *doomed = new Collector;
    doomed->moveToThread(&thread);
    context.moveToThread(&thread);
    thread.start();
    std::vector<zo4882::ScpiMessagePtr> late;
    for (int i = 0; i < 3; ++i)
        late.emplace_back(
            zo4882::createScpiMessage("ECHO? 1", 7, 0u, zo4882::INTF_SOCKET, nullptr, doomed));

    // Keep the responder's thread busy until its answers are queued, then destroy it there.
    QSemaphore queued;
    QSemaphore deleted;
    std::atomic<int> receivedBeforeDelete { -1 };
    QMetaObject::invokeMethod(&context, [&] {
        queued.tryAcquire(1, 10000);
        receivedBeforeDelete.store(doomed->received.load());
        delete doomed;
        deleted.release();
    });
    for (int i = 0; i < 50; ++i)
        post("ECHO? " + QByteArray::number(i) + "\n", doomed, zo4882::INTF_TELNET);
    Collector witness;
    post("ECHO? 0\n", &witness, zo4882::INTF_SOCKET);
    QTRY_COMPARE(witness.received.load(), 1); // the parser has queued all 100 answers
    queued.release();
    QVERIFY(deleted.tryAcquire(1, 10000));
    QCOMPARE(receivedBeforeDelete.load(), 0);

    QVERIFY(!late.front()->responder->isValid());
    for (auto &message : late)
        m_parser->post(message.release());
    post("ECHO? 2\n", &witness, zo4882::INTF_SOCKET);
    QTRY_COMPARE(witness.received.load(), 2);
    thread.quit();
    QVERIFY(thread.wait(10000));
    QCOMPARE(takeErrors(), QStringList());
}

void tst_ZO4882Parser::watchdogTripsOnceUntilRecovered()
{
    // A 20 ms tick in place of the product's second.
    m_parser.reset();
    m_parser = std::make_unique<ZO4882Parser>(m_index.get(), zo4882::NODE_NONE, 20);
    struct Trips
    {
        std::atomic<int> count { 0 };
        std::atomic<qint64> at { -1 };
        QElapsedTimer clock;
    };
    const auto state = std::make_shared<Trips>();
    std::atomic<int> &trips = state->count;
    std::atomic<qint64> &trippedAt = state->at;
    QElapsedTimer &clock = state->clock;
    clock.start();
    m_parser->setWatchdogHandler([state] {
        state->at.store(state->clock.elapsed());
        state->count.fetch_add(1);
    });
    m_parser->setWatchDog(200);
    QCOMPARE(m_parser->watchDogPeriod(), 200);

    // Never before the period has passed.
    QTRY_COMPARE_WITH_TIMEOUT(trips.load(), 1, 5000);
    QVERIFY2(trippedAt >= 200, QByteArray::number(trippedAt.load()));
    QVERIFY(m_parser->watchDogFired());
    // Fired once: many more ticks pass without a second trip.
    QVERIFY(!QTest::qWaitFor(
        [&] {
            return trips.load() > 1;
        },
        500));

    clock.restart();
    m_parser->recoverWatchDog();
    QVERIFY(!m_parser->watchDogFired());
    QTRY_COMPARE_WITH_TIMEOUT(trips.load(), 2, 5000);
    QVERIFY2(trippedAt >= 200, QByteArray::number(trippedAt.load()));
}

void tst_ZO4882Parser::trafficKeepsWatchdogQuiet()
{
    m_parser.reset();
    m_parser = std::make_unique<ZO4882Parser>(m_index.get(), zo4882::NODE_NONE, 20);
    const auto state = std::make_shared<std::atomic<int>>(0);
    std::atomic<int> &trips = *state;
    m_parser->setWatchdogHandler([state] {
        state->fetch_add(1);
    });
    m_parser->setWatchDog(1000);

    // A message every 100 ms for a second: the period, ten times the gap (room for a loaded
    // machine's scheduling), never passes.
    Collector collector;
    QElapsedTimer clock;
    clock.start();
    for (int i = 1; i <= 10; ++i) {
        post("ECHO? 1\n", &collector, zo4882::INTF_SOCKET);
        QTRY_COMPARE(collector.received.load(), i);
        QVERIFY(QTest::qWaitFor(
            [&] {
                return clock.elapsed() >= 100 * i;
            },
            1000));
    }
    QCOMPARE(trips.load(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(trips.load(), 1, 5000);

    // Off: no trip however long the silence.
    m_parser->recoverWatchDog();
    m_parser->setWatchDog(0);
    QVERIFY(!QTest::qWaitFor(
        [&] {
            return trips.load() > 1;
        },
        500));
}

// Eight sender threads, each with its own responder, post 10,000 messages each at once.
void tst_ZO4882Parser::concurrentSendersEachGetTheirOwnAnswersInOrder()
{
    constexpr int Senders = 8;
    constexpr int PerSender = 10000;
    std::atomic<int> total { 0 };
    std::vector<std::unique_ptr<QThread>> threads;
    std::vector<Collector *> collectors;
    QSemaphore go;
    for (int s = 0; s < Senders; ++s) {
        threads.push_back(std::make_unique<QThread>());
        auto *collector = new Collector;
        collector->sharedCount = &total;
        collector->moveToThread(threads.back().get());
        connect(threads.back().get(), &QThread::finished, collector, &QObject::deleteLater);
        collectors.push_back(collector);
        threads.back()->start();
        QMetaObject::invokeMethod(collector, [this, collector, s, &go] {
            go.tryAcquire(1, 10000);
            for (int i = 0; i < PerSender; ++i) {
                QByteArray text = "ECHO? " + QByteArray::number(s * PerSender + i) + "\n";
                m_parser->postReceived(text.data(),
                    text.size(),
                    false,
                    zo4882::INTF_SOCKET,
                    unsigned(s),
                    nullptr,
                    collector);
            }
        });
    }
    go.release(Senders);
    QTRY_COMPARE_WITH_TIMEOUT(total.load(), Senders * PerSender, 120000);
    QTRY_COMPARE(m_parser->pendingCount(), 0);
    QCOMPARE(total.load(), Senders * PerSender);

    for (int s = 0; s < Senders; ++s) {
        Collector *c = collectors[size_t(s)];
        QCOMPARE(c->received.load(), PerSender);
        for (int i = 0; i < PerSender; ++i) {
            const QByteArray expected = "+" + QByteArray::number(s * PerSender + i) + "\n";
            if (c->answers.at(i) != expected || c->tags.at(i) != unsigned(s))
                QFAIL(qPrintable(QStringLiteral("sender %1 answer %2: %3")
                                     .arg(s)
                                     .arg(i)
                                     .arg(QString::fromLatin1(c->answers.at(i)))));
        }
    }
    for (auto &thread : threads) {
        thread->quit();
        QVERIFY(thread->wait(10000));
    }
    QCOMPARE(takeErrors(), QStringList());
}

void tst_ZO4882Parser::stopEndsTheWaitOfTheRunningMessage_data()
{
    QTest::addColumn<QByteArray>("command");

    QTest::newRow("*OPC? with an operation that never completes") << QByteArray("OPCWAIT");
    QTest::newRow("request ended by OnShutdown") << QByteArray("GATE");
}

// Shutting down must not hang on a message parked in a wait; neither the rest of that message
// nor the messages queued behind it run.
void tst_ZO4882Parser::stopEndsTheWaitOfTheRunningMessage()
{
    QFETCH(QByteArray, command);

    m_parser.reset();
    m_parser = std::make_unique<GateParser>(m_index.get(), zo4882::NODE_NONE);
    zo4882::s_opc.initiate(zo4882::ZO4882Opc::Acquisition);
    Collector collector;
    post(command + ";ECHO? 1\n", &collector, zo4882::INTF_SOCKET);
    post("ECHO? 2\n", &collector, zo4882::INTF_SOCKET);
    QVERIFY(s_waitEntered.tryAcquire(1, 5000));

    std::atomic<bool> stopped { false };
    std::thread stopper([this, &stopped] {
        m_parser.reset();
        stopped.store(true);
    });
    const bool ended = QTest::qWaitFor(
        [&stopped] {
            return stopped.load();
        },
        5000);
    if (!ended) {
        zo4882::s_opc.complete(zo4882::ZO4882Opc::Acquisition);
        s_gate.release();
    }
    stopper.join();
    QVERIFY(ended);
    QCOMPARE(takeLog(), QStringList { QString::fromLatin1(command) });
    QCoreApplication::sendPostedEvents();
    QCOMPARE(collector.received.load(), 0);
}

// The sanitizer run checks that the refused message is freed.
void tst_ZO4882Parser::postAfterStopIsFreed()
{
    Collector collector;
    m_parser->stop();
    QCOMPARE(ZO4882Parser::s_pSelf.load(), nullptr);
    QCOMPARE(m_parser->post(zo4882::createScpiMessage(
                 "ECHO? 1", 7, 0u, zo4882::INTF_SOCKET, nullptr, &collector)),
        0);
    QCOMPARE(m_parser->pendingCount(), 0);
    m_parser->stop();
    QCoreApplication::sendPostedEvents();
    QCOMPARE(collector.received.load(), 0);
}

QTEST_MAIN(tst_ZO4882Parser)
#include "tst_ZO4882Parser.moc"
