#include "remote/ScpiResponder_ScpiRaw.h"

#include "remote/ZOScpiMessage.h"
#include "remote/ZOTcpSession_ScpiRaw.h"

namespace zo4882 {

ScpiResponder_ScpiRaw::ScpiResponder_ScpiRaw(ZOTcpSession_ScpiRaw *session)
    : ZOScpiResponder(session)
    , m_session(session)
{ }

void ScpiResponder_ScpiRaw::OnRespSend(SCPIRESP_T *response)
{
    const ScpiResponsePtr owned(response);
    m_session->writeAnswer(*owned);
}

void ScpiResponder_ScpiRaw::OnSrqRaise(unsigned char stb)
{
    Q_UNUSED(stb);
}

} // namespace zo4882
