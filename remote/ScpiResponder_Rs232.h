#pragma once

#include "remote/ZOScpiResponder.h"

namespace zo4882 {

class ZORs232Service;

// The RS-232 service's responder: writes each answer to the serial port, in meta-command mode
// after the status record (0x01, status byte with message available set, and request service
// when *SRE enables message available). Lives in the service's thread as its child. Service
// requests have no path of their own on this line and are ignored.
class ScpiResponder_Rs232 : public ZOScpiResponder
{
    Q_OBJECT

public:
    explicit ScpiResponder_Rs232(ZORs232Service *service);

protected:
    void OnRespSend(SCPIRESP_T *response) override;
    void OnSrqRaise(unsigned char stb) override;

private:
    ZORs232Service *const m_service; // the parent
};

} // namespace zo4882
