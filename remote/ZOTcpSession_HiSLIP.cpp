#include "remote/ZOTcpSession_HiSLIP.h"

#include "remote/ScpiResponder_HiSLIP.h"
#include "remote/ZO4882Parser.h"
#include "remote/ZO4882ParserAsync.h"
#include "remote/ZOScpiMessage.h"

#include <QMutexLocker>
#include <QTcpSocket>
#include <QThread>

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace zo4882 {

ZOTcpSession_HiSLIP::ZOTcpSession_HiSLIP(QTcpSocket *socket, ZO4882Parser *parser)
    : ZOTcpSession(socket, BufferSize)
    , m_parser(parser)
    , m_responder(new ScpiResponder_HiSLIP(this))
{
    connect(socket, &QTcpSocket::bytesWritten, this, &ZOTcpSession_HiSLIP::resumeDirect);
}

ZOTcpSession_HiSLIP::~ZOTcpSession_HiSLIP()
{
    m_responder->retire();
    closeDirect();
}

void ZOTcpSession_HiSLIP::OnSessionOpen()
{
    QMutexLocker lock(&m_directMutex);
    if (m_descriptor >= 0 || socket()->state() != QAbstractSocket::ConnectedState)
        return;
    m_descriptor = ::fcntl(int(socket()->socketDescriptor()), F_DUPFD_CLOEXEC, 0);
    m_direct = m_descriptor >= 0;
}

void ZOTcpSession_HiSLIP::resumeDirect()
{
    QMutexLocker lock(&m_directMutex);
    if (m_descriptor >= 0 && m_queued == 0 && socket()->bytesToWrite() == 0)
        m_direct = true;
}

void ZOTcpSession_HiSLIP::closeDirect()
{
    QMutexLocker lock(&m_directMutex);
    m_direct = false;
    if (m_descriptor >= 0)
        ::close(m_descriptor);
    m_descriptor = -1;
}

void ZOTcpSession_HiSLIP::writeAnswer(const char *text, int length, unsigned tag)
{
    SendResponseBack(socket(), text, length, tag);
}

bool ZOTcpSession_HiSLIP::writeAnswerNow(const char *text, int length, unsigned tag)
{
    // Only the synchronous connection's: an asynchronous one's would take the link mutexes of
    // two responders in the other order than a service request does.
    if (!isSynchronous())
        return false;
    SendResponseBack(socket(), text, length, tag);
    return true;
}

void ZOTcpSession_HiSLIP::writeServiceRequest(unsigned char stb)
{
    sendMessage(HISLIP_MESSAGE_HEADER::encode(AsyncServiceRequest, stb | 0x40, 0));
}

int ZOTcpSession_HiSLIP::OnDataReceive(const unsigned char *data, int len)
{
    return ZOHislipDelegate::OnDataReceive(socket(), data, len);
}

void ZOTcpSession_HiSLIP::OnSessionClose()
{
    m_responder->retire();
    closeDirect();
    ZOHislipDelegate::OnSessionClose(socket());
}

bool ZOTcpSession_HiSLIP::mayReceive() const
{
    return !blocked() || accessGranted();
}

void ZOTcpSession_HiSLIP::OnLciActivate()
{
    closeConnection();
}

void ZOTcpSession_HiSLIP::OnCmdReceive(const void *device, char *text, int length, unsigned tag)
{
    ZO4882Parser *parser = m_parser ? m_parser : ZO4882Parser::s_pSelf.load();
    if (!parser)
        return;
    parser->post(
        createScpiMessage(text, length, tag, INTF_HISLIP, const_cast<void *>(device), m_responder));
}

void ZOTcpSession_HiSLIP::OnDeviceClearReceive(const void *device)
{
    ZO4882ParserAsync::postControl(CTL488_DEVICE_CLEAR, 0, INTF_HISLIP, const_cast<void *>(device));
}

void ZOTcpSession_HiSLIP::OnControlRENReceive(const void *device, int on)
{
    ZO4882ParserAsync::postControl(
        on ? CTL488_REN_ON : CTL488_REN_OFF, 0, INTF_HISLIP, const_cast<void *>(device));
}

void ZOTcpSession_HiSLIP::OnControlLLOReceive(const void *device)
{
    ZO4882ParserAsync::postControl(
        CTL488_LOCAL_LOCKOUT, 0, INTF_HISLIP, const_cast<void *>(device));
}

void ZOTcpSession_HiSLIP::OnControlRemoteReceive(const void *device, int remote)
{
    ZO4882ParserAsync::postControl(
        remote ? CTL488_GO_REMOTE : CTL488_GO_LOCAL, 0, INTF_HISLIP, const_cast<void *>(device));
}

void ZOTcpSession_HiSLIP::sendMessage(const QByteArray &message)
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
    if (QThread::currentThread() == thread()) {
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

std::shared_ptr<ZOScpiResponderLink> ZOTcpSession_HiSLIP::ownResponderLink() const
{
    return m_responder->link();
}

} // namespace zo4882
