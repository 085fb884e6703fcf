#include "remote/ZOScpiResponderLink.h"

#include "remote/ZOScpiMessage.h"
#include "remote/ZOScpiResponder.h"

namespace zo4882 {

ZOScpiResponderLink::ZOScpiResponderLink(ZOScpiResponder *responder)
    : m_responder(responder)
{ }

bool ZOScpiResponderLink::postResponse(SCPIRESP_T *response)
{
    if (!response)
        return false;
    {
        QMutexLocker lock(&m_mutex);
        if (m_responder) {
            m_responder->enqueueResponse(response);
            return true;
        }
    }
    freeScpiResponse(response);
    return false;
}

bool ZOScpiResponderLink::raiseSrq(unsigned char stb)
{
    QMutexLocker lock(&m_mutex);
    if (!m_responder)
        return false;
    m_responder->enqueueSrq(stb);
    return true;
}

bool ZOScpiResponderLink::isValid() const
{
    QMutexLocker lock(&m_mutex);
    return m_responder != nullptr;
}

void ZOScpiResponderLink::detach()
{
    QMutexLocker lock(&m_mutex);
    m_responder = nullptr;
}

} // namespace zo4882
