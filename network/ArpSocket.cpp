#include "network/ArpSocket.h"

#include <arpa/inet.h>
#include <linux/if_packet.h>
#include <net/ethernet.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <algorithm>
#include <cstring>

namespace {

constexpr const char *g_ifname = "eth0";
constexpr int PayloadSize = 28;
constexpr int MaxReadsPerCall = 64;

// The Linux backend: a datagram packet socket for ETH_P_ARP bound to eth0 (the kernel adds and
// strips the Ethernet header) and AF_INET socket ioctls for the address.
class PacketLink : public ArpSocket::Link
{
public:
    PacketLink()
    {
        m_socket = ::socket(AF_PACKET, SOCK_DGRAM | SOCK_CLOEXEC, htons(ETH_P_ARP));
        if (m_socket < 0)
            return;
        struct ifreq ifr;
        std::memset(&ifr, 0, sizeof ifr);
        std::strncpy(ifr.ifr_name, g_ifname, IFNAMSIZ - 1);
        if (::ioctl(m_socket, SIOCGIFINDEX, &ifr) < 0)
            return;
        const int index = ifr.ifr_ifindex;
        if (::ioctl(m_socket, SIOCGIFHWADDR, &ifr) < 0)
            return;
        m_mac = QByteArray(ifr.ifr_hwaddr.sa_data, 6);
        std::memset(&m_address, 0, sizeof m_address);
        m_address.sll_family = AF_PACKET;
        m_address.sll_protocol = htons(ETH_P_ARP);
        m_address.sll_ifindex = index;
        m_address.sll_halen = 6;
        std::memset(m_address.sll_addr, 0xff, 6);
        if (::bind(m_socket, reinterpret_cast<sockaddr *>(&m_address), sizeof m_address) < 0)
            m_mac.clear();
    }
    ~PacketLink() override
    {
        if (m_socket >= 0)
            ::close(m_socket);
    }

    QByteArray hardwareAddress() const override { return m_mac; }

    bool send(const QByteArray &payload) override
    {
        if (m_socket < 0 || m_mac.isEmpty())
            return false;
        return ::sendto(m_socket, payload.constData(), payload.size(), 0,
                   reinterpret_cast<const sockaddr *>(&m_address), sizeof m_address)
            == payload.size();
    }

    int descriptor() const override { return m_mac.isEmpty() ? -1 : m_socket; }

    bool receive(QByteArray *payload) override
    {
        if (m_socket < 0 || m_mac.isEmpty())
            return false;
        // A longer frame is cut to the buffer; isAnswer looks at the first 28 bytes only.
        char buffer[PayloadSize];
        const ssize_t n = ::recv(m_socket, buffer, sizeof buffer, MSG_DONTWAIT | MSG_TRUNC);
        if (n < 0)
            return false;
        *payload = QByteArray(buffer, int(std::min<ssize_t>(n, PayloadSize)));
        return true;
    }

    int setAddress(const ArpSocket::Address &address, const ArpSocket::Address &netmask) override
    {
        const int s = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        if (s < 0)
            return -1;
        struct ifreq ifr;
        std::memset(&ifr, 0, sizeof ifr);
        std::strncpy(ifr.ifr_name, g_ifname, IFNAMSIZ - 1);
        int result = ::ioctl(s, SIOCGIFINDEX, &ifr);
        const auto put = [&](const ArpSocket::Address &value, unsigned long request) {
            auto *in = reinterpret_cast<sockaddr_in *>(&ifr.ifr_addr);
            std::memset(in, 0, sizeof *in);
            in->sin_family = AF_INET;
            std::memcpy(&in->sin_addr, value.data(), 4);
            return ::ioctl(s, request, &ifr);
        };
        if (result >= 0)
            result = put(address, SIOCSIFADDR);
        if (result >= 0 && netmask != ArpSocket::Address { 0, 0, 0, 0 })
            result = put(netmask, SIOCSIFNETMASK);
        ::close(s);
        return result;
    }

private:
    int m_socket = -1;
    sockaddr_ll m_address {};
    QByteArray m_mac;
};

} // namespace

ArpSocket::ArpSocket()
    : ArpSocket(std::make_unique<PacketLink>())
{ }

ArpSocket::ArpSocket(std::unique_ptr<Link> link)
    : m_link(std::move(link))
    , m_mac(m_link->hardwareAddress())
{ }

ArpSocket::~ArpSocket() = default;

QByteArray ArpSocket::probePayload(const QByteArray &mac, const unsigned char *address)
{
    // Ethernet, IPv4, address lengths 6 and 4, request
    QByteArray p = QByteArray::fromHex("0001080006040001");
    p += mac.leftJustified(6, '\0', true);
    p += QByteArray(4, '\0'); // sender IP 0.0.0.0: a probe claims nothing yet
    p += QByteArray(6, '\0'); // target hardware address unknown
    p += QByteArray(reinterpret_cast<const char *>(address), 4);
    return p;
}

bool ArpSocket::isAnswer(const QByteArray &payload, const unsigned char *address,
    const QByteArray &mac)
{
    if (payload.size() < PayloadSize || mac.size() != 6)
        return false;
    const char *b = payload.constData();
    return std::memcmp(b + 14, address, 4) == 0 && std::memcmp(b + 18, mac.constData(), 6) == 0;
}

int ArpSocket::descriptor() const
{
    return m_link->descriptor();
}

bool ArpSocket::sendProbe(const unsigned char *address)
{
    return m_link->send(probePayload(m_mac, address));
}

bool ArpSocket::readAnswer(const unsigned char *address)
{
    // Bounded, so that a flood cannot hold the caller's thread: the rest waits for the next call.
    QByteArray payload;
    for (int i = 0; i < MaxReadsPerCall && m_link->receive(&payload); ++i) {
        if (isAnswer(payload, address, m_mac))
            return true;
    }
    return false;
}

int ArpSocket::killIpv4Address()
{
    return m_link->setAddress({ 0, 0, 0, 0 }, { 0, 0, 0, 0 });
}

int ArpSocket::setLinkLocalAddress(const unsigned char *address)
{
    return m_link->setAddress({ address[0], address[1], address[2], address[3] }, { 255, 255, 0, 0 });
}

void ArpSocket::generateNewLinkLocalCandidate(unsigned char *out)
{
    out[0] = 169;
    out[1] = 254;
    out[2] = static_cast<unsigned char>(std::rand() % 254 + 1);
    out[3] = static_cast<unsigned char>(std::rand() % 254 + 1);
}
