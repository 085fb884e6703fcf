#pragma once

#include "remote/ZOTcpService.h"

namespace zo4882 {

class ZO4882Parser;

// The HiSLIP service (default port 4880 from the preferences): one ZOTcpSession_HiSLIP per
// accepted connection; a client takes two (synchronous and asynchronous), and four clients
// are served at once.
class ZOTcpService_HiSLIP : public zostd::ZOTcpService
{
    Q_OBJECT

public:
    // parser: where the sessions post (ZO4882Parser::s_pSelf when null); it must outlive the
    // service's sessions.
    explicit ZOTcpService_HiSLIP(quint16 port,
        ZO4882Parser *parser = nullptr,
        const QHostAddress &address = QHostAddress::Any,
        int maxSessions = DefaultMaxSessions);
    ~ZOTcpService_HiSLIP() override;

protected:
    zostd::ZOTcpSession *createProtocolSpecificSession(QTcpSocket *socket) override;

private:
    ZO4882Parser *const m_parser;
};

} // namespace zo4882
