#pragma once

#include "remote/IParserEventSink.h"
#include "remote/ZO4882ParserDelegate.h"
#include "remote/ZOScpiMessage.h"

#include <QMutex>
#include <QObject>
#include <QThread>

#include <atomic>
#include <climits>
#include <cstdint>
#include <functional>
#include <memory>

class QTimer;

namespace zo4882 {

class IDictIndex;
class ZOFlowControl;
class ZOScpiResponder;

// The one program-message parser: transports post whole program messages from any thread; it
// runs them one after the other in its own high-priority thread, answers each through the
// message's responder, discards queued messages on a device clear and watches for silence
// (the communication watchdog). The instrument derives from it (OnParsed, OnSettingsConflict,
// OnWdogTimeout). Create and destroy it in the same thread, never in its own.
class ZO4882Parser : public QObject, public IParserEventSink
{
    Q_OBJECT

public:
    static constexpr char s_termchar = '\n';
    // The parser in use: null before it exists and from the start of its stop().
    static std::atomic<ZO4882Parser *> s_pSelf;

    // tickMs is the watchdog's check interval: a trip is noticed up to one tick late.
    ZO4882Parser(const IDictIndex *dict, DEFAULT_NODE_TYPES root, int tickMs = 1000);
    // Calls stop().
    ~ZO4882Parser() override;

    // Stops the parser thread (not from it; idempotent): messages still queued are freed
    // unparsed, and OnShutdown() is called until the running message has ended. A derived
    // parser that overrides OnShutdown() calls stop() in its own destructor.
    void stop();

    // Queues the message for execution; any thread; ownership passes to the parser (also for
    // a message that is then discarded). Returns 1, or 0 for a null message and once stop()
    // has begun (the message is freed).
    int post(SCPIMSG_T *message);
    // Cuts every complete program message out of buffer (ZOMessageSplitter rules, also past
    // its 16 messages per cut), at most maxMessages, and posts each with the given origin and
    // the session's flow control (counted as posted there). Returns the number of bytes used;
    // the caller keeps the rest for its next read. *posted (when given) receives the number of
    // messages cut. Call it in responder's thread.
    int postReceived(char *buffer,
        int length,
        bool endIsMessage,
        INTF_TYPE_ENUM intf,
        unsigned tag,
        void *device,
        ZOScpiResponder *responder,
        int maxMessages = INT_MAX,
        int *posted = nullptr,
        const std::shared_ptr<ZOFlowControl> &flow = {});
    // Run in post()'s caller thread before the message is queued: the remote/local handler
    // puts the instrument into the remote state here. Install it before any post.
    void setPostHook(std::function<void(const SCPIMSG_T &)> hook) { m_postHook = std::move(hook); }
    // Run in post()'s caller thread after the post hook, before the message is queued: the
    // instrument lets an abort from another session end a running wait here. Install it
    // before any post.
    void setArrivalHook(std::function<void(const SCPIMSG_T &)> hook)
    {
        m_arrivalHook = std::move(hook);
    }

    // The parser's share of a device clear (any thread): every message posted so far and not
    // yet taken is discarded unparsed, and the message running now stops at its next message
    // unit without an answer. Messages posted afterwards run normally.
    void deviceClear();
    // Messages posted and not yet taken out of the queue; messages still to be discarded.
    int pendingCount() const { return m_pending.load(); }
    int discardCount() const { return m_discard.load(); }

    // Deny flags = set | (flags & ~clear), under their mutex; any thread. A change made by a
    // command applies from the next unit of the same message, one from elsewhere from the
    // next message on.
    void resetAndSetDenyFlags(unsigned clear, unsigned set);
    unsigned denyFlags() const;

    // Communication watchdog (any thread): trips once when no program message arrived for
    // periodMs (0 = off), measured from the last message or from these calls.
    void setWatchDog(int periodMs);
    void refreshWatchDog();
    // Clears the fired flag and restarts the clock: the watchdog can trip again.
    void recoverWatchDog();
    int watchDogPeriod() const;
    bool watchDogFired() const;
    // Called in the parser thread when the watchdog trips (by the base OnWdogTimeout): the
    // start-up hands down the source's watchdog protection here.
    void setWatchdogHandler(std::function<void()> handler);

    // Abort flag of the running message, for the control sink.
    void setAbort(bool abort) { m_delegate.setAbort(abort); }

    // IParserEventSink, called in the parser thread. The base runs the unit through
    // ZOCommandRunner (value-bound settings under the value registry's mutex) and refuses
    // denied settings with -221.
    void OnParsed(
        const ZO_PARSER_RESULT *result, const unsigned &denyFlags, ZOCmdArg **answer) override;
    short OnSettingsConflict(unsigned deniedBits) const override;

Q_SIGNALS:
    // Carries a heap message to OnMsgPost (queued, parser thread), which frees it.
    void posted(const zo4882::SCPIMSG_T *message);
    void wdogTimeout();

protected:
    // Called in stop()'s thread, again every few milliseconds until the parser thread has
    // stopped, since the running message may start a wait just after a call: ends what it
    // may be blocked in. Base: raises the abort and ends the *OPC? and *WAI waits.
    virtual void OnShutdown();

protected Q_SLOTS:
    virtual void OnMsgPost(const zo4882::SCPIMSG_T *message);
    virtual void OnTimeout();
    // The base calls the watchdog handler.
    virtual void OnWdogTimeout();

private:
    void answer(const SCPIMSG_T &message, const char *text, int length);
    void stopInThread();
    std::int64_t nowMs() const;

    ZO4882ParserDelegate m_delegate;
    QThread m_thread;
    QTimer *m_timer; // child; lives in m_thread
    std::function<void(const SCPIMSG_T &)> m_postHook; // set before posting starts
    std::function<void(const SCPIMSG_T &)> m_arrivalHook; // likewise

    // Guards m_watchdogPeriod, m_watchdogFired, m_lastActivity and m_watchdogHandler.
    mutable QMutex m_watchdogMutex;
    int m_watchdogPeriod = 0; // ms, 0 = off
    bool m_watchdogFired = false;
    std::int64_t m_lastActivity = 0; // ms on the steady clock
    std::function<void()> m_watchdogHandler;

    // Guards m_denyFlags. m_denyView is the parser thread's copy handed to the delegate.
    mutable QMutex m_denyMutex;
    unsigned m_denyFlags = 0;
    unsigned m_denyView = 0;

    // A message is discarded when its sequence number is not above m_clearedThrough; the
    // counts are kept for the control handler and tests.
    std::atomic<std::uint64_t> m_lastSequence { 0 };
    std::atomic<std::uint64_t> m_clearedThrough { 0 };
    std::atomic<int> m_pending { 0 };
    std::atomic<int> m_discard { 0 };
    // Set by stop() before it waits for the thread: what is still queued is freed unparsed.
    std::atomic<bool> m_stopping { false };
    std::atomic<int> m_posting { 0 }; // post() calls between their m_stopping check and emit
};

} // namespace zo4882
