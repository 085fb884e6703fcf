#include "remote/ZOTcpService.h"

#include "remote/QueueError.h"
#include "remote/ZOTcpSession.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace zostd {

namespace {

// Whether count descriptors could be opened now (by duplicating an open one). Racy by nature,
// but it keeps a thread from starting where its event loop would find none and Qt would end
// the program.
bool descriptorsFree(int open, int count)
{
    std::vector<int> taken;
    for (int i = 0; i < count; ++i) {
        const int fd = ::fcntl(open, F_DUPFD_CLOEXEC, 0);
        if (fd < 0)
            break;
        taken.push_back(fd);
    }
    for (const int fd : taken)
        ::close(fd);
    return int(taken.size()) == count;
}

} // namespace

ZOTcpService::ZOTcpService(
    quint16 port, const QHostAddress &address, int maxSessions, int acceptRetryMs)
    : m_address(address)
    , m_maxSessions(std::max(maxSessions, 1))
    , m_acceptRetryMs(std::max(acceptRetryMs, 1))
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
    m_refusedCount = 0;
    connect(m_server, &QTcpServer::newConnection, this, &ZOTcpService::OnConnect);
    connect(m_server, &QTcpServer::acceptError, this, &ZOTcpService::onAcceptError);

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
        if (m_sessionCount.load() >= m_maxSessions
            || !descriptorsFree(int(socket->socketDescriptor()), SessionDescriptorReserve))
            refuse(socket);
        else
            startSession(socket);
    }
}

void ZOTcpService::refuse(QTcpSocket *socket)
{
    ++m_refusedCount;
    socket->abort();
    delete socket;
}

// Qt pauses accepting on any error but a temporary one (out of descriptors, for example);
// connections wait in the backlog until the retry.
void ZOTcpService::onAcceptError()
{
    QTimer::singleShot(m_acceptRetryMs, this, [this] {
        if (m_server)
            m_server->resumeAccepting();
    });
}

bool ZOTcpService::startSession(QTcpSocket *socket)
{
    ZOTcpSession *session = createProtocolSpecificSession(socket);
    if (!session) {
        refuse(socket);
        return false;
    }
    socket->setReadBufferSize(SocketReadBufferSize);
    // Answers leave as soon as they are written; a query's round trip must not wait for the
    // acknowledgement of the previous segment.
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);

    auto *thread = new QThread;
    session->moveToThread(thread);
    connect(thread, &QThread::started, session, &ZOTcpSession::OnThreadStart);
    // Direct: the session thread quits by itself even while the listener thread waits.
    connect(session, &ZOTcpSession::finished, thread, &QThread::quit, Qt::DirectConnection);
    connect(
        thread, &QThread::finished, session, &ZOTcpSession::OnThreadFinish, Qt::DirectConnection);
    const quint64 key = ++m_nextKey;
    connect(thread, &QThread::finished, this, [this, key] {
        reapSession(key);
    });
    thread->start();
    // A thread that could not be created is neither running nor finished; one that already
    // ended is reaped as usual.
    if (!thread->isRunning() && !thread->isFinished()) {
        ++m_refusedCount;
        socket->abort();
        delete session;
        delete thread;
        return false;
    }
    m_sessionThreads.emplace(key, thread);
    ++m_sessionCount;
    return true;
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
