#include "network/ArpSocket.h"

#include <QElapsedTimer>

#include <arpa/inet.h>
#include <linux/if_packet.h>
#include <net/ethernet.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <algorithm>
#include <cstring>

namespace {

constexpr const char *g_ifname = "eth0";
constexpr int PayloadSize = 28;

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

    QByteArray receive(int waitMs) override
    {
        if (m_socket < 0 || m_mac.isEmpty())
            return {};
        pollfd fd { m_socket, POLLIN, 0 };
        if (::poll(&fd, 1, waitMs) <= 0)
            return {};
        char buffer[PayloadSize];
        const ssize_t n = ::recv(m_socket, buffer, sizeof buffer, MSG_DONTWAIT);
        // A read error still ends this wait without an answer; a zero-length frame is skipped
        // by the caller.
        return n > 0 ? QByteArray(buffer, int(n)) : QByteArray(1, '\0');
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
    : m_link(std::make_unique<PacketLink>())
{ }

ArpSocket::ArpSocket(std::unique_ptr<Link> link)
    : m_link(std::move(link))
{ }

ArpSocket::~ArpSocket() = default;

QByteArray ArpSocket::probePayload(const QByteArray &mac, const unsigned char *address)
{
    QByteArray p(PayloadSize, '\0');
    auto *b = reinterpret_cast<unsigned char *>(p.data());
    b[1] = 1; // Ethernet
    b[2] = 0x08; // IPv4
    b[4] = 6;
    b[5] = 4;
    b[7] = 1; // request
    std::memcpy(b + 8, mac.constData(), size_t(std::min(6, int(mac.size()))));
    // sender IP 0.0.0.0 and target hardware address zero stay as they are
    std::memcpy(b + 24, address, 4);
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

int ArpSocket::sendGratuitousArp(const unsigned char *address, int tries, int windowMs)
{
    const QByteArray mac = m_link->hardwareAddress();
    const QByteArray probe = probePayload(mac, address);
    for (int i = 0; i < tries; ++i) {
        if (!m_link->send(probe))
            continue;
        // Every frame of the window is tested, so other ARP traffic cannot hide an answer.
        QElapsedTimer window;
        window.start();
        for (qint64 left = windowMs; left > 0; left = windowMs - window.elapsed()) {
            const QByteArray payload = m_link->receive(int(left));
            if (payload.isEmpty())
                break;
            if (isAnswer(payload, address, mac))
                return 1;
        }
    }
    return 0;
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
