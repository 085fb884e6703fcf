#include "remote/ScpiResponder_Rs232.h"

#include "remote/ZORs232Service.h"
#include "remote/ZOScpiMessage.h"

namespace zo4882 {

ScpiResponder_Rs232::ScpiResponder_Rs232(ZORs232Service *service)
    : ZOScpiResponder(service)
    , m_service(service)
{ }

void ScpiResponder_Rs232::OnRespSend(SCPIRESP_T *response)
{
    const ScpiResponsePtr owned(response);
    m_service->writeAnswer(*owned);
}

void ScpiResponder_Rs232::OnSrqRaise(unsigned char stb)
{
    Q_UNUSED(stb);
}

} // namespace zo4882
