#include "remote/QueueError.h"
#include "remote/StatusRegisters.h"
#include "remote/ZOHislipDelegate.h"
#include "remote/ZOSystErrCue.h"
#include "tests/remote/support/ErrorEntries.h"
#include "tests/remote/support/RecordingResponder.h"

#include <QtTest>

#include <memory>

using zo4882::HISLIP_MESSAGE_HEADER;
using zo4882::s_systErrCue;
using zo4882::ZOHislipDelegate;
using Hs = zo4882::ZOHislipDelegate;

namespace {

struct Sent
{
    int type;
    int control;
    quint32 parameter;
    QByteArray payload;
};

// One connection without a socket: what the delegate sends and posts is recorded.
class FakeConnection : public ZOHislipDelegate
{
public:
    FakeConnection()
        : ZOHislipDelegate(0)
    { }
    ~FakeConnection() override { OnSessionClose(this); }

    QList<Sent> sent;
    QList<QPair<QByteArray, unsigned>> posted;
    RecordingResponder responder; // service requests of an asynchronous connection

    // Feeds bytes as a session would; returns the bytes left unused.
    int feed(const QByteArray &bytes)
    {
        m_held += bytes;
        const int used = OnDataReceive(
            this, reinterpret_cast<const unsigned char *>(m_held.constData()), m_held.size());
        m_held.remove(0, used);
        return m_held.size();
    }
    int send(int type, int control, quint32 parameter, const QByteArray &payload = {})
    {
        return feed(HISLIP_MESSAGE_HEADER::encode(uchar(type), uchar(control), parameter, payload));
    }
    Sent last() const { return sent.isEmpty() ? Sent { -1, -1, 0, {} } : sent.last(); }
    void close() { OnSessionClose(this); }

protected:
    void OnCmdReceive(const void *, char *text, int length, unsigned tag) override
    {
        posted << qMakePair(QByteArray(text, length), tag);
    }
    void OnDeviceClearReceive(const void *) override { }
    void OnControlRENReceive(const void *, int) override { }
    void OnControlLLOReceive(const void *) override { }
    void OnControlRemoteReceive(const void *, int) override { }
    void sendMessage(const QByteArray &m) override
    {
        const auto *p = reinterpret_cast<const uchar *>(m.constData());
        sent << Sent { p[2],
            p[3],
            (quint32(p[4]) << 24) | (quint32(p[5]) << 16) | (quint32(p[6]) << 8) | p[7],
            m.mid(HISLIP_MESSAGE_HEADER::Size) };
    }
    std::shared_ptr<zostd::ZOTcpSession::AnswerPort> ownPort() const override { return {}; }
    std::shared_ptr<zo4882::ZOScpiResponderLink> ownResponderLink() const override
    {
        return responder.link();
    }

private:
    QByteArray m_held;
};

// A client: its synchronous and asynchronous connection, initialized.
struct FakeClient
{
    FakeConnection sync;
    FakeConnection async;

    explicit FakeClient(const char vendor[2] = "PY")
    {
        sync.send(Hs::Initialize, 0, (0x0100u << 16) | (uchar(vendor[0]) << 8) | uchar(vendor[1]));
        async.send(Hs::AsyncInitialize, 0, sync.last().parameter & 0xFFFF);
    }
};

} // namespace

// The HiSLIP decoder and the per-client state, without sockets: messages in, messages sent,
// program messages posted and errors queued out.
class tst_ZOHislipDelegate : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { s_systErrCue.clear(); }

    void framing_data();
    void framing();
    void dataAcrossMessagesAndManyInOne();
    void inputOverrunQueues363AndEmptiesTheBuffer();
    void staleAnswerIsDroppedWithInterrupted();
    void unreadAnswerQueues410();
    void overlappedAnswersCountFromTheirOwnIds();
    void statusReportsTheServiceRequest_data();
    void statusReportsTheServiceRequest();
    void closingTheSyncConnectionReleasesItsLocks();
};

void tst_ZOHislipDelegate::framing_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("left"); // bytes kept for more
    QTest::addColumn<int>("reply"); // message type sent, -1 for none

    const QByteArray init = HISLIP_MESSAGE_HEADER::encode(Hs::Initialize, 0, 0x01005059);
    QTest::newRow("whole message") << init << 0 << int(Hs::InitializeResponse);
    QTest::newRow("garbage first")
        << QByteArray("xx\0\xff", 4) + init << 0 << int(Hs::InitializeResponse);
    QTest::newRow("half a header") << init.left(9) << 9 << -1;
    QTest::newRow("no prologue") << QByteArray("abcdef") << 0 << -1;
    QTest::newRow("final H kept") << QByteArray("abcH") << 1 << -1;
    QByteArray huge = HISLIP_MESSAGE_HEADER::encode(Hs::Data, 0, 0);
    huge[8] = 1; // 2^56 bytes
    QTest::newRow("payload of 2^56") << huge + "more" << 0 << int(Hs::Error);
    QTest::newRow("payload of 4097")
        << HISLIP_MESSAGE_HEADER::encode(Hs::DataEnd, 0, 0, QByteArray(4097, 'a')) << 0
        << int(Hs::Error);
    QTest::newRow("payload still coming")
        << HISLIP_MESSAGE_HEADER::encode(Hs::DataEnd, 0, 0, QByteArray(100, 'a')).left(50) << 50
        << -1;
    QTest::newRow("unknown type") << HISLIP_MESSAGE_HEADER::encode(26, 0, 0) << 0 << int(Hs::Error);
    QTest::newRow("data before initialize")
        << HISLIP_MESSAGE_HEADER::encode(Hs::DataEnd, 0, 0, "*IDN?\n") << 0 << int(Hs::FatalError);
}

void tst_ZOHislipDelegate::framing()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, left);
    QFETCH(int, reply);
    FakeConnection connection;
    QCOMPARE(connection.feed(bytes), left);
    QCOMPARE(connection.last().type, reply);
}

void tst_ZOHislipDelegate::dataAcrossMessagesAndManyInOne()
{
    FakeClient client;
    client.sync.send(Hs::Data, 0, 5, "*ID");
    QVERIFY(client.sync.posted.isEmpty());
    client.sync.send(Hs::DataEnd, 0, 7, "N?\n");
    QCOMPARE(client.sync.posted.size(), 1);
    QCOMPARE(client.sync.posted[0].first, QByteArray("*IDN?"));
    QCOMPARE(client.sync.posted[0].second, 7u);

    // More than one split's worth, the last without its newline (DataEnd ends it).
    QByteArray many;
    for (int i = 0; i < 20; ++i)
        many += "*CLS\n";
    client.sync.send(Hs::DataEnd, 0, 9, many + "*ESE 1");
    QCOMPARE(client.sync.posted.size(), 22);
    QCOMPARE(client.sync.posted.last().first, QByteArray("*ESE 1"));
    QCOMPARE(client.sync.posted.last().second, 9u);
    QCOMPARE(takeErrorEntries(), QStringList());
}

void tst_ZOHislipDelegate::inputOverrunQueues363AndEmptiesTheBuffer()
{
    FakeClient client;
    client.sync.send(Hs::Data, 0, 1, QByteArray(3000, 'A'));
    client.sync.send(Hs::Data, 0, 3, QByteArray(2000, 'B'));
    QCOMPARE(takeErrorEntries(), QStringList { "-363 4" });
    client.sync.send(Hs::DataEnd, 0, 5, "*IDN?\n");
    QCOMPARE(client.sync.posted.size(), 1);
    QCOMPARE(client.sync.posted[0].first, QByteArray("*IDN?"));
}

void tst_ZOHislipDelegate::staleAnswerIsDroppedWithInterrupted()
{
    FakeClient client;
    client.sync.send(Hs::DataEnd, 0, 7, "*IDN?\n");
    client.sync.SendResponseBack(&client.sync, "A,B,C,D\n", 8, 7);
    QCOMPARE(client.sync.last().type, int(Hs::DataEnd));
    QCOMPARE(client.sync.last().parameter, 7u);
    QCOMPARE(client.sync.last().payload, QByteArray("A,B,C,D\n"));

    // The client confirmed delivery and sent a new query; an answer to the old one is stale.
    client.sync.send(Hs::DataEnd, 1, 9, "*IDN?\n");
    client.sync.SendResponseBack(&client.sync, "A,B,C,D\n", 8, 7);
    QCOMPARE(client.sync.last().type, int(Hs::Interrupted));
    QCOMPARE(client.sync.last().parameter, 9u);
    QCOMPARE(takeErrorEntries(), QStringList { "-410 4" });
}

void tst_ZOHislipDelegate::unreadAnswerQueues410()
{
    FakeClient client;
    client.sync.send(Hs::DataEnd, 0, 7, "*IDN?\n");
    client.sync.SendResponseBack(&client.sync, "A,B,C,D\n", 8, 7);
    // A second query that says it has not read the answer (RMT-delivered 0).
    client.sync.send(Hs::DataEnd, 0, 9, "*IDN?\n");
    QCOMPARE(takeErrorEntries(), QStringList { "-410 4" });
    QCOMPARE(client.sync.posted.size(), 2);
}

void tst_ZOHislipDelegate::overlappedAnswersCountFromTheirOwnIds()
{
    FakeClient client;
    client.sync.send(Hs::DeviceClearComplete, 1, 0);
    QCOMPARE(client.sync.last().type, int(Hs::DeviceClearAcknowledge));
    QCOMPARE(client.sync.last().control, 1);
    client.sync.send(Hs::DataEnd, 0, 7, "*IDN?\n*IDN?\n");
    for (quint32 id : { 0xFFFFFF00u, 0xFFFFFF02u }) {
        client.sync.SendResponseBack(&client.sync, "x\n", 2, 7);
        QCOMPARE(client.sync.last().type, int(Hs::DataEnd));
        QCOMPARE(client.sync.last().parameter, id);
    }
    // A device clear starts the count again.
    client.async.send(Hs::AsyncDeviceClear, 0, 0);
    QCOMPARE(client.async.last().type, int(Hs::AsyncDeviceClearAcknowledge));
    client.sync.SendResponseBack(&client.sync, "x\n", 2, 7);
    QCOMPARE(client.sync.last().parameter, 0xFFFFFF00u);
}

void tst_ZOHislipDelegate::statusReportsTheServiceRequest_data()
{
    QTest::addColumn<QByteArray>("vendor");
    QTest::addColumn<int>("reports"); // consecutive status replies with bit 6

    QTest::newRow("ordinary client") << QByteArray("PY") << 1;
    QTest::newRow("AG reads it twice") << QByteArray("AG") << 2;
    QTest::newRow("KS reads it twice") << QByteArray("KS") << 2;
    QTest::newRow("control characters count as NI") << QByteArray("\x01\x02") << 1;
}

void tst_ZOHislipDelegate::statusReportsTheServiceRequest()
{
    QFETCH(QByteArray, vendor);
    QFETCH(int, reports);
    FakeClient client(vendor.constData());
    ZOHislipDelegate::broadcastSRQ(0x44);
    for (int i = 0; i < 3; ++i) {
        client.async.send(Hs::AsyncStatusQuery, 0, 0);
        QCOMPARE(client.async.last().type, int(Hs::AsyncStatusResponse));
        QCOMPARE(bool(client.async.last().control & 0x40), i < reports);
    }
}

void tst_ZOHislipDelegate::closingTheSyncConnectionReleasesItsLocks()
{
    auto a = std::make_unique<FakeClient>();
    FakeClient b;
    a->async.send(Hs::AsyncLock, 1, 0);
    QCOMPARE(a->async.last().control, 1);
    // B's data waits while A holds the lock.
    QCOMPARE(b.sync.send(Hs::DataEnd, 0, 3, "*IDN?\n"), 16 + 6);
    QVERIFY(b.sync.posted.isEmpty());
    a.reset();
    QCOMPARE(b.sync.feed({}), 0);
    QCOMPARE(b.sync.posted.size(), 1);
    b.async.send(Hs::AsyncLock, 1, 0);
    QCOMPARE(b.async.last().control, 1);
    b.async.send(Hs::AsyncLockInfo, 0, 0);
    QCOMPARE(b.async.last().control, 1);
    QCOMPARE(b.async.last().parameter, 1u);
}

QTEST_GUILESS_MAIN(tst_ZOHislipDelegate)
#include "tst_ZOHislipDelegate.moc"
