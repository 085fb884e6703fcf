// The ARP probe's reading of received frames: the input is a run of frames, each a length byte
// and that many bytes, handed to one probe as what the link received.
#include "network/ArpSocket.h"

#include <cstddef>
#include <cstdint>
#include <memory>

namespace {

class FuzzLink : public ArpSocket::Link
{
public:
    FuzzLink(const uint8_t *data, size_t size)
        : m_data(data)
        , m_size(size)
    { }
    QByteArray hardwareAddress() const override { return QByteArray("\x02\x00\x0a\x0b\x0c\x0d", 6); }
    int descriptor() const override { return -1; }
    bool send(const QByteArray &) override { return true; }
    bool receive(QByteArray *payload) override
    {
        if (m_at >= m_size)
            return false;
        const size_t n = m_data[m_at++];
        const size_t take = n < m_size - m_at ? n : m_size - m_at;
        *payload = QByteArray(reinterpret_cast<const char *>(m_data + m_at), int(take));
        m_at += take;
        return true;
    }
    int setAddress(const ArpSocket::Address &, const ArpSocket::Address &) override { return 0; }

private:
    const uint8_t *m_data;
    size_t m_size;
    size_t m_at = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const unsigned char address[4] = { 169, 254, 7, 9 };
    ArpSocket arp(std::make_unique<FuzzLink>(data, size));
    arp.sendProbe(address);
    // Each read takes a bounded share of the frames; the answer may stand anywhere.
    for (size_t read = 0; read <= size && !arp.readAnswer(address); ++read) { }
    return 0;
}
