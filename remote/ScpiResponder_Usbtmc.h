#pragma once

#include "remote/ZOScpiResponder.h"

namespace zo4882 {

class ZOUsbtmcService;

// The USBTMC service's responder: answers go into the service's answer buffer, from which the
// host's REQUEST_DEV_DEP_MSG_IN takes them. Lives in the service's thread as its child.
// Service requests reach the host through the status byte (ZOUsbtmcService::broadcastSRQ).
class ScpiResponder_Usbtmc : public ZOScpiResponder
{
    Q_OBJECT

public:
    explicit ScpiResponder_Usbtmc(ZOUsbtmcService *service);

protected:
    void OnRespSend(SCPIRESP_T *response) override;
    void OnSrqRaise(unsigned char stb) override;

private:
    ZOUsbtmcService *const m_service; // the parent
};

} // namespace zo4882
