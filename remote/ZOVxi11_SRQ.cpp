#include "remote/ZOVxi11_SRQ.h"

#include "remote/Vxi11LinkTable.h"
#include "remote/ZORpc.h"

#include <QMutex>
#include <QMutexLocker>
#include <QTcpSocket>

#include <memory>

namespace zo4882 {

std::atomic<quint32> ZOVxi11_SRQ::s_xid { 0 };

namespace {

QMutex s_channelMutex; // guards s_thread and s_pSelf
std::unique_ptr<QThread> s_thread;
ZOVxi11_SRQ *s_pSelf = nullptr; // lives in s_thread

} // namespace

ZOVxi11_SRQ::ZOVxi11_SRQ(const QHostAddress &host, quint16 port, Vxi11LinkTable *links)
    : m_host(host)
    , m_port(port)
    , m_links(links)
{
    connect(this, &ZOVxi11_SRQ::srqed, this, &ZOVxi11_SRQ::OnSRQ, Qt::QueuedConnection);
}

int ZOVxi11_SRQ::create(const QHostAddress &host, quint16 port, Vxi11LinkTable *links)
{
    QMutexLocker lock(&s_channelMutex);
    if (s_pSelf)
        return 29;
    s_thread = std::make_unique<QThread>();
    s_thread->setObjectName(QStringLiteral("vxi11-intr"));
    s_pSelf = new ZOVxi11_SRQ(host, port, links);
    s_pSelf->moveToThread(s_thread.get());
    QObject::connect(s_thread.get(), &QThread::finished, s_pSelf, &QObject::deleteLater);
    s_thread->start();
    // The socket is made and connected in the channel's thread; no wait for the connection.
    QMetaObject::invokeMethod(s_pSelf, &ZOVxi11_SRQ::connectToClient, Qt::QueuedConnection);
    return 0;
}

int ZOVxi11_SRQ::destroy()
{
    std::unique_ptr<QThread> thread;
    {
        QMutexLocker lock(&s_channelMutex);
        if (!s_pSelf)
            return 6;
        s_pSelf = nullptr;
        thread = std::move(s_thread);
    }
    // The channel is deleted in its own thread as that thread ends (deleteLater on finished).
    thread->quit();
    thread->wait();
    return 0;
}

bool ZOVxi11_SRQ::exists()
{
    QMutexLocker lock(&s_channelMutex);
    return s_pSelf != nullptr;
}

void ZOVxi11_SRQ::srq()
{
    QMutexLocker lock(&s_channelMutex);
    if (s_pSelf)
        emit s_pSelf->srqed();
}

void ZOVxi11_SRQ::connectToClient()
{
    m_socket = new QTcpSocket(this);
    // Replies of the client are not needed; reading them keeps its side from stalling.
    connect(m_socket, &QTcpSocket::readyRead, m_socket, [this] {
        m_socket->readAll();
    });
    m_socket->connectToHost(m_host, m_port, QIODevice::ReadWrite);
}

void ZOVxi11_SRQ::OnSRQ()
{
    if (!m_socket)
        return;
    // Written while still connecting: the socket sends it once connected.
    for (const QByteArray &handle : m_links->srqHandles()) {
        QByteArray call;
        zostd::rpc::XdrWriter(&call)
            .u32(++s_xid)
            .u32(0) // CALL
            .u32(2) // RPC version
            .u32(Program)
            .u32(Version)
            .u32(ProcIntrSrq)
            .u32(0)
            .u32(0) // credential AUTH_NULL
            .u32(0)
            .u32(0) // verifier AUTH_NULL
            .opaque(handle.constData(), handle.size());
        m_socket->write(zostd::rpc::withRecordMark(call));
    }
    m_socket->flush();
}

} // namespace zo4882
