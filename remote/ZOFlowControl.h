#pragma once

#include <QMutex>
#include <QtGlobal>

#include <atomic>
#include <functional>

namespace zo4882 {

// Bounds the work one session of a transport may have in flight, so that a client that sends
// faster than the parser runs, or never reads its answers, is held back by its own connection
// (the session stops reading; TCP or the line pushes back) instead of filling the memory and
// delaying every other client. Shared by the session and the messages it posted (each holds
// it); when a session closes, its messages still queued are dropped unparsed.
//
// Threads: messagePosted() in the session's thread, messageDone() wherever a message is freed
// (the parser's thread), the rest from any thread.
class ZOFlowControl
{
public:
    static constexpr int DefaultMaxMessages = 8;
    static constexpr qint64 DefaultMaxUnsentBytes = 64 * 1024;

    explicit ZOFlowControl(
        int maxMessages = DefaultMaxMessages, qint64 maxUnsentBytes = DefaultMaxUnsentBytes);

    // Messages the session may post now: 0 while its bound is reached.
    int room() const;
    // Whether the session may read more input, with unsentBytes of its answers not yet sent.
    bool mayRead(qint64 unsentBytes) const { return room() > 0 && unsentBytes <= m_maxUnsent; }
    int queued() const { return m_queued.load(); }

    void messagePosted() { m_queued.fetch_add(1); }
    // A message of the session ran or was dropped. Calls the wake-up when the queue has
    // drained to half the bound, where a session that stopped reading resumes.
    void messageDone();

    // The session's wake-up, called in the thread that finished a message (it posts to the
    // session's own thread); cleared by close().
    void setWakeUp(std::function<void()> wakeUp);
    // The session has closed: no further wake-up, and messages still queued are dropped.
    void close();
    bool isClosed() const { return m_closed.load(); }

private:
    const int m_maxMessages;
    const qint64 m_maxUnsent;
    std::atomic<int> m_queued { 0 };
    std::atomic<bool> m_closed { false };
    QMutex m_mutex; // guards m_wakeUp, held while it runs so close() waits for a running call
    std::function<void()> m_wakeUp;
};

} // namespace zo4882
