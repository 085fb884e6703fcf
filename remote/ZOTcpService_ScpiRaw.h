#pragma once

#include "remote/ZOTcpService.h"

namespace zo4882 {

class ZO4882Parser;

// The raw-socket SCPI service (default port 5025 from the preferences): one
// ZOTcpSession_ScpiRaw per accepted connection, each in a thread of its own.
class ZOTcpService_ScpiRaw : public zostd::ZOTcpService
{
    Q_OBJECT

public:
    // parser: where the sessions post (ZO4882Parser::s_pSelf when null); it must outlive the
    // service's sessions, that is, stop() the service before destroying the parser.
    // maxSessions: concurrent connections; those beyond it are closed at once.
    // drainLimitMs: each session's bound on the wait for answers after the peer's end.
    explicit ZOTcpService_ScpiRaw(quint16 port,
        ZO4882Parser *parser = nullptr,
        const QHostAddress &address = QHostAddress::Any,
        int maxSessions = DefaultMaxSessions,
        int drainLimitMs = 2000);
    ~ZOTcpService_ScpiRaw() override;

protected:
    zostd::ZOTcpSession *createProtocolSpecificSession(QTcpSocket *socket) override;

private:
    ZO4882Parser *const m_parser;
    const int m_drainLimitMs;
};

} // namespace zo4882
