#include "remote/ZOTcpService_ScpiTelnet.h"

#include "remote/ZOTcpSession_ScpiTelnet.h"

namespace zo4882 {

std::atomic<zostd::IPreferenceInfo *> ZOTcpService_ScpiTelnet::s_pPI { nullptr };

ZOTcpService_ScpiTelnet::ZOTcpService_ScpiTelnet(
    quint16 port, ZO4882Parser *parser, const QHostAddress &address)
    : ZOTcpService(port, address)
    , m_parser(parser)
{ }

ZOTcpService_ScpiTelnet::~ZOTcpService_ScpiTelnet()
{
    stop();
}

zostd::ZOTcpSession *ZOTcpService_ScpiTelnet::createProtocolSpecificSession(QTcpSocket *socket)
{
    return new ZOTcpSession_ScpiTelnet(socket, m_parser);
}

} // namespace zo4882
