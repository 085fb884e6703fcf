#pragma once

#include "remote/ZOScpiResponder.h"

namespace zo4882 {

class ZOTcpSession_HiSLIP;

// The HiSLIP session's responder, a child of its session in the session thread: answers go
// to the delegate, which sends them as DataEnd on the synchronous connection; service requests
// leave as AsyncServiceRequest on the asynchronous one.
class ScpiResponder_HiSLIP : public ZOScpiResponder
{
    Q_OBJECT

public:
    explicit ScpiResponder_HiSLIP(ZOTcpSession_HiSLIP *session);

protected:
    void OnRespSend(SCPIRESP_T *response) override;
    void OnSrqRaise(unsigned char stb) override;
    // Parser thread: a synchronous connection's answer leaves from here.
    bool OnRespSendNow(SCPIRESP_T *response) override;

private:
    ZOTcpSession_HiSLIP *const m_session; // the parent
};

} // namespace zo4882
