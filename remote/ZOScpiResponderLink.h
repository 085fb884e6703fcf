#pragma once

#include <QMutex>

namespace zo4882 {

class ZOScpiResponder;
struct SCPIRESP_T;

// The thread-safe handle to a responder that program messages carry. It outlives the
// responder: once the responder is destroyed (or retired) the handle is detached, answers
// posted through it are freed on the spot and isValid() is false. Any thread may use it.
class ZOScpiResponderLink
{
public:
    explicit ZOScpiResponderLink(ZOScpiResponder *responder);
    ZOScpiResponderLink(const ZOScpiResponderLink &) = delete;
    ZOScpiResponderLink &operator=(const ZOScpiResponderLink &) = delete;

    // Hands the answer to the responder's thread, where OnRespSend takes and frees it, unless
    // the responder's OnRespSendNow takes it here; answers arrive in the order they were
    // posted. Returns false when the responder is gone (the answer has then been freed here).
    // A null answer is ignored.
    bool postResponse(SCPIRESP_T *response);
    // Queues OnSrqRaise(stb) into the responder's thread; false when the responder is gone.
    bool raiseSrq(unsigned char stb);
    bool isValid() const;

private:
    friend class ZOScpiResponder;
    void detach();

    // Guards m_responder and is held while an event is queued to it, so the responder cannot
    // be destroyed in between. Taken before Qt's event-queue lock, never inside it.
    mutable QMutex m_mutex;
    ZOScpiResponder *m_responder;
};

} // namespace zo4882
