#include "remote/ZOPortmapper.h"
#include "remote/ZORpc.h"

#include <QtEndian>
#include <QtTest>

using namespace zostd;

namespace {

QByteArray words(std::initializer_list<quint32> values)
{
    QByteArray out;
    rpc::XdrWriter writer(&out);
    for (quint32 v : values)
        writer.u32(v);
    return out;
}

// A call header with an optional credential body (AUTH_UNIX when not empty).
QByteArray call(quint32 prog, quint32 vers, quint32 proc, const QByteArray &cred = {})
{
    QByteArray out = words({ 42, 0, 2, prog, vers, proc, cred.isEmpty() ? 0u : 1u });
    rpc::XdrWriter(&out).opaque(cred.constData(), cred.size()).u32(0).u32(0);
    return out;
}

QByteArray fragment(const QByteArray &body, bool last)
{
    return words({ (last ? rpc::LastFragment : 0u) | quint32(body.size()) }) + body;
}

const unsigned char *bytes(const QByteArray &data)
{
    return reinterpret_cast<const unsigned char *>(data.constData());
}

QVector<quint32> replyWords(const QByteArray &reply)
{
    QVector<quint32> out;
    for (int i = 0; i + 4 <= reply.size(); i += 4)
        out << qFromBigEndian<quint32>(reply.constData() + i);
    return out;
}

} // namespace

// The RPC record layer: records out of a stream, call headers out of a record, every length
// checked against the data it claims.
class tst_ZORpc : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void takeRecord_data();
    void takeRecord();
    void parseCall_data();
    void parseCall();
    void portmapper_data();
    void portmapper();
};

void tst_ZORpc::takeRecord_data()
{
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<int>("used");
    QTest::addColumn<QByteArray>("record");
    const QByteArray body("0123456789ab");
    QTest::newRow("one fragment") << fragment(body, true) << 16 << body;
    QTest::newRow("two records: the first")
        << fragment(body, true) + fragment("x", true) << 16 << body;
    QTest::newRow("three fragments")
        << fragment("0123", false) + fragment("4567", false) + fragment("89ab", true) << 24 << body;
    QTest::newRow("empty last fragment")
        << fragment(body, false) + fragment("", true) << 20 << body;
    QTest::newRow("mark cut short") << QByteArray("\x80\0", 2) << 0 << QByteArray();
    QTest::newRow("fragment cut short") << fragment(body, true).left(10) << 0 << QByteArray();
    QTest::newRow("last fragment missing") << fragment(body, false) << 0 << QByteArray();
    QTest::newRow("longer than the limit")
        << words({ rpc::LastFragment | 0x7FFFFFF0u }) << -1 << QByteArray();
    QTest::newRow("fragments adding up past the limit") << fragment(QByteArray(60, 'a'), false)
            + fragment(QByteArray(60, 'b'), false) << -1 << QByteArray();
}

void tst_ZORpc::takeRecord()
{
    QFETCH(QByteArray, stream);
    QFETCH(int, used);
    QFETCH(QByteArray, record);
    QByteArray out;
    QCOMPARE(rpc::takeRecord(bytes(stream), stream.size(), 100, &out), used);
    if (used > 0)
        QCOMPARE(out, record);
}

void tst_ZORpc::parseCall_data()
{
    QTest::addColumn<QByteArray>("record");
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("argsLen");
    const QByteArray args = words({ 1, 2 });
    QTest::newRow("AUTH_NULL") << call(7, 1, 3) + args << int(rpc::CallStatus::Ok) << 8;
    QTest::newRow("AUTH_UNIX skipped by its length")
        << call(7, 1, 3, QByteArray(21, 'c')) + args << int(rpc::CallStatus::Ok) << 8;
    QTest::newRow("no arguments") << call(7, 1, 3) << int(rpc::CallStatus::Ok) << 0;
    QTest::newRow("not even an xid") << QByteArray("ab") << int(rpc::CallStatus::Unreadable) << 0;
    QTest::newRow("header cut short")
        << call(7, 1, 3).left(30) << int(rpc::CallStatus::Garbage) << 0;
    QTest::newRow("credential longer than the record")
        << words({ 42, 0, 2, 7, 1, 3, 1, 200 }) + QByteArray(8, 'c')
        << int(rpc::CallStatus::Garbage) << 0;
    QTest::newRow("credential over 400 bytes")
        << call(7, 1, 3, QByteArray(404, 'c')) << int(rpc::CallStatus::Garbage) << 0;
    QTest::newRow("a reply") << words({ 42, 1, 0, 0, 0, 0 }) << int(rpc::CallStatus::NotACall) << 0;
    QTest::newRow("RPC version 3")
        << words({ 42, 0, 3, 7, 1, 3, 0, 0, 0, 0 }) << int(rpc::CallStatus::RpcMismatch) << 0;
}

void tst_ZORpc::parseCall()
{
    QFETCH(QByteArray, record);
    QFETCH(int, status);
    QFETCH(int, argsLen);
    rpc::Call out;
    QCOMPARE(int(rpc::parseCall(bytes(record), record.size(), &out)), status);
    if (status == int(rpc::CallStatus::Ok)) {
        QCOMPARE(out.xid, 42u);
        QCOMPARE(out.prog, 7u);
        QCOMPARE(out.proc, 3u);
        QCOMPARE(out.argsLen, argsLen);
    }
}

void tst_ZORpc::portmapper_data()
{
    QTest::addColumn<QByteArray>("record");
    QTest::addColumn<QVector<quint32>>("reply");
    const QVector<quint32> head { 42, 1, 0, 0, 0 };
    QTest::newRow("core, TCP") << call(100000, 2, 3) + words({ 395183, 1, 6, 0 })
                               << head + QVector<quint32> { 0, 4510 };
    QTest::newRow("abort, UDP") << call(100000, 2, 3) + words({ 395184, 1, 17, 0 })
                                << head + QVector<quint32> { 0, 4511 };
    QTest::newRow("core version 2")
        << call(100000, 2, 3) + words({ 395183, 2, 6, 0 }) << head + QVector<quint32> { 0, 0 };
    QTest::newRow("NULL") << call(100000, 2, 0) << head + QVector<quint32> { 0 };
    QTest::newRow("DUMP") << call(100000, 2, 4) << head + QVector<quint32> { 3 };
    QTest::newRow("rpcbind 4") << call(100000, 4, 3) << head + QVector<quint32> { 2, 2, 2 };
    QTest::newRow("rpcbind 3") << call(100000, 3, 3) << head + QVector<quint32> { 2, 2, 2 };
    QTest::newRow("another program") << call(100003, 2, 3) << head + QVector<quint32> { 1 };
    QTest::newRow("mapping cut short")
        << call(100000, 2, 3) + words({ 395183, 1 }) << head + QVector<quint32> { 4 };
    QTest::newRow("a reply gets none") << words({ 42, 1, 0, 0, 0, 0 }) << QVector<quint32>();
}

void tst_ZORpc::portmapper()
{
    QFETCH(QByteArray, record);
    QFETCH(QVector<quint32>, reply);
    QCOMPARE(replyWords(pmap::answer(bytes(record), record.size())), reply);
}

QTEST_GUILESS_MAIN(tst_ZORpc)
#include "tst_ZORpc.moc"
