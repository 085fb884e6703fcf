#pragma once

namespace zo4882 {

// After an input overrun, the rest of the refused program message must never run: a transport
// drops its bytes through the end of that message and goes on with the next one. The end is
// the terminator '\n' or the transport's end-of-message indication; definite-length block data
// (#<d><length><bytes>) is stepped over whole, as the message splitter does, so a newline
// inside a block does not end the discard.
class ZOOverrunDiscard
{
public:
    // Starts discarding the message whose first len bytes (refused whole) are data: they are
    // scanned, so that a block begun among them is stepped over to its announced end.
    void begin(const char *data, int len);
    // While discarding: returns the bytes of data that belong to the refused message, through
    // its terminator (or all len when endIsMessage, the last byte ending the message); the
    // discard ends there. Returns 0 when not discarding.
    int skip(const char *data, int len, bool endIsMessage);
    bool active() const { return m_state != Idle; }
    // Forgets a discard in progress (a device clear or a new connection).
    void reset() { m_state = Idle; }

private:
    enum State { Idle, Text, Hash, Digits, Block };

    // Scans data from the current state; returns the bytes used up to and including the
    // terminator (the state is Idle then), else len.
    int scan(const char *data, int len);

    State m_state = Idle;
    int m_digits = 0; // length digits still to come (Digits)
    long long m_count = 0; // length so far (Digits), block bytes still to come (Block)
};

} // namespace zo4882
