#include "remote/ZOTcpSession_Vxi11Core.h"

#include "remote/ScpiResponder_Vxi11Core.h"
#include "remote/ZO4882Parser.h"
#include "remote/ZO4882ParserAsync.h"
#include "remote/ZOScpiMessage.h"

namespace zo4882 {

ZOTcpSession_Vxi11Core::ZOTcpSession_Vxi11Core(
    QTcpSocket *socket, ZO4882Parser *parser, int clearWaitMs)
    : ZOTcpSession_Rpc(socket, BufferSize)
    , ZOVxi11CoreDelegate(this)
    , m_parser(parser)
    , m_responder(new ScpiResponder_Vxi11Core(this))
{
    m_clearWaitMs = clearWaitMs;
}

ZOTcpSession_Vxi11Core::~ZOTcpSession_Vxi11Core()
{
    m_responder->retire();
}

QByteArray ZOTcpSession_Vxi11Core::answerCall(const unsigned char *record, int len)
{
    handleCall(record, len);
    return QByteArray();
}

void ZOTcpSession_Vxi11Core::OnSessionOpen()
{
    openDirect();
}

void ZOTcpSession_Vxi11Core::OnSessionClose()
{
    m_responder->retire();
    closeLinks();
}

ZO4882Parser *ZOTcpSession_Vxi11Core::parser() const
{
    return m_parser ? m_parser : ZO4882Parser::s_pSelf.load();
}

int ZOTcpSession_Vxi11Core::OnCmdReceive(const char *text, int length, qint32 lid)
{
    ZO4882Parser *target = parser();
    if (!target)
        return 0;
    target->post(createScpiMessage(text, length, unsigned(lid), INTF_VXI11, socket(), m_responder));
    return 0;
}

int ZOTcpSession_Vxi11Core::OnInputReceive(char *input, int length, bool end, qint32 lid)
{
    ZO4882Parser *target = parser();
    if (!target)
        return length;
    return target->postReceived(
        input, length, end, INTF_VXI11, unsigned(lid), socket(), m_responder);
}

void ZOTcpSession_Vxi11Core::OnDeviceClearReceive(qint32 lid)
{
    ZO4882ParserAsync::postControl(CTL488_DEVICE_CLEAR, unsigned(lid), INTF_VXI11, socket());
}

void ZOTcpSession_Vxi11Core::OnControlRENReceive(bool on, qint32 lid)
{
    ZO4882ParserAsync::postControl(
        on ? CTL488_REN_ON : CTL488_REN_OFF, unsigned(lid), INTF_VXI11, socket());
}

void ZOTcpSession_Vxi11Core::OnControlRemoteReceive(bool remote, qint32 lid)
{
    ZO4882ParserAsync::postControl(
        remote ? CTL488_GO_REMOTE : CTL488_GO_LOCAL, unsigned(lid), INTF_VXI11, socket());
}

ZOTcpService_Vxi11Core::ZOTcpService_Vxi11Core(
    quint16 port, ZO4882Parser *parser, const QHostAddress &address, int clearWaitMs)
    : ZOTcpService(port, address)
    , m_parser(parser)
    , m_clearWaitMs(clearWaitMs)
{ }

ZOTcpService_Vxi11Core::~ZOTcpService_Vxi11Core()
{
    stop();
}

zostd::ZOTcpSession *ZOTcpService_Vxi11Core::createProtocolSpecificSession(QTcpSocket *socket)
{
    return new ZOTcpSession_Vxi11Core(socket, m_parser, m_clearWaitMs);
}

} // namespace zo4882
