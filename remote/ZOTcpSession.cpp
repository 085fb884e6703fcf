#include "remote/ZOTcpSession.h"

#include <QMutexLocker>
#include <QTcpSocket>

#include <QThread>

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace zostd {

bool ZOTcpSession::AnswerPort::post(const QByteArray &answer)
{
    QMutexLocker lock(&m_mutex);
    if (!m_session)
        return false;
    // Only posts an event; the session cannot be freed meanwhile because it detaches under
    // this mutex first. An event still queued when it is freed is discarded with it.
    ZOTcpSession *session = m_session;
    QMetaObject::invokeMethod(
        session,
        [session, answer] {
            session->sendAnswer(answer);
        },
        Qt::QueuedConnection);
    return true;
}

bool ZOTcpSession::AnswerPort::resume()
{
    QMutexLocker lock(&m_mutex);
    if (!m_session)
        return false;
    QMetaObject::invokeMethod(m_session, &ZOTcpSession::resumeReceive, Qt::QueuedConnection);
    return true;
}

ZOTcpSession::ZOTcpSession(QTcpSocket *socket, int bufferSize)
    : m_socket(socket)
    , m_bufferSize(std::max(bufferSize, 1))
    , m_answerPort(std::make_shared<AnswerPort>())
{
    m_socket->setParent(this);
    m_answerPort->m_session = this;
    connect(m_socket, &QTcpSocket::readyRead, this, &ZOTcpSession::OnReceive);
    connect(m_socket, &QTcpSocket::disconnected, this, &ZOTcpSession::OnClose);
    // A reset connection may end without disconnected(); an unconnected socket ends the session.
    connect(m_socket, &QTcpSocket::errorOccurred, this, [this] {
        if (m_socket->state() == QAbstractSocket::UnconnectedState)
            OnClose();
    });
    connect(this,
        &ZOTcpSession::lciActivated,
        this,
        &ZOTcpSession::OnLciActivate,
        Qt::QueuedConnection);
}

ZOTcpSession::~ZOTcpSession()
{
    detachAnswerPort();
    closeDirect();
}

void ZOTcpSession::OnThreadStart()
{
    m_buffer.reset(new unsigned char[m_bufferSize]);
    m_fill = 0;
    OnSessionOpen();
    // Bytes that arrived before the thread ran raise no further readyRead.
    if (m_socket->bytesAvailable() > 0)
        OnReceive();
}

void ZOTcpSession::OnReceive()
{
    receive(false);
}

void ZOTcpSession::resumeReceive()
{
    receive(m_fill > 0);
}

bool ZOTcpSession::mayReceive() const
{
    return true;
}

void ZOTcpSession::receive(bool fresh)
{
    if (m_closed || m_closing || !m_buffer)
        return;
    // The socket emits readyRead only for bytes it fetches anew, never for bytes it already
    // holds, so one pass keeps reading and decoding until the socket is drained or stuck.
    for (;;) {
        if (!m_inputEnded && !mayReceive())
            return;
        qint64 got = 0;
        if (m_fill < m_bufferSize && m_socket->bytesAvailable() > 0) {
            got = m_socket->read(
                reinterpret_cast<char *>(m_buffer.get()) + m_fill, m_bufferSize - m_fill);
            if (got < 0 && m_inputEnded) {
                got = 0;
            } else if (got < 0) {
                closeConnection();
                return;
            }
            m_fill += int(got);
        }
        if (got == 0 && !fresh)
            return;
        const int used = OnDataReceive(m_buffer.get(), m_fill);
        if (m_closed || m_closing)
            return;
        if (used < 0) {
            closeConnection();
            return;
        }
        int consumed = std::min(used, m_fill);
        if (consumed == 0 && m_fill >= m_bufferSize) {
            const int dropped = OnBufferFull(m_buffer.get(), m_fill);
            if (m_closed || m_closing)
                return;
            if (dropped < 0) {
                closeConnection();
                return;
            }
            consumed = std::clamp(dropped, 1, m_fill);
        }
        if (consumed > 0) {
            std::memmove(m_buffer.get(), m_buffer.get() + consumed, size_t(m_fill - consumed));
            m_fill -= consumed;
        }
        fresh = consumed > 0 && m_fill > 0;
    }
}

void ZOTcpSession::OnSessionOpen() { }

int ZOTcpSession::OnBufferFull(const unsigned char *, int len)
{
    return len;
}

void ZOTcpSession::OnClose()
{
    if (m_closed)
        return;
    // The input held back by mayReceive() is complete now; the decoder gets it all first.
    if (!m_inputEnded) {
        m_inputEnded = true;
        receive(m_fill > 0);
        if (m_closed)
            return;
    }
    endSession();
    if (!m_lingering)
        emit finished();
}

void ZOTcpSession::finishLinger()
{
    if (!m_lingering)
        return;
    m_lingering = false;
    emit finished();
}

void ZOTcpSession::OnLciActivate() { }

void ZOTcpSession::OnThreadFinish()
{
    if (!m_closed) {
        endSession();
        m_socket->abort();
    }
    deleteLater();
}

qint64 ZOTcpSession::sendAnswer(const QByteArray &answer)
{
    if (m_closed || m_socket->state() != QAbstractSocket::ConnectedState)
        return -1;
    const qint64 queued = m_socket->write(answer);
    m_socket->flush();
    return queued;
}

void ZOTcpSession::sendAnyThread(const QByteArray &message)
{
    QMutexLocker lock(&m_directMutex);
    QByteArray rest = message;
    if (m_direct) {
        const ssize_t sent = ::send(
            m_descriptor, message.constData(), size_t(message.size()), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent == message.size())
            return;
        // The socket takes the rest and reports a broken connection; later messages follow it.
        m_direct = false;
        if (sent > 0)
            rest = message.mid(int(sent));
    }
    // The session thread writes at once unless another thread's message still waits to be
    // written: the rest of a partial send must not be overtaken in mid-message.
    if (QThread::currentThread() == thread() && m_queued == 0) {
        lock.unlock();
        sendAnswer(rest);
        return;
    }
    ++m_queued;
    QMetaObject::invokeMethod(
        this,
        [this, rest] {
            {
                QMutexLocker lock(&m_directMutex);
                --m_queued;
            }
            sendAnswer(rest);
        },
        Qt::QueuedConnection);
}

void ZOTcpSession::openDirect()
{
    QMutexLocker lock(&m_directMutex);
    if (m_descriptor >= 0 || m_closed || m_socket->state() != QAbstractSocket::ConnectedState)
        return;
    m_descriptor = ::fcntl(int(m_socket->socketDescriptor()), F_DUPFD_CLOEXEC, 0);
    m_direct = m_descriptor >= 0 && m_queued == 0;
    connect(m_socket,
        &QTcpSocket::bytesWritten,
        this,
        &ZOTcpSession::resumeDirect,
        Qt::UniqueConnection);
}

void ZOTcpSession::resumeDirect()
{
    QMutexLocker lock(&m_directMutex);
    if (m_descriptor >= 0 && m_queued == 0 && m_socket->bytesToWrite() == 0)
        m_direct = true;
}

void ZOTcpSession::closeDirect()
{
    QMutexLocker lock(&m_directMutex);
    m_direct = false;
    if (m_descriptor >= 0)
        ::close(m_descriptor);
    m_descriptor = -1;
}

void ZOTcpSession::closeConnection()
{
    if (m_closed || m_closing)
        return;
    m_closing = true;
    // Answers written before the close still go out; disconnected() follows once they did.
    m_socket->disconnectFromHost();
    if (m_socket->state() == QAbstractSocket::UnconnectedState)
        OnClose();
}

void ZOTcpSession::setFillCount(int fill)
{
    if (fill >= 0 && fill < m_fill)
        m_fill = fill;
}

void ZOTcpSession::endSession()
{
    m_closed = true;
    detachAnswerPort();
    closeDirect();
    OnSessionClose();
}

void ZOTcpSession::detachAnswerPort()
{
    QMutexLocker lock(&m_answerPort->m_mutex);
    m_answerPort->m_session = nullptr;
}

} // namespace zostd
