#pragma once

#include "remote/ZOScpiResponder.h"

namespace zo4882 {

class ZOTcpSession_ScpiTelnet;

// The telnet session's responder: writes each answer (and the prompt the parser sends after
// every message) unchanged to the session's connection. Lives in the session thread as a
// child of its session. Service requests have no path on this transport and are ignored.
class ScpiResponder_ScpiTelnet : public ZOScpiResponder
{
    Q_OBJECT

public:
    explicit ScpiResponder_ScpiTelnet(ZOTcpSession_ScpiTelnet *session);

protected:
    void OnRespSend(SCPIRESP_T *response) override;
    void OnSrqRaise(unsigned char stb) override;

private:
    ZOTcpSession_ScpiTelnet *const m_session; // the parent
};

} // namespace zo4882
