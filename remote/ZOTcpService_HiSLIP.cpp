#include "remote/ZOTcpService_HiSLIP.h"

#include "remote/ZOHislipDelegate.h"
#include "remote/ZOTcpSession_HiSLIP.h"

namespace zo4882 {

ZOTcpService_HiSLIP::ZOTcpService_HiSLIP(
    quint16 port, ZO4882Parser *parser, const QHostAddress &address, int maxSessions)
    : ZOTcpService(port, address, maxSessions)
    , m_parser(parser)
{ }

ZOTcpService_HiSLIP::~ZOTcpService_HiSLIP()
{
    // A session thread waiting for a lock would keep stop() waiting for the client's timeout.
    ZOHislipDelegate::interruptLockWaits(true);
    stop();
    ZOHislipDelegate::interruptLockWaits(false);
}

zostd::ZOTcpSession *ZOTcpService_HiSLIP::createProtocolSpecificSession(QTcpSocket *socket)
{
    return new ZOTcpSession_HiSLIP(socket, m_parser);
}

} // namespace zo4882
