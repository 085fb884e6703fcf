#include "remote/ScpiResponder_HiSLIP.h"

#include "remote/ZOScpiMessage.h"
#include "remote/ZOTcpSession_HiSLIP.h"

namespace zo4882 {

ScpiResponder_HiSLIP::ScpiResponder_HiSLIP(ZOTcpSession_HiSLIP *session)
    : ZOScpiResponder(session)
    , m_session(session)
{ }

void ScpiResponder_HiSLIP::OnRespSend(SCPIRESP_T *response)
{
    const ScpiResponsePtr owned(response);
    m_session->writeAnswer(owned->text(), owned->length, owned->tag);
}

bool ScpiResponder_HiSLIP::OnRespSendNow(SCPIRESP_T *response)
{
    if (!m_session->writeAnswerNow(response->text(), response->length, response->tag))
        return false;
    freeScpiResponse(response);
    return true;
}

void ScpiResponder_HiSLIP::OnSrqRaise(unsigned char stb)
{
    m_session->writeServiceRequest(stb);
}

} // namespace zo4882
