#pragma once

#include <QByteArray>

#include <array>
#include <memory>

// ARP probing of one IPv4 address on eth0 (RFC 3927) and the setting of eth0's IPv4 address:
// the tool of the link-local fall-back and of the static-address conflict check. Addresses are
// 4 bytes in network order. It never waits: ArpProbe runs the probe's timing on an event loop.
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
        // Readable while a received ARP payload waits; -1 when the link could not be opened.
        virtual int descriptor() const = 0;
        // Broadcasts one 28-byte ARP payload; false when the send failed.
        virtual bool send(const QByteArray &payload) = 0;
        // Takes the next waiting ARP payload without blocking; false when none waits.
        virtual bool receive(QByteArray *payload) = 0;
        // Gives eth0 the address with the netmask; the result of the last ioctl (< 0: failure).
        virtual int setAddress(const Address &address, const Address &netmask) = 0;
    };

    // Opens the packet socket on eth0.
    ArpSocket();
    explicit ArpSocket(std::unique_ptr<Link> link);
    virtual ~ArpSocket();

    // See Link::descriptor().
    int descriptor() const;
    // Broadcasts one probe for the address; false when the send failed.
    bool sendProbe(const unsigned char *address);
    // Reads every waiting ARP payload, so that other ARP traffic cannot hide an answer; true
    // as soon as one answers the probe of the address.
    bool readAnswer(const unsigned char *address);
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
    QByteArray m_mac; // read once: the link's hardware address does not change under a probe
};
