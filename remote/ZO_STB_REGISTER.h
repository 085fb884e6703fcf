#pragma once

#include "remote/ZO_REGISTER_TMPL.h"

#include <functional>

namespace zo4882 {

// The status byte. Its enable register is the service-request enable (*SRE). A newly latched
// enabled bit raises a service request (those bits | 0x40); any other change of the condition
// announces the status byte. Both go out through sinks installed at start-up, which pick the
// transports from the preferences; with no sink installed nothing is sent.
class ZO_STB_REGISTER : public ZO_REGISTER_TMPL<unsigned char>
{
public:
    using Sink = std::function<void(unsigned char)>;

    // Status byte bits.
    enum : unsigned char {
        ErrorAvailable = 0x04,
        QuestionableSummary = 0x08,
        MessageAvailable = 0x10,
        EventSummary = 0x20,
        RequestService = 0x40,
        OperationSummary = 0x80,
    };

    // While one is alive in a thread, that thread's service requests and announcements wait and
    // go out when the outermost hold ends, so that no caller's mutex is held while they run.
    class NotifyHold
    {
    public:
        NotifyHold();
        ~NotifyHold();
        NotifyHold(const NotifyHold &) = delete;
        NotifyHold &operator=(const NotifyHold &) = delete;
    };

    ZO_STB_REGISTER();

    unsigned char setCondition(unsigned char bits, int set) override;
    // The status byte has no readable event register.
    unsigned char getEvent() override { return 0; }
    // Clears the condition and announces the status byte.
    void resetCondition() override;

    // *STB?: the condition with 0x10, plus 0x40 when *SRE shares another bit with that value.
    unsigned char readStatusByte() const;

    // Sinks are called in the thread that changed the register, without any register or queue
    // mutex held; they must only post (queued signal or similar).
    void setServiceRequestSink(Sink sink);
    void setStatusByteSink(Sink sink);

private:
    void serviceRequest(unsigned char value);
    void announce();
    void flushHeld(unsigned char srq, bool announceStb);

    mutable QMutex m_sinkMutex; // guards m_srqSink and m_stbSink
    Sink m_srqSink;
    Sink m_stbSink;
};

} // namespace zo4882
