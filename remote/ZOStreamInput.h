#pragma once

#include "remote/ZOOverrunDiscard.h"

#include <functional>

namespace zo4882 {

// The input rules every byte-stream transport keeps (raw socket, telnet, RS-232, and the
// message streams of VXI-11, HiSLIP and USBTMC): complete program messages are posted as they
// arrive, at most as many as the session's flow control allows; input that fills the limit
// without a complete message is an overrun (-363, reported by the caller), and everything
// through the end of that message is then dropped (ZOOverrunDiscard): no fragment of a refused
// message ever runs. One object per session, used in its thread.
class ZOStreamInput
{
public:
    // Cuts and posts the complete messages at the front of data (the parser's postReceived()
    // with the transport's origin), at most maxMessages; returns the bytes used and sets
    // *posted to the number of messages posted.
    using Poster =
        std::function<int(char *data, int len, bool endIsMessage, int maxMessages, int *posted)>;

    struct Taken
    {
        int used = 0; // bytes used at the front of the held input
        int posted = 0; // messages posted
        bool overrun = false; // an overrun began: report -363 once
    };

    // limit: the most bytes of one message the transport holds (its receive buffer).
    explicit ZOStreamInput(int limit);

    // Takes what it can of the len held bytes at data (edited in place by the cutting).
    // endIsMessage: the transport saw an end-of-message indication after the last byte.
    Taken take(char *data, int len, bool endIsMessage, int maxMessages, const Poster &post);

    int limit() const { return m_limit; }
    bool discarding() const { return m_discard.active(); }
    void reset() { m_discard.reset(); }

private:
    const int m_limit;
    ZOOverrunDiscard m_discard;
};

} // namespace zo4882
