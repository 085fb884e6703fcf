#include "remote/ZO4882Parser.h"
#include "remote/ZOSystErrCue.h"
#include "remote/ZOTcpService_ScpiRaw.h"
#include "remote/ZOTcpSession_ScpiRaw.h"
#include "tests/remote/LineEchoService.h"
#include "tests/remote/support/ParserTestDictionary.h"
#include "tests/remote/support/RecordingResponder.h"

#include <QSemaphore>
#include <QTcpServer>
#include <QtTest>

#include <memory>
#include <sys/socket.h>

using zo4882::s_systErrCue;
using zo4882::ZO4882Parser;
using zo4882::ZOTcpService_ScpiRaw;
using zo4882::ZOTcpSession_ScpiRaw;

namespace {

// The session with its decoder callable, around a socket that is never connected.
class DecoderProbe : public ZOTcpSession_ScpiRaw
{
public:
    explicit DecoderProbe(ZO4882Parser *parser)
        : ZOTcpSession_ScpiRaw(new QTcpSocket, parser)
    { }
    int decode(QByteArray bytes)
    {
        return OnDataReceive(reinterpret_cast<const unsigned char *>(bytes.data()), bytes.size());
    }
};

// "code interface" of every queued error, oldest first; empties the queue.
QStringList takeErrors()
{
    QStringList errors;
    while (!s_systErrCue.isEmpty()) {
        const zo4882::SYST_ERR_INFO e = s_systErrCue.decue();
        errors << QStringLiteral("%1 %2").arg(e.code()).arg(int(e.intf()));
    }
    return errors;
}

QByteArray numbered(const char *format, int from, int to)
{
    QByteArray text;
    for (int i = from; i <= to; ++i)
        text += QByteArray(format).replace("%d", QByteArray::number(i));
    return text;
}

// The answer of SYST:BIG? n (n < 10000): a definite-length block of n bytes.
QByteArray bigAnswer(int n)
{
    return "#4" + QByteArray::number(n).rightJustified(4, '0') + QByteArray(n, 'x') + '\n';
}

// The same for any n: at least four length digits, six from 10000 on.
QByteArray blockAnswer(int n)
{
    const QByteArray length = QByteArray::number(n).rightJustified(n < 10000 ? 4 : 6, '0');
    return "#" + QByteArray::number(length.size()) + length + QByteArray(n, 'x') + '\n';
}

const QByteArray Identity = "ZO,TEST,0,1.0\n";

// Everything the peer sends until it ends the connection (bounded); ended tells whether it did.
QByteArray readToEnd(QTcpSocket &client, bool *ended)
{
    QByteArray got;
    QElapsedTimer clock;
    clock.start();
    while (client.state() != QAbstractSocket::UnconnectedState && clock.elapsed() < 10000) {
        got += client.readAll();
        client.waitForReadyRead(100);
    }
    got += client.readAll();
    *ended = client.state() == QAbstractSocket::UnconnectedState;
    return got;
}

// Holds the parser's thread until release(), so a session's end overtakes its answers.
class ParserGate
{
public:
    explicit ParserGate(ZO4882Parser *parser)
    {
        // Shared: the parser thread may still be leaving the wait when the gate is gone.
        const std::shared_ptr<QSemaphore> open = m_open;
        QMetaObject::invokeMethod(
            parser,
            [open] {
                open->tryAcquire(1, 10000);
            },
            Qt::QueuedConnection);
    }
    ~ParserGate() { release(); }
    void release()
    {
        if (!m_released)
            m_open->release();
        m_released = true;
    }

private:
    const std::shared_ptr<QSemaphore> m_open = std::make_shared<QSemaphore>();
    bool m_released = false;
};

} // namespace

// The raw-socket transport: how the byte stream is cut into program messages, and what clients
// on real connections get back.
class tst_ZOTcpSession_ScpiRaw : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void decoderCutsMessages_data();
    void decoderCutsMessages();
    void queriesAreAnsweredInOrder_data();
    void queriesAreAnsweredInOrder();
    void overrunQueuesOneErrorAndReceptionGoesOn();
    void overrunDropsTheWholeMessage_data();
    void overrunDropsTheWholeMessage();
    void floodingClientIsHeldBack();
    void clientNotReadingIsHeldBack();
    void closedSessionsMessagesAreDropped();
    void twoClientsGetOnlyTheirOwnAnswers();
    void clientLeavingMidAnswerDisturbsNoOne();
    void answersBeyondTheSocketBuffersKeepTheirOrder_data();
    void answersBeyondTheSocketBuffersKeepTheirOrder();
    void clientLeavingAmidShortAnswersDisturbsNoOne();
    void serviceStoppingWhileAnswersFlowFreesThem();
    void clientEndingItsSendingGetsItsAnswers_data();
    void clientEndingItsSendingGetsItsAnswers();
    void heldParserDoesNotKeepAnEndedConnection();
    void clientClosingRightAfterSendingDisturbsNoOne_data();
    void clientClosingRightAfterSendingDisturbsNoOne();
    void occupiedPortIsReported();

private:
    // Waits until the parser has run everything posted before; then log() is complete.
    bool drainParser();

    std::unique_ptr<ZO4882Parser> m_parser;
    std::unique_ptr<ZOTcpService_ScpiRaw> m_service;
};

void tst_ZOTcpSession_ScpiRaw::init()
{
    s_systErrCue.clear();
    parsertest::log().clear();
    m_parser = std::make_unique<ZO4882Parser>(parsertest::dictionary(), zo4882::NODE_SOURCE);
    m_service = std::make_unique<ZOTcpService_ScpiRaw>(0, m_parser.get(), QHostAddress::LocalHost);
    QCOMPARE(m_service->start(), 0);
}

void tst_ZOTcpSession_ScpiRaw::cleanup()
{
    m_service.reset();
    m_parser.reset();
    QCoreApplication::sendPostedEvents();
    s_systErrCue.clear();
}

bool tst_ZOTcpSession_ScpiRaw::drainParser()
{
    RecordingResponder responder;
    QByteArray query("*IDN?\n");
    m_parser->postReceived(
        query.data(), query.size(), false, zo4882::INTF_PANEL, 0, nullptr, &responder);
    if (!QTest::qWaitFor(
            [&] {
                return !responder.answers.isEmpty();
            },
            10000))
        return false;
    parsertest::log().removeLast();
    return true;
}

void tst_ZOTcpSession_ScpiRaw::decoderCutsMessages_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("used");
    QTest::addColumn<QStringList>("executed");
    QTest::addColumn<QStringList>("errors");

    const QStringList none;
    QTest::newRow("one query") << QByteArray("*IDN?\n") << 6 << QStringList { "*IDN?" } << none;
    QTest::newRow("two messages") << QByteArray("*IDN?\n*RST\n") << 11
                                  << QStringList { "*IDN?", "*RST" } << none;
    // A session has at most eight messages in the parser; the rest waits in its buffer.
    QStringList eight;
    for (int i = 1; i <= 8; ++i)
        eight << QStringLiteral("SYST:ARGS +%1").arg(i);
    QTest::newRow("twenty messages, eight posted")
        << numbered("SYST:ARGS %d\n", 1, 20) << numbered("SYST:ARGS %d\n", 1, 8).size() << eight
        << none;
    QTest::newRow("unterminated rest stays")
        << QByteArray("*RST\nSYST:AR") << 5 << QStringList { "*RST" } << none;
    QTest::newRow("piece without terminator") << QByteArray("SYST:ARGS 1") << 0 << none << none;
    QTest::newRow("lone carriage return") << QByteArray("\r") << 1 << none << none;
    QTest::newRow("lone newline") << QByteArray("\n") << 1 << none << none;
    QTest::newRow("control bytes around a message")
        << QByteArray("\r\n\r\n*RST\r\n\r") << 11 << QStringList { "*RST" } << none;
    QTest::newRow("newline inside block data")
        << QByteArray("SYST:ARGS #15a\nbcd\n") << 19 << QStringList { "SYST:ARGS a\nbcd" } << none;
    QTest::newRow("block data not complete yet")
        << QByteArray("SYST:ARGS #15a\nb") << 0 << none << none;
    QTest::newRow("buffer one byte short of full") << QByteArray(4095, 'x') << 0 << none << none;
    QTest::newRow("full buffer without terminator")
        << QByteArray(4096, 'x') << 4096 << none << QStringList { "-363 1" };
    QTest::newRow("full buffer of a block too long")
        << (QByteArray("SYST:ARGS #44100") + QByteArray(4080, 'b')) << 4096 << none
        << QStringList { "-363 1" };
    QTest::newRow("full buffer behind a message")
        << (QByteArray("*RST\n") + QByteArray(4091, 'x')) << 5 << QStringList { "*RST" } << none;
}

void tst_ZOTcpSession_ScpiRaw::decoderCutsMessages()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, used);
    QFETCH(QStringList, executed);
    QFETCH(QStringList, errors);

    DecoderProbe session(m_parser.get());
    QCOMPARE(session.decode(bytes), used);
    QVERIFY(drainParser());
    QCOMPARE(parsertest::log(), executed);
    QCOMPARE(takeErrors(), errors);
}

void tst_ZOTcpSession_ScpiRaw::queriesAreAnsweredInOrder_data()
{
    QTest::addColumn<QByteArrayList>("writes");
    QTest::addColumn<QByteArray>("answers");

    QTest::newRow("identification") << QByteArrayList { "*IDN?\n" } << Identity;
    QTest::newRow("two queries in one write")
        << QByteArrayList { "*IDN?\nSYST:BIG? 3\n" } << (Identity + bigAnswer(3));
    QByteArray twenty;
    for (int i = 1; i <= 20; ++i)
        twenty += bigAnswer(i);
    QTest::newRow("twenty queries in one write")
        << QByteArrayList { numbered("SYST:BIG? %d\n", 1, 20) } << twenty;
    // More than the socket's own read buffer arrives at once.
    QByteArray many;
    for (int i = 1; i <= 300; ++i)
        many += bigAnswer(i % 7);
    QByteArray manyQueries;
    for (int i = 1; i <= 300; ++i)
        manyQueries += "SYST:BIG? " + QByteArray::number(i % 7) + '\n';
    QTest::newRow("three hundred queries in one write") << QByteArrayList { manyQueries } << many;
    QTest::newRow("query split over two writes") << QByteArrayList { "*ID", "N?\n" } << Identity;
    QTest::newRow("query split at its terminator")
        << QByteArrayList { "*IDN?", "\n*IDN?\n" } << (Identity + Identity);
    QTest::newRow("one byte per write")
        << QByteArrayList { "S", "Y", "S", "T", ":", "B", "I", "G", "?", " ", "2", "\r", "\n" }
        << bigAnswer(2);
    QTest::newRow("block data split around its newline")
        << QByteArrayList { "SYST:ARGS #15a", "\nbc", "d\n*IDN?\n" } << Identity;
}

void tst_ZOTcpSession_ScpiRaw::queriesAreAnsweredInOrder()
{
    QFETCH(QByteArrayList, writes);
    QFETCH(QByteArray, answers);

    QTcpSocket client;
    QVERIFY(connectClient(client, m_service->port()));
    client.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    for (const QByteArray &piece : writes) {
        client.write(piece);
        QVERIFY(client.waitForBytesWritten(5000));
    }
    // A message run twice would put its answer before the closing query's.
    client.write("*IDN?\n");
    QCOMPARE(readBytes(client, answers.size() + Identity.size()), answers + Identity);
    QCOMPARE(takeErrors(), QStringList());
}

void tst_ZOTcpSession_ScpiRaw::overrunQueuesOneErrorAndReceptionGoesOn()
{
    QTcpSocket client;
    QVERIFY(connectClient(client, m_service->port()));
    client.write(QByteArray(4096, 'x'));
    client.write("\n*IDN?\n");
    QCOMPARE(readBytes(client, Identity.size()), Identity);
    QCOMPARE(takeErrors(), QStringList { "-363 1" });

    // Less than a full buffer is kept and completes normally: a block upload in two writes.
    client.write(QByteArray("SYST:ARGS #43990") + QByteArray(3000, 'y'));
    QVERIFY(client.waitForBytesWritten(5000));
    client.write(QByteArray(990, 'y') + "\n*IDN?\n");
    QCOMPARE(readBytes(client, Identity.size()), Identity);
    QVERIFY(drainParser());
    QCOMPARE(parsertest::log().size(), 3);
    QCOMPARE(parsertest::log().at(1), "SYST:ARGS " + QString(3990, 'y'));
    QCOMPARE(takeErrors(), QStringList());
}

void tst_ZOTcpSession_ScpiRaw::overrunDropsTheWholeMessage_data()
{
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("blanks, then further units")
        << ("SYST:ARGS 2" + QByteArray(4994, ' ') + ";SYST:ARGS 7\n");
    QByteArray data(5000, 'b');
    data.replace(100, 13, "\nSYST:ARGS 9\n");
    QTest::newRow("block holding a message") << ("SYST:ARGS #45000" + data + "\n");
    QTest::newRow("block of several buffers")
        << ("SYST:ARGS #510000" + QByteArray(10000, '\n') + ";SYST:ARGS 9\n");
    QTest::newRow("text of several buffers") << (QByteArray(10000, 'x') + ";SYST:ARGS 9\n");
}

// Input that overruns the buffer is dropped through the end of its message (with a block's
// announced bytes taken as data): one -363, no fragment runs, and the next message does.
void tst_ZOTcpSession_ScpiRaw::overrunDropsTheWholeMessage()
{
    QFETCH(QByteArray, bytes);

    QTcpSocket client;
    QVERIFY(connectClient(client, m_service->port()));
    client.write(bytes);
    client.write("*IDN?\n");
    QCOMPARE(readBytes(client, Identity.size()), Identity);
    QVERIFY(drainParser());
    QCOMPARE(parsertest::log(), QStringList { "*IDN?" });
    QCOMPARE(takeErrors(), QStringList { "-363 1" });
}

// A client sending faster than the parser runs is held back by its connection: never more than
// the session's bound of its messages waits in the parser, and none is lost.
void tst_ZOTcpSession_ScpiRaw::floodingClientIsHeldBack()
{
    QTcpSocket client;
    QVERIFY(connectClient(client, m_service->port()));
    const int count = 20000;
    {
        ParserGate gate(m_parser.get());
        client.write(numbered("SYST:ARGS %d\n", 1, count));
        QTRY_COMPARE(m_parser->pendingCount(), 8);
        QTest::qWait(200);
        QCOMPARE(m_parser->pendingCount(), 8);
    }
    client.write("*IDN?\n");
    QCOMPARE(readBytes(client, Identity.size(), 30000), Identity);
    QCOMPARE(parsertest::log().size(), count + 1);
    QCOMPARE(parsertest::log().at(count - 1), QStringLiteral("SYST:ARGS +%1").arg(count));
}

// A client that never reads its answers stops being read: the answers waiting for it stay
// bounded, and it gets them all, in order, once it reads.
void tst_ZOTcpSession_ScpiRaw::clientNotReadingIsHeldBack()
{
    QTcpSocket client;
    QVERIFY(connectClient(client, m_service->port()));
    client.setReadBufferSize(4096);
    const int count = 1000;
    client.write(numbered("SYST:BIG? 40000\n", 1, count));
    // 40 MB of answers: far beyond the socket buffers, so the session has stopped before.
    QTest::qWait(1000);
    QVERIFY(drainParser());
    const int ran = parsertest::log().size();
    QVERIFY2(ran < count / 2, qPrintable(QString::number(ran)));
    client.setReadBufferSize(0);
    const QByteArray answer = blockAnswer(40000);
    for (int i = 0; i < count; ++i)
        QCOMPARE(readBytes(client, answer.size(), 10000), answer);
    QCOMPARE(takeErrors(), QStringList());
}

// The messages of a session that has closed are dropped unparsed, as a device clear would.
void tst_ZOTcpSession_ScpiRaw::closedSessionsMessagesAreDropped()
{
    ParserGate gate(m_parser.get());
    {
        QTcpSocket client;
        QVERIFY(connectClient(client, m_service->port()));
        client.write(numbered("SYST:ARGS %d\n", 1, 5));
        QTRY_COMPARE(m_parser->pendingCount(), 5);
        client.abort();
    }
    QTRY_COMPARE(m_service->sessionCount(), 0);
    gate.release();
    QVERIFY(drainParser());
    QCOMPARE(parsertest::log(), QStringList());
}

void tst_ZOTcpSession_ScpiRaw::twoClientsGetOnlyTheirOwnAnswers()
{
    QTcpSocket first;
    QTcpSocket second;
    QVERIFY(connectClient(first, m_service->port()));
    QVERIFY(connectClient(second, m_service->port()));
    QByteArray firstAnswers;
    QByteArray secondAnswers;
    for (int i = 1; i <= 50; ++i) {
        first.write("SYST:BIG? " + QByteArray::number(i % 5) + '\n');
        second.write("SYST:BIG? " + QByteArray::number(5 + i % 5) + '\n');
        firstAnswers += bigAnswer(i % 5);
        secondAnswers += bigAnswer(5 + i % 5);
    }
    QCOMPARE(readBytes(second, secondAnswers.size()), secondAnswers);
    QCOMPARE(readBytes(first, firstAnswers.size()), firstAnswers);
    QCOMPARE(m_service->sessionCount(), 2);
}

void tst_ZOTcpSession_ScpiRaw::clientLeavingMidAnswerDisturbsNoOne()
{
    QTcpSocket stay;
    QVERIFY(connectClient(stay, m_service->port()));
    {
        // Far more answer bytes than the socket buffers hold; the client reads a few and leaves.
        QTcpSocket leaver;
        QVERIFY(connectClient(leaver, m_service->port()));
        leaver.write(numbered("SYST:BIG? 40000\n", 1, 200));
        QVERIFY(!readBytes(leaver, 1000).isEmpty());
        leaver.abort();
    }
    QTRY_COMPARE(m_service->sessionCount(), 1);

    stay.write("*IDN?\nSYST:BIG? 4\n");
    QCOMPARE(readBytes(stay, Identity.size() + bigAnswer(4).size()), Identity + bigAnswer(4));
    QTcpSocket next;
    QVERIFY(connectClient(next, m_service->port()));
    next.write("*IDN?\n");
    QCOMPARE(readBytes(next, Identity.size()), Identity);
    QVERIFY(drainParser());
    QCOMPARE(takeErrors(), QStringList());
}

void tst_ZOTcpSession_ScpiRaw::answersBeyondTheSocketBuffersKeepTheirOrder_data()
{
    QTest::addColumn<bool>("readLate");
    QTest::addColumn<QByteArray>("queries");
    QTest::addColumn<QByteArray>("answers");

    // About 12 MB of answers: the kernel's buffers fill, the answers that do not fit wait in
    // the session, and short answers behind them must not overtake them, neither while the
    // client reads along (room comes free at random) nor when it reads after the parser ran.
    QByteArray queries;
    QByteArray answers;
    for (int i = 0; i < 300; ++i) {
        queries += "SYST:BIG? 40000\n*IDN?\nSYST:BIG? " + QByteArray::number(i % 9) + '\n';
        answers += blockAnswer(40000) + Identity + blockAnswer(i % 9);
    }
    QTest::newRow("long answers between short ones") << false << queries << answers;
    QTest::newRow("long answers between short ones, read late") << true << queries << answers;
    QByteArray shortAnswers;
    for (int i = 1; i <= 300; ++i)
        shortAnswers += blockAnswer(i);
    QTest::newRow("short answers behind long ones")
        << false << (numbered("SYST:BIG? 40000\n", 1, 300) + numbered("SYST:BIG? %d\n", 1, 300))
        << (QByteArray().append(blockAnswer(40000).repeated(300)) + shortAnswers);
}

void tst_ZOTcpSession_ScpiRaw::answersBeyondTheSocketBuffersKeepTheirOrder()
{
    QFETCH(bool, readLate);
    QFETCH(QByteArray, queries);
    QFETCH(QByteArray, answers);

    QTcpSocket client;
    QVERIFY(connectClient(client, m_service->port()));
    client.write(queries);
    QVERIFY(client.waitForBytesWritten(5000));
    if (readLate)
        QVERIFY(drainParser());
    QCOMPARE(readBytes(client, answers.size(), 30000), answers);
    // Once everything went out, answers flow as before.
    client.write("*IDN?\nSYST:BIG? 5\n");
    QCOMPARE(readBytes(client, Identity.size() + bigAnswer(5).size()), Identity + bigAnswer(5));
    QCOMPARE(client.bytesAvailable(), 0);
    QCOMPARE(takeErrors(), QStringList());
}

void tst_ZOTcpSession_ScpiRaw::clientLeavingAmidShortAnswersDisturbsNoOne()
{
    QTcpSocket stay;
    QVERIFY(connectClient(stay, m_service->port()));
    for (int round = 0; round < 20; ++round) {
        QTcpSocket leaver;
        QVERIFY(connectClient(leaver, m_service->port()));
        leaver.write(numbered("*IDN?\nSYST:BIG? %d\n", 1, 100));
        QVERIFY(leaver.waitForBytesWritten(5000));
        if (round % 2 == 1)
            QVERIFY(!readBytes(leaver, 1).isEmpty());
        leaver.abort();
    }
    QVERIFY(drainParser());
    QTRY_COMPARE(m_service->sessionCount(), 1);
    stay.write("*IDN?\n");
    QCOMPARE(readBytes(stay, Identity.size()), Identity);
    QCOMPARE(takeErrors(), QStringList());
}

// Sessions end while the parser still answers them: the answers are dropped, nothing is
// written to a closed or reused descriptor, and the parser carries on.
void tst_ZOTcpSession_ScpiRaw::serviceStoppingWhileAnswersFlowFreesThem()
{
    QTcpSocket client;
    QVERIFY(connectClient(client, m_service->port()));
    QTcpSocket quick;
    QVERIFY(connectClient(quick, m_service->port()));
    client.write(numbered("SYST:BIG? 1048576\n*IDN?\n", 1, 20));
    quick.write(numbered("*IDN?\n", 1, 2000));
    QVERIFY(client.waitForBytesWritten(5000));
    QVERIFY(quick.waitForBytesWritten(5000));
    QVERIFY(!readBytes(client, 1).isEmpty());
    m_service.reset();
    QVERIFY(drainParser());
    QTRY_COMPARE(client.state(), QAbstractSocket::UnconnectedState);
    QTRY_COMPARE(quick.state(), QAbstractSocket::UnconnectedState);
}

void tst_ZOTcpSession_ScpiRaw::clientEndingItsSendingGetsItsAnswers_data()
{
    QTest::addColumn<QByteArray>("queries");
    QTest::addColumn<int>("messages");
    QTest::addColumn<QByteArray>("answers");

    QTest::newRow("one query") << QByteArray("*IDN?\n") << 1 << Identity;
    QTest::newRow("three queries") << QByteArray("SYST:BIG? 1\nSYST:BIG? 2\nSYST:BIG? 3\n") << 3
                                   << (bigAnswer(1) + bigAnswer(2) + bigAnswer(3));
    QTest::newRow("answer beyond the socket buffers")
        << QByteArray("SYST:BIG? 9000\n*IDN?\n") << 2 << (bigAnswer(9000) + Identity);
    // More than the flow control lets into the parser at once: the rest follows at the end.
    QTest::newRow("a hundred queries")
        << numbered("*IDN?\n", 1, 100) << 100 << QByteArray(Identity).repeated(100);
}

// A client that ends its sending side right after its queries (as a pipe into a socket tool
// does) reads every answer, in order, and then the end of the connection. The parser is held
// until the session has seen the end, so the answers come after it.
void tst_ZOTcpSession_ScpiRaw::clientEndingItsSendingGetsItsAnswers()
{
    QFETCH(QByteArray, queries);
    QFETCH(int, messages);
    QFETCH(QByteArray, answers);

    QTcpSocket client;
    QVERIFY(connectClient(client, m_service->port()));
    ParserGate gate(m_parser.get());
    client.write(queries);
    QVERIFY(client.waitForBytesWritten(5000));
    QCOMPARE(::shutdown(int(client.socketDescriptor()), SHUT_WR), 0);
    QTRY_COMPARE(m_parser->pendingCount(), messages);
    gate.release();

    bool ended = false;
    QCOMPARE(readToEnd(client, &ended), answers);
    QVERIFY(ended);
    QTRY_COMPARE(m_service->sessionCount(), 0);
    QCOMPARE(takeErrors(), QStringList());
}

// The wait for the answers is bounded: a parser stuck longer lets the connection end without
// them (here a bound of 100 ms), and the answers are dropped later.
void tst_ZOTcpSession_ScpiRaw::heldParserDoesNotKeepAnEndedConnection()
{
    m_service =
        std::make_unique<ZOTcpService_ScpiRaw>(0, m_parser.get(), QHostAddress::LocalHost,
            ZOTcpService_ScpiRaw::DefaultMaxSessions, 100);
    QCOMPARE(m_service->start(), 0);
    QTcpSocket client;
    QVERIFY(connectClient(client, m_service->port()));
    ParserGate gate(m_parser.get());
    client.write("*IDN?\n");
    QVERIFY(client.waitForBytesWritten(5000));
    QCOMPARE(::shutdown(int(client.socketDescriptor()), SHUT_WR), 0);
    QTRY_COMPARE(m_parser->pendingCount(), 1);

    bool ended = false;
    QCOMPARE(readToEnd(client, &ended), QByteArray());
    QVERIFY(ended);
    QTRY_COMPARE(m_service->sessionCount(), 0);
    gate.release();
    QVERIFY(drainParser());
    QCOMPARE(takeErrors(), QStringList());
}

void tst_ZOTcpSession_ScpiRaw::clientClosingRightAfterSendingDisturbsNoOne_data()
{
    QTest::addColumn<bool>("reset");

    QTest::newRow("closed") << false;
    QTest::newRow("reset") << true;
}

// The answers meet a closed or reset connection: they are dropped and the next client is served.
void tst_ZOTcpSession_ScpiRaw::clientClosingRightAfterSendingDisturbsNoOne()
{
    QFETCH(bool, reset);

    {
        QTcpSocket leaver;
        QVERIFY(connectClient(leaver, m_service->port()));
        ParserGate gate(m_parser.get());
        leaver.write(numbered("SYST:BIG? 9000\n*IDN?\n", 1, 10));
        QVERIFY(leaver.waitForBytesWritten(5000));
        if (reset) {
            const linger hard { 1, 0 };
            QCOMPARE(::setsockopt(
                         int(leaver.socketDescriptor()), SOL_SOCKET, SO_LINGER, &hard, sizeof hard),
                0);
        }
        leaver.abort();
        // Those the flow control held back are passed on as the connection closes.
        QTRY_COMPARE(m_parser->pendingCount(), 20);
    }
    QVERIFY(drainParser());
    QTRY_COMPARE(m_service->sessionCount(), 0);

    QTcpSocket next;
    QVERIFY(connectClient(next, m_service->port()));
    next.write("*IDN?\n");
    QCOMPARE(readBytes(next, Identity.size()), Identity);
    QCOMPARE(takeErrors(), QStringList());
}

void tst_ZOTcpSession_ScpiRaw::occupiedPortIsReported()
{
    QTcpServer occupant;
    QVERIFY(occupant.listen(QHostAddress::LocalHost, 0));
    ZOTcpService_ScpiRaw service(occupant.serverPort(), m_parser.get(), QHostAddress::LocalHost);
    QCOMPARE(service.start(), -310);
    QVERIFY(!service.isListening());
    QCOMPARE(takeErrors(), QStringList { "-310 0" });

    // The running service is untouched.
    QTcpSocket client;
    QVERIFY(connectClient(client, m_service->port()));
    client.write("*IDN?\n");
    QCOMPARE(readBytes(client, Identity.size()), Identity);
}

QTEST_GUILESS_MAIN(tst_ZOTcpSession_ScpiRaw)
#include "tst_ZOTcpSession_ScpiRaw.moc"
