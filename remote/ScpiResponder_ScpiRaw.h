#pragma once

#include "remote/ZOScpiResponder.h"

namespace zo4882 {

class ZOTcpSession_ScpiRaw;

// The raw-socket session's responder: writes each answer unchanged to the session's
// connection, one write per answer. Lives in the session thread as a child of its session.
// Service requests have no path on this transport and are ignored.
class ScpiResponder_ScpiRaw : public ZOScpiResponder
{
    Q_OBJECT

public:
    explicit ScpiResponder_ScpiRaw(ZOTcpSession_ScpiRaw *session);

protected:
    void OnRespSend(SCPIRESP_T *response) override;
    void OnSrqRaise(unsigned char stb) override;

private:
    ZOTcpSession_ScpiRaw *const m_session; // the parent
};

} // namespace zo4882
