#include "remote/ZO_STB_REGISTER.h"

namespace zo4882 {

namespace {

// Per-thread state of NotifyHold: nesting depth and what waits to go out.
struct HeldNotifications
{
    int depth = 0;
    unsigned char srq = 0;
    bool announce = false;
    ZO_STB_REGISTER *stb = nullptr;
};

thread_local HeldNotifications t_held;

} // namespace

ZO_STB_REGISTER::NotifyHold::NotifyHold()
{
    ++t_held.depth;
}

ZO_STB_REGISTER::NotifyHold::~NotifyHold()
{
    if (--t_held.depth > 0)
        return;
    ZO_STB_REGISTER *stb = t_held.stb;
    const unsigned char srq = t_held.srq;
    const bool announceStb = t_held.announce;
    t_held = HeldNotifications();
    if (stb)
        stb->flushHeld(srq, announceStb);
}

ZO_STB_REGISTER::ZO_STB_REGISTER()
    : ZO_REGISTER_TMPL<unsigned char>(0, 0xFF)
{ }

unsigned char ZO_STB_REGISTER::setCondition(unsigned char bits, int set)
{
    const unsigned char raised = applyCondition(bits, set);
    if (raised)
        serviceRequest(raised | RequestService);
    else
        announce();
    return raised;
}

void ZO_STB_REGISTER::resetCondition()
{
    ZO_REGISTER_TMPL<unsigned char>::resetCondition();
    announce();
}

unsigned char ZO_STB_REGISTER::readStatusByte() const
{
    unsigned char value = condition() | MessageAvailable;
    if (enabler() & value & ~RequestService)
        value |= RequestService;
    return value;
}

void ZO_STB_REGISTER::setServiceRequestSink(Sink sink)
{
    QMutexLocker lock(&m_sinkMutex);
    m_srqSink = std::move(sink);
}

void ZO_STB_REGISTER::setStatusByteSink(Sink sink)
{
    QMutexLocker lock(&m_sinkMutex);
    m_stbSink = std::move(sink);
}

void ZO_STB_REGISTER::serviceRequest(unsigned char value)
{
    if (t_held.depth > 0) {
        t_held.stb = this;
        t_held.srq |= value;
        return;
    }
    flushHeld(value, false);
}

void ZO_STB_REGISTER::announce()
{
    if (t_held.depth > 0) {
        t_held.stb = this;
        t_held.announce = true;
        return;
    }
    flushHeld(0, true);
}

void ZO_STB_REGISTER::flushHeld(unsigned char srq, bool announceStb)
{
    Sink srqSink;
    Sink stbSink;
    {
        QMutexLocker lock(&m_sinkMutex);
        srqSink = m_srqSink;
        stbSink = m_stbSink;
    }
    if (srq && srqSink)
        srqSink(srq);
    if (announceStb && stbSink)
        stbSink(condition());
}

} // namespace zo4882
