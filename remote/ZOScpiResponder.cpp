#include "remote/ZOScpiResponder.h"

#include "remote/ZOScpiMessage.h"
#include "remote/ZOScpiResponderLink.h"

#include <QCoreApplication>
#include <QEvent>

namespace zo4882 {

namespace {

const QEvent::Type ResponseEventType = QEvent::Type(QEvent::registerEventType());
const QEvent::Type SrqEventType = QEvent::Type(QEvent::registerEventType());

// Owns its answer until the responder takes it, so an event Qt drops frees the answer too.
class ResponseEvent : public QEvent
{
public:
    explicit ResponseEvent(SCPIRESP_T *response)
        : QEvent(ResponseEventType)
        , m_response(response)
    { }
    ScpiResponsePtr m_response;
};

class SrqEvent : public QEvent
{
public:
    explicit SrqEvent(unsigned char stb)
        : QEvent(SrqEventType)
        , m_stb(stb)
    { }
    const unsigned char m_stb;
};

} // namespace

ZOScpiResponder::ZOScpiResponder(QObject *parent)
    : QObject(parent)
    , m_link(std::make_shared<ZOScpiResponderLink>(this))
{ }

ZOScpiResponder::~ZOScpiResponder()
{
    retire();
}

void ZOScpiResponder::retire()
{
    m_link->detach();
    m_magic.store(MAGIC_DEAD);
}

bool ZOScpiResponder::event(QEvent *event)
{
    if (event->type() == ResponseEventType) {
        SCPIRESP_T *response = static_cast<ResponseEvent *>(event)->m_response.release();
        if (isBadMagic())
            freeScpiResponse(response);
        else
            OnRespSend(response);
        return true;
    }
    if (event->type() == SrqEventType) {
        if (!isBadMagic())
            OnSrqRaise(static_cast<SrqEvent *>(event)->m_stb);
        return true;
    }
    return QObject::event(event);
}

bool ZOScpiResponder::OnRespSendNow(SCPIRESP_T *)
{
    return false;
}

// Called by the link under its mutex, so this object is alive.
void ZOScpiResponder::enqueueResponse(SCPIRESP_T *response)
{
    if (!OnRespSendNow(response))
        QCoreApplication::postEvent(this, new ResponseEvent(response));
}

void ZOScpiResponder::enqueueSrq(unsigned char stb)
{
    QCoreApplication::postEvent(this, new SrqEvent(stb));
}

} // namespace zo4882
