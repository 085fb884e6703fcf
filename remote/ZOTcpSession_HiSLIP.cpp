#include "remote/ZOTcpSession_HiSLIP.h"

#include "remote/ScpiResponder_HiSLIP.h"
#include "remote/ZO4882Parser.h"
#include "remote/ZO4882ParserAsync.h"
#include "remote/ZOScpiMessage.h"

#include <QTcpSocket>

namespace zo4882 {

ZOTcpSession_HiSLIP::ZOTcpSession_HiSLIP(QTcpSocket *socket, ZO4882Parser *parser)
    : ZOTcpSession(socket, BufferSize)
    , m_parser(parser)
    , m_responder(new ScpiResponder_HiSLIP(this))
{ }

ZOTcpSession_HiSLIP::~ZOTcpSession_HiSLIP()
{
    m_responder->retire();
}

void ZOTcpSession_HiSLIP::OnSessionOpen()
{
    openDirect();
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
    sendAnyThread(message);
}

std::shared_ptr<ZOScpiResponderLink> ZOTcpSession_HiSLIP::ownResponderLink() const
{
    return m_responder->link();
}

} // namespace zo4882
