#include "remote/ScpiResponder_ScpiTelnet.h"

#include "remote/ZOScpiMessage.h"
#include "remote/ZOTcpSession_ScpiTelnet.h"

namespace zo4882 {

ScpiResponder_ScpiTelnet::ScpiResponder_ScpiTelnet(ZOTcpSession_ScpiTelnet *session)
    : ZOScpiResponder(session)
    , m_session(session)
{ }

void ScpiResponder_ScpiTelnet::OnRespSend(SCPIRESP_T *response)
{
    const ScpiResponsePtr owned(response);
    m_session->writeAnswer(*owned);
}

void ScpiResponder_ScpiTelnet::OnSrqRaise(unsigned char stb)
{
    Q_UNUSED(stb);
}

} // namespace zo4882
