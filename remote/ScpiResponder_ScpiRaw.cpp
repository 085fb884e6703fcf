#include "remote/ScpiResponder_ScpiRaw.h"

#include "remote/ZOScpiMessage.h"
#include "remote/ZOTcpSession_ScpiRaw.h"

#include <QMutexLocker>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace zo4882 {

ScpiResponder_ScpiRaw::ScpiResponder_ScpiRaw(ZOTcpSession_ScpiRaw *session, const void *device)
    : ZOScpiResponder(session)
    , m_session(session)
    , m_device(device)
{ }

ScpiResponder_ScpiRaw::~ScpiResponder_ScpiRaw()
{
    retire();
    closeDirect();
}

void ScpiResponder_ScpiRaw::openDirect(int descriptor)
{
    QMutexLocker lock(&m_directMutex);
    if (m_descriptor >= 0 || descriptor < 0)
        return;
    m_descriptor = ::fcntl(descriptor, F_DUPFD_CLOEXEC, 0);
    m_direct = m_descriptor >= 0 && m_queued == 0;
}

void ScpiResponder_ScpiRaw::closeDirect()
{
    QMutexLocker lock(&m_directMutex);
    m_direct = false;
    if (m_descriptor >= 0)
        ::close(m_descriptor);
    m_descriptor = -1;
}

bool ScpiResponder_ScpiRaw::sendsDirect()
{
    QMutexLocker lock(&m_directMutex);
    return m_direct;
}

void ScpiResponder_ScpiRaw::resumeDirect()
{
    QMutexLocker lock(&m_directMutex);
    if (m_descriptor >= 0 && m_queued == 0 && m_session->unsentBytes() == 0)
        m_direct = true;
}

bool ScpiResponder_ScpiRaw::OnRespSendNow(SCPIRESP_T *response)
{
    QMutexLocker lock(&m_directMutex);
    if (m_direct && response->device == m_device) {
        const ssize_t sent = ::send(
            m_descriptor, response->text(), size_t(response->length), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent == response->length) {
            freeScpiResponse(response);
            return true;
        }
        // The socket takes the rest in the session thread and reports a broken connection
        // there; later answers queue behind it.
        m_direct = false;
        if (sent > 0) {
            response->length -= int(sent);
            std::memmove(response->text(), response->text() + sent, size_t(response->length));
        }
    }
    ++m_queued;
    return false;
}

void ScpiResponder_ScpiRaw::OnRespSend(SCPIRESP_T *response)
{
    const ScpiResponsePtr owned(response);
    {
        QMutexLocker lock(&m_directMutex);
        --m_queued;
    }
    // An answer the closed connection could not take breaks the stream: nothing follows it.
    if (m_session->writeAnswer(*owned))
        resumeDirect();
    else
        closeDirect();
}

void ScpiResponder_ScpiRaw::OnSrqRaise(unsigned char stb)
{
    Q_UNUSED(stb);
}

} // namespace zo4882
