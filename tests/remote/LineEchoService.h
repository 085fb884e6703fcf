#pragma once

#include "remote/ZOTcpService.h"
#include "remote/ZOTcpSession.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QMutex>
#include <QMutexLocker>
#include <QSet>
#include <QTcpSocket>
#include <QThread>
#include <QVector>

#include <atomic>
#include <memory>
#include <thread>

// A line protocol over the TCP base, for the service and session tests. Each line is echoed;
// "close" closes the connection, "big N" answers N bytes, "port" hands the session's answer
// port to the test, "race N" has another thread send N bytes and then the session thread
// "tail" (both through sendAnyThread() with direct sending open). A line without its newline
// stays in the buffer (decoder result 0).

struct EchoProbe
{
    QMutex mutex; // guards every member below except closes
    QVector<int> decoderLens; // fill count at each decoder call
    QSet<QThread *> sessionThreads;
    std::shared_ptr<zostd::ZOTcpSession::AnswerPort> port;
    std::atomic<int> closes { 0 };

    QVector<int> lens()
    {
        QMutexLocker lock(&mutex);
        return decoderLens;
    }
    int calls() { return lens().size(); }
    int threadCount()
    {
        QMutexLocker lock(&mutex);
        return sessionThreads.size();
    }
    std::shared_ptr<zostd::ZOTcpSession::AnswerPort> lastPort()
    {
        QMutexLocker lock(&mutex);
        return port;
    }
};

enum class Decode {
    AllLines, // uses every complete line in one call
    OneLine, // uses one line per call, relying on the session to call again
};

class LineEchoSession : public zostd::ZOTcpSession
{
public:
    LineEchoSession(QTcpSocket *socket, int bufferSize, Decode mode, EchoProbe *probe)
        : ZOTcpSession(socket, bufferSize)
        , m_mode(mode)
        , m_probe(probe)
    { }

protected:
    int OnDataReceive(const unsigned char *data, int len) override
    {
        {
            QMutexLocker lock(&m_probe->mutex);
            m_probe->decoderLens.append(len);
            m_probe->sessionThreads.insert(QThread::currentThread());
        }
        const QByteArray held(reinterpret_cast<const char *>(data), len);
        int used = 0;
        for (;;) {
            const int end = held.indexOf('\n', used);
            if (end < 0)
                return used;
            const QByteArray line = held.mid(used, end - used);
            used = end + 1;
            if (line == "close")
                return -1;
            if (line.startsWith("big "))
                sendAnswer(QByteArray(line.mid(4).toInt(), 'x') + '\n');
            else if (line == "port")
                storePort();
            else if (line.startsWith("race "))
                race(line.mid(5).toInt());
            else
                sendAnswer(line + '\n');
            if (m_mode == Decode::OneLine)
                return used;
        }
    }

    void OnSessionClose() override { ++m_probe->closes; }

private:
    void race(int n)
    {
        openDirect();
        // The peer reads nothing yet, so the other thread's send is partial and its rest waits
        // in this thread's event queue, which cannot run before this decoder call returns.
        std::thread other([this, n] {
            sendAnyThread(QByteArray(n, 'x') + '\n');
        });
        other.join();
        sendAnyThread("tail\n");
    }

    void storePort()
    {
        QMutexLocker lock(&m_probe->mutex);
        m_probe->port = answerPort();
    }

    const Decode m_mode;
    EchoProbe *const m_probe;
};

class LineEchoService : public zostd::ZOTcpService
{
public:
    LineEchoService(EchoProbe *probe,
        int bufferSize = 4096,
        Decode mode = Decode::AllLines,
        quint16 port = 0,
        int maxSessions = DefaultMaxSessions)
        : ZOTcpService(port, QHostAddress::LocalHost, maxSessions)
        , m_probe(probe)
        , m_bufferSize(bufferSize)
        , m_mode(mode)
    { }
    ~LineEchoService() override { stop(); }

protected:
    zostd::ZOTcpSession *createProtocolSpecificSession(QTcpSocket *socket) override
    {
        return new LineEchoSession(socket, m_bufferSize, m_mode, m_probe);
    }

private:
    EchoProbe *const m_probe;
    const int m_bufferSize;
    const Decode m_mode;
};

// Reads from a blocking client until n bytes arrived or timeoutMs passed.
inline QByteArray readBytes(QTcpSocket &client, int n, int timeoutMs = 10000)
{
    QByteArray got;
    QElapsedTimer clock;
    clock.start();
    while (got.size() < n && clock.elapsed() < timeoutMs) {
        if (client.bytesAvailable() == 0 && !client.waitForReadyRead(100)) {
            if (client.state() == QAbstractSocket::UnconnectedState)
                break;
            continue;
        }
        got += client.read(n - got.size());
    }
    return got;
}

inline bool connectClient(QTcpSocket &client, quint16 port)
{
    client.connectToHost(QHostAddress::LocalHost, port);
    return client.waitForConnected(5000);
}
