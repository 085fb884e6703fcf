#include "remote/ZOTcpService.h"

#include "remote/QueueError.h"
#include "remote/ZOTcpSession.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

namespace zostd {

ZOTcpService::ZOTcpService(quint16 port, const QHostAddress &address)
    : m_address(address)
    , m_port(port)
{ }

ZOTcpService::~ZOTcpService()
{
    stop();
}

int ZOTcpService::start()
{
    if (m_listenerThread)
        return 0;
    m_ownerThread = QThread::currentThread();
    m_server = new QTcpServer(this);
    if (!m_server->listen(m_address, m_port.load())) {
        zo4882::queueError(-310,
            QStringLiteral("TCP port %1: %2").arg(m_port.load()).arg(m_server->errorString()));
        delete m_server;
        m_server = nullptr;
        return -310;
    }
    m_port = m_server->serverPort();
    connect(m_server, &QTcpServer::newConnection, this, &ZOTcpService::OnConnect);

    // The listening socket moves with the service; its notifier re-arms in the new thread.
    m_listenerThread = std::make_unique<QThread>();
    moveToThread(m_listenerThread.get());
    m_listening = true;
    m_listenerThread->start();
    return 0;
}

void ZOTcpService::stop()
{
    if (!m_listenerThread)
        return;
    QMetaObject::invokeMethod(
        this,
        [this] {
            shutdownInListener();
        },
        Qt::BlockingQueuedConnection);
    m_listenerThread->quit();
    m_listenerThread->wait();
    m_listenerThread.reset();
}

void ZOTcpService::OnConnect()
{
    while (m_server && m_server->hasPendingConnections()) {
        QTcpSocket *socket = m_server->nextPendingConnection();
        ZOTcpSession *session = createProtocolSpecificSession(socket);
        if (!session) {
            socket->abort();
            delete socket;
            continue;
        }
        socket->setReadBufferSize(SocketReadBufferSize);
        // Answers leave as soon as they are written; a query's round trip must not wait for
        // the acknowledgement of the previous segment.
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);

        auto *thread = new QThread;
        session->moveToThread(thread);
        connect(thread, &QThread::started, session, &ZOTcpSession::OnThreadStart);
        // Direct: the session thread quits by itself even while the listener thread waits.
        connect(session, &ZOTcpSession::finished, thread, &QThread::quit, Qt::DirectConnection);
        connect(thread,
            &QThread::finished,
            session,
            &ZOTcpSession::OnThreadFinish,
            Qt::DirectConnection);
        const quint64 key = ++m_nextKey;
        connect(thread, &QThread::finished, this, [this, key] {
            reapSession(key);
        });
        m_sessionThreads.emplace(key, thread);
        ++m_sessionCount;
        thread->start();
    }
}

void ZOTcpService::shutdownInListener()
{
    m_listening = false;
    delete m_server;
    m_server = nullptr;
    for (const auto &entry : m_sessionThreads)
        entry.second->quit();
    for (const auto &entry : m_sessionThreads) {
        entry.second->wait();
        delete entry.second;
    }
    m_sessionThreads.clear();
    m_sessionCount = 0;
    moveToThread(m_ownerThread);
}

void ZOTcpService::reapSession(quint64 key)
{
    const auto it = m_sessionThreads.find(key);
    if (it == m_sessionThreads.end())
        return;
    QThread *thread = it->second;
    m_sessionThreads.erase(it);
    thread->wait();
    delete thread;
    --m_sessionCount;
}

} // namespace zostd
