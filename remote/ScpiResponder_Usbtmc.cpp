#include "remote/ScpiResponder_Usbtmc.h"

#include "remote/ZOScpiMessage.h"
#include "remote/ZOUsbtmcService.h"

namespace zo4882 {

ScpiResponder_Usbtmc::ScpiResponder_Usbtmc(ZOUsbtmcService *service)
    : ZOScpiResponder(service)
    , m_service(service)
{ }

void ScpiResponder_Usbtmc::OnRespSend(SCPIRESP_T *response)
{
    const ScpiResponsePtr owned(response);
    m_service->respond(*owned);
}

void ScpiResponder_Usbtmc::OnSrqRaise(unsigned char stb)
{
    Q_UNUSED(stb);
}

} // namespace zo4882
