#include "tests/remote/LineEchoService.h"

#include "remote/ZOSystErrCue.h"

#include <QDir>
#include <QTcpServer>
#include <QtTest>

#include <sys/resource.h>

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
    void connectionsBeyondTheLimitAreClosedAtOnce();
    void connectionWithoutDescriptorsIsClosed();
};

// Out of descriptors, a new session's thread could not have its event loop (Qt would end the
// program): the connection is closed instead, and served again once descriptors are free.
void tst_ZOTcpService::connectionWithoutDescriptorsIsClosed()
{
    EchoProbe probe;
    LineEchoService service(&probe);
    QCOMPARE(service.start(), 0);
    rlimit saved {};
    QCOMPARE(::getrlimit(RLIMIT_NOFILE, &saved), 0);
    const int open = int(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files).size());

    QTcpSocket starved;
    {
        // The client's and the accepted descriptor, and fewer than a session needs beside.
        rlimit tight = saved;
        tight.rlim_cur = rlim_t(open + 2 + 3);
        QCOMPARE(::setrlimit(RLIMIT_NOFILE, &tight), 0);
        const bool connected = connectClient(starved, service.port());
        if (connected)
            QTRY_COMPARE(starved.state(), QAbstractSocket::UnconnectedState);
        QCOMPARE(::setrlimit(RLIMIT_NOFILE, &saved), 0);
        QVERIFY(connected);
    }
    QCOMPARE(service.refusedCount(), 1);
    QCOMPARE(service.sessionCount(), 0);

    QTcpSocket client;
    QVERIFY(connectClient(client, service.port()));
    client.write("fed\n");
    QCOMPARE(readBytes(client, 4), QByteArray("fed\n"));
}

void tst_ZOTcpService::connectionsBeyondTheLimitAreClosedAtOnce()
{
    EchoProbe probe;
    LineEchoService service(&probe, 4096, Decode::AllLines, 0, 3);
    QCOMPARE(service.start(), 0);
    QCOMPARE(service.maxSessions(), 3);

    QTcpSocket held[3];
    for (QTcpSocket &client : held) {
        QVERIFY(connectClient(client, service.port()));
        client.write("held\n");
        QCOMPARE(readBytes(client, 5), QByteArray("held\n"));
    }
    QTcpSocket extra[5];
    for (QTcpSocket &client : extra)
        QVERIFY(connectClient(client, service.port()));
    for (QTcpSocket &client : extra)
        QTRY_COMPARE(client.state(), QAbstractSocket::UnconnectedState);
    QCOMPARE(service.sessionCount(), 3);
    QCOMPARE(service.refusedCount(), 5);

    // A place that comes free is taken by the next connection.
    held[0].disconnectFromHost();
    QTRY_COMPARE(service.sessionCount(), 2);
    QTcpSocket next;
    QVERIFY(connectClient(next, service.port()));
    next.write("next\n");
    QCOMPARE(readBytes(next, 5), QByteArray("next\n"));
    held[1].write("still\n");
    QCOMPARE(readBytes(held[1], 6), QByteArray("still\n"));
}

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
