#pragma once

#include "remote/ZOScpiResponder.h"

namespace zo4882 {

class ZOTcpSession_Vxi11Core;

// The VXI-11 core session's responder: hands each answer to the link it belongs to (the
// answer's tag is the link id), where device_read takes it, straight from the parser's thread.
// A child of its session. Service requests travel on the interrupt channel, not here.
class ScpiResponder_Vxi11Core : public ZOScpiResponder
{
    Q_OBJECT

public:
    explicit ScpiResponder_Vxi11Core(ZOTcpSession_Vxi11Core *session);

protected:
    void OnRespSend(SCPIRESP_T *response) override;
    void OnSrqRaise(unsigned char) override { }
    // Parser thread, under the link's mutex (the session is alive): always takes the answer.
    bool OnRespSendNow(SCPIRESP_T *response) override;

private:
    ZOTcpSession_Vxi11Core *const m_session; // the parent
};

} // namespace zo4882
