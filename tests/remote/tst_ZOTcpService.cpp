#include "tests/remote/LineEchoService.h"

#include "remote/ZOSystErrCue.h"

#include <QTcpServer>
#include <QtTest>

using zo4882::s_systErrCue;

// The listener and its session threads: accepting, reporting a port it cannot bind, stopping.
class tst_ZOTcpService : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { s_systErrCue.clear(); }
    void cleanup() { s_systErrCue.clear(); }

    void twoClientsGetTwoSessionThreads();
    void bindFailureIsReported();
    void stopClosesEverySessionAndCanRestart();
};

void tst_ZOTcpService::twoClientsGetTwoSessionThreads()
{
    EchoProbe probe;
    LineEchoService service(&probe);
    QCOMPARE(service.start(), 0);
    QVERIFY(service.isListening());
    QVERIFY(service.port() != 0);

    QTcpSocket first;
    QTcpSocket second;
    QVERIFY(connectClient(first, service.port()));
    QVERIFY(connectClient(second, service.port()));
    first.write("one\n");
    second.write("two\n");
    QCOMPARE(readBytes(second, 4), QByteArray("two\n"));
    QCOMPARE(readBytes(first, 4), QByteArray("one\n"));
    QCOMPARE(service.sessionCount(), 2);
    QCOMPARE(probe.threadCount(), 2);
    {
        QMutexLocker lock(&probe.mutex);
        QVERIFY(!probe.sessionThreads.contains(QThread::currentThread()));
    }

    first.disconnectFromHost();
    QTRY_COMPARE(service.sessionCount(), 1);
    QCOMPARE(probe.closes.load(), 1);
    second.write("again\n");
    QCOMPARE(readBytes(second, 6), QByteArray("again\n"));
}

void tst_ZOTcpService::bindFailureIsReported()
{
    QTcpServer occupant;
    QVERIFY(occupant.listen(QHostAddress::LocalHost, 0));
    const quint16 taken = occupant.serverPort();

    EchoProbe probe;
    LineEchoService service(&probe, 4096, Decode::AllLines, taken);
    QCOMPARE(service.start(), -310);
    QVERIFY(!service.isListening());

    QCOMPARE(s_systErrCue.count(), 1);
    const zo4882::SYST_ERR_INFO entry = s_systErrCue.decue();
    QCOMPARE(entry.code(), short(-310));
    QVERIFY2(entry.detail().contains(QString::number(taken)), qPrintable(entry.detail()));

    // Once the port is free the same service starts.
    occupant.close();
    QCOMPARE(service.start(), 0);
    QTcpSocket client;
    QVERIFY(connectClient(client, taken));
    client.write("hi\n");
    QCOMPARE(readBytes(client, 3), QByteArray("hi\n"));
}

void tst_ZOTcpService::stopClosesEverySessionAndCanRestart()
{
    EchoProbe probe;
    LineEchoService service(&probe, 16);
    QCOMPARE(service.start(), 0);
    const quint16 port = service.port();

    QTcpSocket idle;
    QTcpSocket stalled; // holds a frame without its end
    QVERIFY(connectClient(idle, port));
    QVERIFY(connectClient(stalled, port));
    stalled.write(QByteArray(10, 's'));
    QTRY_COMPARE(probe.lens(), QVector<int> { 10 });
    QTRY_COMPARE(service.sessionCount(), 2);

    service.stop();
    QVERIFY(!service.isListening());
    QCOMPARE(service.sessionCount(), 0);
    QCOMPARE(probe.closes.load(), 2);
    QTRY_COMPARE(idle.state(), QAbstractSocket::UnconnectedState);
    QTRY_COMPARE(stalled.state(), QAbstractSocket::UnconnectedState);

    QTcpSocket refused;
    refused.connectToHost(QHostAddress::LocalHost, port);
    QVERIFY(!refused.waitForConnected(5000));

    QCOMPARE(service.start(), 0);
    QTcpSocket client;
    QVERIFY(connectClient(client, service.port()));
    client.write("back\n");
    QCOMPARE(readBytes(client, 5), QByteArray("back\n"));
}

QTEST_GUILESS_MAIN(tst_ZOTcpService)
#include "tst_ZOTcpService.moc"
