#pragma once

#include <QByteArray>

#include <array>
#include <memory>

// ARP probing of one IPv4 address on eth0 (RFC 3927) and the setting of eth0's IPv4 address:
// the tool of the link-local fall-back and of the static-address conflict check. Addresses are
// 4 bytes in network order.
class ArpSocket
{
public:
    using Address = std::array<unsigned char, 4>;

    // The link under the probe: the Linux backend uses a packet socket and socket ioctls on eth0;
    // tests hand in a stand-in.
    class Link
    {
    public:
        virtual ~Link() = default;
        // eth0's 6-byte hardware address; empty when it could not be read.
        virtual QByteArray hardwareAddress() const = 0;
        // Broadcasts one 28-byte ARP payload; false when the send failed.
        virtual bool send(const QByteArray &payload) = 0;
        // The next ARP payload received within waitMs; empty when none came.
        virtual QByteArray receive(int waitMs) = 0;
        // Gives eth0 the address with the netmask; the result of the last ioctl (< 0: failure).
        virtual int setAddress(const Address &address, const Address &netmask) = 0;
    };

    // Opens the packet socket on eth0.
    ArpSocket();
    explicit ArpSocket(std::unique_ptr<Link> link);
    virtual ~ArpSocket();

    // Probes the address: up to tries probes, each followed by a window of windowMs in which
    // every ARP payload received is tested. 1 when some host answered, 0 when none did.
    int sendGratuitousArp(const unsigned char *address, int tries, int windowMs = 1000);
    // Removes eth0's IPv4 address (sets 0.0.0.0).
    int killIpv4Address();
    // Gives eth0 the address with netmask 255.255.0.0.
    int setLinkLocalAddress(const unsigned char *address);
    // 169.254.x.y with x and y drawn from rand() in 1..254, x first.
    static void generateNewLinkLocalCandidate(unsigned char *out);

    // The probe payload: request, sender hardware address mac, sender IP 0.0.0.0, target IP.
    static QByteArray probePayload(const QByteArray &mac, const unsigned char *address);
    // True when payload answers our probe: its sender IP is the address and its target
    // hardware address is mac. Short payloads are no answer.
    static bool isAnswer(const QByteArray &payload, const unsigned char *address,
        const QByteArray &mac);

private:
    std::unique_ptr<Link> m_link;
};
