#pragma once

#include "remote/ZOTcpService.h"

#include <atomic>

namespace zostd {
class IPreferenceInfo;
}

namespace zo4882 {

class ZO4882Parser;

// The telnet SCPI console (default port 5024 from the preferences): one
// ZOTcpSession_ScpiTelnet per accepted connection, each in a thread of its own.
class ZOTcpService_ScpiTelnet : public zostd::ZOTcpService
{
    Q_OBJECT

public:
    // The preferences whose welcome text and prompt the sessions show; set by the start-up
    // before the service starts. Null falls back to the library's preferences.
    static std::atomic<zostd::IPreferenceInfo *> s_pPI;

    // parser as ZOTcpService_ScpiRaw's: stop() the service before destroying it.
    explicit ZOTcpService_ScpiTelnet(quint16 port,
        ZO4882Parser *parser = nullptr,
        const QHostAddress &address = QHostAddress::Any);
    ~ZOTcpService_ScpiTelnet() override;

protected:
    zostd::ZOTcpSession *createProtocolSpecificSession(QTcpSocket *socket) override;

private:
    ZO4882Parser *const m_parser;
};

} // namespace zo4882
