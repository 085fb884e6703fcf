#include "tests/remote/LineEchoService.h"

#include <QtTest>

#include <thread>

Q_DECLARE_METATYPE(Decode)

// Frame decoding as a peer sees it: what it writes, what comes back, when the connection ends.
class tst_ZOTcpSession : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void manyFramesInOneWrite_data();
    void manyFramesInOneWrite();
    void partialFrameWaitsForItsEnd();
    void frameLargerThanBufferIsDropped();
    void negativeResultClosesAfterEarlierAnswers();
    void answerPostedFromAnotherThread();
    void directSendKeepsMessagesWhole();
    void clientDisconnectsMidAnswer();
};

void tst_ZOTcpSession::manyFramesInOneWrite_data()
{
    QTest::addColumn<int>("bufferSize");
    QTest::addColumn<Decode>("mode");
    QTest::addColumn<int>("lines");

    // Each line is 8 bytes; 300 lines exceed the socket's own 1024-byte read buffer.
    QTest::newRow("roomy buffer") << 4096 << Decode::AllLines << 300;
    QTest::newRow("16-byte buffer") << 16 << Decode::AllLines << 300;
    QTest::newRow("buffer of exactly one line") << 8 << Decode::AllLines << 300;
    QTest::newRow("one line per call, roomy buffer") << 4096 << Decode::OneLine << 300;
    QTest::newRow("one line per call, 16-byte buffer") << 16 << Decode::OneLine << 300;
    QTest::newRow("one line per call, a few lines") << 4096 << Decode::OneLine << 3;
}

void tst_ZOTcpSession::manyFramesInOneWrite()
{
    QFETCH(int, bufferSize);
    QFETCH(Decode, mode);
    QFETCH(int, lines);

    EchoProbe probe;
    LineEchoService service(&probe, bufferSize, mode);
    QCOMPARE(service.start(), 0);
    QTcpSocket client;
    QVERIFY(connectClient(client, service.port()));

    QByteArray sent;
    for (int i = 0; i < lines; ++i)
        sent += QByteArray("line") + QByteArray::number(i).rightJustified(3, '0') + '\n';
    client.write(sent);
    QVERIFY(client.waitForBytesWritten(5000));

    // Every line is answered although no further bytes arrive to wake the session.
    QCOMPARE(readBytes(client, sent.size()), sent);
    for (int len : probe.lens())
        QVERIFY(len <= bufferSize);
}

void tst_ZOTcpSession::partialFrameWaitsForItsEnd()
{
    EchoProbe probe;
    LineEchoService service(&probe);
    QCOMPARE(service.start(), 0);
    QTcpSocket client;
    QVERIFY(connectClient(client, service.port()));

    client.write("hel");
    QVERIFY(client.waitForBytesWritten(5000));
    QTRY_COMPARE(probe.lens(), QVector<int> { 3 });

    client.write("lo\nwor");
    QCOMPARE(readBytes(client, 6), QByteArray("hello\n"));
    client.write("ld\n");
    QCOMPARE(readBytes(client, 6), QByteArray("world\n"));
    QCOMPARE(client.bytesAvailable(), qint64(0));
}

void tst_ZOTcpSession::frameLargerThanBufferIsDropped()
{
    EchoProbe probe;
    LineEchoService service(&probe, 16);
    QCOMPARE(service.start(), 0);
    QTcpSocket client;
    QVERIFY(connectClient(client, service.port()));

    // Each full buffer the decoder keeps whole is dropped, so reading goes on: only the last
    // 8 of 40 bytes are left to complete a line. Without the drop no further byte is read.
    client.write(QByteArray(40, 'a'));
    QVERIFY(client.waitForBytesWritten(5000));
    client.write("\nping\n");
    QCOMPARE(readBytes(client, 14), QByteArray("aaaaaaaa\nping\n"));
    QCOMPARE(service.sessionCount(), 1);
    QCOMPARE(probe.closes.load(), 0);
}

void tst_ZOTcpSession::negativeResultClosesAfterEarlierAnswers()
{
    EchoProbe probe;
    LineEchoService service(&probe);
    QCOMPARE(service.start(), 0);
    QTcpSocket client;
    QVERIFY(connectClient(client, service.port()));

    client.write("a\nclose\nb\n");
    QCOMPARE(readBytes(client, 100), QByteArray("a\n"));
    QTRY_COMPARE(client.state(), QAbstractSocket::UnconnectedState);
    QTRY_COMPARE(probe.closes.load(), 1);
    QTRY_COMPARE(service.sessionCount(), 0);
}

void tst_ZOTcpSession::answerPostedFromAnotherThread()
{
    EchoProbe probe;
    LineEchoService service(&probe);
    QCOMPARE(service.start(), 0);
    QTcpSocket client;
    QVERIFY(connectClient(client, service.port()));

    client.write("port\n");
    QTRY_VERIFY(probe.lastPort() != nullptr);
    const auto port = probe.lastPort();
    bool posted = false;
    std::thread poster([&] {
        posted = port->post("first\n");
        posted = port->post("second\n") && posted;
    });
    poster.join();
    QVERIFY(posted);
    QCOMPARE(readBytes(client, 13), QByteArray("first\nsecond\n"));

    // A port outliving its session drops answers instead of touching the freed session.
    client.disconnectFromHost();
    QTRY_COMPARE(service.sessionCount(), 0);
    QVERIFY(!port->post("late\n"));
}

void tst_ZOTcpSession::directSendKeepsMessagesWhole()
{
    EchoProbe probe;
    LineEchoService service(&probe);
    QCOMPARE(service.start(), 0);
    QTcpSocket client;
    QVERIFY(connectClient(client, service.port()));

    // The session thread's own message must not land inside the rest of a partial send.
    constexpr int Size = 16000000;
    client.write("race " + QByteArray::number(Size) + '\n');
    const QByteArray got = readBytes(client, Size + 6, 30000);
    QCOMPARE(got.size(), Size + 6);
    QCOMPARE(got.indexOf("tail\n"), Size + 1);
    QCOMPARE(got.count('x'), Size);
}

void tst_ZOTcpSession::clientDisconnectsMidAnswer()
{
    EchoProbe probe;
    LineEchoService service(&probe);
    QCOMPARE(service.start(), 0);
    {
        QTcpSocket client;
        QVERIFY(connectClient(client, service.port()));
        client.write("big 16000000\n");
        QVERIFY(!readBytes(client, 1000).isEmpty());
        client.abort();
    }
    QTRY_COMPARE(probe.closes.load(), 1);
    QTRY_COMPARE(service.sessionCount(), 0);

    QTcpSocket next;
    QVERIFY(connectClient(next, service.port()));
    next.write("still here\n");
    QCOMPARE(readBytes(next, 11), QByteArray("still here\n"));
}

QTEST_GUILESS_MAIN(tst_ZOTcpSession)
#include "tst_ZOTcpSession.moc"
