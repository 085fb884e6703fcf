#pragma once

#include "remote/CTL488MSG_T.h"

#include <QObject>

#include <atomic>
#include <memory>

class QThread;

namespace zo4882 {

class ZO4882Parser;
class _IFCTRL_SINK;

// The control-message handler: takes the interfaces' control events in a thread of its own,
// apart from the parser thread, so that a device clear acts while a command runs. It keeps the
// remote/local state s_rlst and calls the control sink, and has the parser post go-to-remote
// when a program message arrives while remote enable is on and the instrument is local. Built
// once by the start-up right after the parser, before any transport posts; lives to the end.
class ZO4882ParserAsync : public QObject
{
    Q_OBJECT

public:
    // The handler in use (set by the constructor, cleared first by the destructor), or null.
    static std::atomic<ZO4882ParserAsync *> s_pSelf;

    // parser and sink must outlive the handler (either may be null in tests). Installs the
    // parser's post hook and starts the handler's thread.
    ZO4882ParserAsync(ZO4882Parser *parser, _IFCTRL_SINK *sink);
    // Stops the thread; control messages not yet handled are freed unhandled. Not from the
    // handler's thread.
    ~ZO4882ParserAsync() override;

    // A new control message, or null when memory is exhausted.
    static CTL488MSG_T *createControlMessage(
        CTL488_MSG_TYPES type, unsigned tag, INTF_TYPE_ENUM intf, void *device);
    // Hands msg to the handler thread (from any thread); the handler frees it, also when it is
    // being destroyed. Null is ignored.
    void post(const CTL488MSG_T *msg);
    // createControlMessage() and post() through s_pSelf; false when there is no handler or no
    // memory (nothing is posted then).
    static bool postControl(CTL488_MSG_TYPES type, unsigned tag, INTF_TYPE_ENUM intf, void *device);

    _IFCTRL_SINK *sink() const { return m_sink; }

Q_SIGNALS:
    // Queued to OnMsgPost in the handler's thread, the one receiver; it frees pMsg.
    void posted(const zo4882::CTL488MSG_T *pMsg);
    // After every handled message, for observers (tests, diagnostics); carries no record.
    void handled(int type);

private Q_SLOTS:
    void OnMsgPost(const zo4882::CTL488MSG_T *pMsg);

private:
    void handle(const CTL488MSG_T &msg);

    ZO4882Parser *const m_parser;
    _IFCTRL_SINK *const m_sink;
    std::unique_ptr<QThread> m_thread;
    std::atomic<bool> m_stopping { false }; // set by the destructor: records are freed unhandled
    std::atomic<int> m_posting { 0 }; // post() calls between their m_stopping check and emit
};

} // namespace zo4882
