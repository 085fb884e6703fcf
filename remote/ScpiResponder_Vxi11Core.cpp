#include "remote/ScpiResponder_Vxi11Core.h"

#include "remote/ZOScpiMessage.h"
#include "remote/ZOTcpSession_Vxi11Core.h"

namespace zo4882 {

ScpiResponder_Vxi11Core::ScpiResponder_Vxi11Core(ZOTcpSession_Vxi11Core *session)
    : ZOScpiResponder(session)
    , m_session(session)
{ }

void ScpiResponder_Vxi11Core::OnRespSend(SCPIRESP_T *response)
{
    ScpiResponsePtr owned(response);
    m_session->SendResponseBack(qint32(response->tag), response->text(), response->length);
}

bool ScpiResponder_Vxi11Core::OnRespSendNow(SCPIRESP_T *response)
{
    OnRespSend(response);
    return true;
}

} // namespace zo4882
