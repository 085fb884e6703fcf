#pragma once

#include "remote/ZOScpiResponder.h"

#include <QMutex>

namespace zo4882 {

class ZOTcpSession_ScpiRaw;

// The raw-socket session's responder: writes each answer unchanged to the session's
// connection, one write per answer. Lives in the session thread as a child of its session.
// Service requests have no path on this transport and are ignored.
//
// While the connection is open and the socket holds no unsent bytes, an answer leaves at once
// from the parser's thread: one non-blocking send on the responder's own duplicate of the
// socket's descriptor, which saves the hop into the session thread. What the kernel does not
// take at once, and every answer after it, goes the queued way through the socket until the
// session thread has written it all out; then direct sending resumes.
class ScpiResponder_ScpiRaw : public ZOScpiResponder
{
    Q_OBJECT

public:
    // device is the session's connection handle, the one its answers carry.
    ScpiResponder_ScpiRaw(ZOTcpSession_ScpiRaw *session, const void *device);
    ~ScpiResponder_ScpiRaw() override;

    // Session thread, once the connection is up: duplicates descriptor for direct sending.
    void openDirect(int descriptor);
    // Any thread: no answer leaves directly from now on; the duplicate is closed. Called
    // before the socket closes its own descriptor or, where Qt closes it unannounced, at the
    // first signal after; the duplicate keeps the number from being reused meanwhile. After
    // the peer ended its sending side, called once its answers went out: closing sends the end.
    void closeDirect();
    // Any thread: answers leave directly now (nothing waits in the session thread).
    bool sendsDirect();
    // Session thread, when the socket's write buffer may have drained: direct sending resumes
    // once no queued answer is left and the socket holds no unsent bytes.
    void resumeDirect();

protected:
    void OnRespSend(SCPIRESP_T *response) override;
    void OnSrqRaise(unsigned char stb) override;
    // Any thread, under the link's mutex.
    bool OnRespSendNow(SCPIRESP_T *response) override;

private:
    ZOTcpSession_ScpiRaw *const m_session; // the parent
    const void *const m_device;

    // Guards m_descriptor, m_direct and m_queued. Taken inside the link's mutex (by
    // OnRespSendNow), never the other way round.
    QMutex m_directMutex;
    int m_descriptor = -1; // own duplicate of the socket's descriptor, -1 once closed
    bool m_direct = false; // answers may be sent at once on m_descriptor
    int m_queued = 0; // answers handed to the session thread and not yet written
};

} // namespace zo4882
