#include "remote/ZOTcpService_ScpiRaw.h"

#include "remote/ZOTcpSession_ScpiRaw.h"

namespace zo4882 {

ZOTcpService_ScpiRaw::ZOTcpService_ScpiRaw(
    quint16 port, ZO4882Parser *parser, const QHostAddress &address, int maxSessions,
    int drainLimitMs)
    : ZOTcpService(port, address, maxSessions)
    , m_parser(parser)
    , m_drainLimitMs(drainLimitMs)
{ }

ZOTcpService_ScpiRaw::~ZOTcpService_ScpiRaw()
{
    stop();
}

zostd::ZOTcpSession *ZOTcpService_ScpiRaw::createProtocolSpecificSession(QTcpSocket *socket)
{
    return new ZOTcpSession_ScpiRaw(socket, m_parser, m_drainLimitMs);
}

} // namespace zo4882
