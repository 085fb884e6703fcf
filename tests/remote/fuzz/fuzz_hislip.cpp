// libFuzzer target: arbitrary bytes, cut into pieces for three connections by the input itself,
// go through the HiSLIP decoder as the sessions' receive buffers get them: initialization,
// locks, data and every other message, with the slot table shared between the connections.
// Every connection closes at the end of an input, so each input starts with a free table.

#include "remote/ZOHislipDelegate.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

class FuzzConnection : public zo4882::ZOHislipDelegate
{
public:
    // No waits: a lock request that must wait fails at once.
    FuzzConnection()
        : ZOHislipDelegate(0, 0)
    { }

    // Mimics the session: bytes gather in a fixed buffer and the decoder takes what it can.
    void receive(const uint8_t *data, int n)
    {
        n = std::min(n, Capacity - m_held);
        std::memcpy(m_buffer + m_held, data, size_t(n));
        m_held += n;
        const int used = OnDataReceive(this, m_buffer, m_held);
        if (used < 0 || used > m_held)
            std::abort();
        // A full buffer the decoder cannot use (a message held back by a lock) is dropped.
        const int dropped = (used == 0 && m_held == Capacity) ? m_held : used;
        std::memmove(m_buffer, m_buffer + dropped, size_t(m_held - dropped));
        m_held -= dropped;
    }
    void close() { OnSessionClose(this); }

protected:
    void OnCmdReceive(const void *, char *text, int length, unsigned) override
    {
        if (length < 0 || length > int(MaxMessageSize) || (length > 0 && !text))
            std::abort();
    }
    void OnDeviceClearReceive(const void *) override { }
    void OnControlRENReceive(const void *, int) override { }
    void OnControlLLOReceive(const void *) override { }
    void OnControlRemoteReceive(const void *, int) override { }
    void sendMessage(const QByteArray &message) override
    {
        if (message.size() < zo4882::HISLIP_MESSAGE_HEADER::Size || !message.startsWith("HS"))
            std::abort();
    }
    std::shared_ptr<zostd::ZOTcpSession::AnswerPort> ownPort() const override { return {}; }
    std::shared_ptr<zo4882::ZOScpiResponderLink> ownResponderLink() const override { return {}; }

private:
    static constexpr int Capacity = 8192;
    unsigned char m_buffer[Capacity];
    int m_held = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > 65536)
        return 0;
    FuzzConnection connections[3];
    size_t at = 0;
    // Each piece: a byte naming the connection and the piece's length, then the piece.
    while (at + 1 < size) {
        const uint8_t selector = data[at++];
        const size_t n = std::min<size_t>(1 + (selector >> 2) * 8, size - at);
        connections[selector % 3].receive(data + at, int(n));
        // An answer for the piece's connection, as the parser would send it.
        if (selector & 0x80)
            connections[selector % 3].SendResponseBack(&connections[selector % 3], "1\n", 2, 0);
        at += n;
    }
    for (FuzzConnection &connection : connections)
        connection.close();
    return 0;
}
