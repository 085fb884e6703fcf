#pragma once

#include "network/ArpSocket.h"

#include <QByteArray>
#include <QList>
#include <QMutex>
#include <QPair>

#include <sys/socket.h>
#include <unistd.h>

#include <memory>

// Hosts on eth0's LAN as a test sets them up. Each probe is answered at once: first by the
// noise frames (other ARP traffic), then, for a taken address past its silent probes, by a reply.
struct ArpLan
{
    static inline const QByteArray Mac { "\x02\x00\x0a\x0b\x0c\x0d", 6 }; // eth0's
    static inline const QByteArray OtherMac { "\x02\x00\x0a\x0b\x0c\x0e", 6 };

    // Set up before the link is made.
    QList<QByteArray> taken; // 4-byte addresses another host holds
    bool everyAddressTaken = false;
    int silentProbes = 0; // probes of a taken address that go unanswered first
    QList<QByteArray> noise;

    // What the link did. The link may work in another thread: read through these.
    QList<QByteArray> probes() const
    {
        QMutexLocker lock(&mutex);
        return sent;
    }
    QList<QByteArray> probedAddresses() const
    {
        QList<QByteArray> addresses;
        for (const QByteArray &p : probes())
            addresses.append(p.mid(24, 4));
        return addresses;
    }
    QList<QPair<QByteArray, QByteArray>> settings() const
    {
        QMutexLocker lock(&mutex);
        return set;
    }

    mutable QMutex mutex; // guards sent and set
    QList<QByteArray> sent; // the payloads sent, in order
    QList<QPair<QByteArray, QByteArray>> set; // address, netmask

    // An ARP payload as another host sends it.
    static QByteArray frame(int operation,
        const QByteArray &senderMac,
        const QByteArray &senderIp,
        const QByteArray &targetMac,
        const QByteArray &targetIp)
    {
        return QByteArray::fromHex("00010800060400") + char(operation) + senderMac + senderIp
            + targetMac + targetIp;
    }
    static QByteArray bytes(const ArpSocket::Address &a)
    {
        return QByteArray(reinterpret_cast<const char *>(a.data()), 4);
    }
};

// The link of an ArpSocket on that LAN: received frames come through a socket pair, so that
// the probe's socket notifier sees them as it sees the packet socket's.
class FakeArpLink : public ArpSocket::Link
{
public:
    explicit FakeArpLink(std::shared_ptr<ArpLan> lan)
        : m_lan(std::move(lan))
    {
        if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, m_fds) != 0)
            m_fds[0] = m_fds[1] = -1;
    }
    ~FakeArpLink() override
    {
        for (int fd : m_fds) {
            if (fd >= 0)
                ::close(fd);
        }
    }
    QByteArray hardwareAddress() const override { return ArpLan::Mac; }
    int descriptor() const override { return m_fds[0]; }
    bool send(const QByteArray &payload) override
    {
        const QByteArray target = payload.mid(24, 4);
        int earlier = 0;
        {
            QMutexLocker lock(&m_lan->mutex);
            earlier = int(m_lan->sent.count(payload));
            m_lan->sent.append(payload);
        }
        for (const QByteArray &frame : m_lan->noise)
            deliver(frame);
        const bool taken = m_lan->everyAddressTaken || m_lan->taken.contains(target);
        if (taken && earlier >= m_lan->silentProbes)
            deliver(ArpLan::frame(2, ArpLan::OtherMac, target, ArpLan::Mac, QByteArray(4, '\0')));
        return true;
    }
    bool receive(QByteArray *payload) override
    {
        char buffer[64];
        const ssize_t n = ::recv(m_fds[0], buffer, sizeof buffer, MSG_DONTWAIT);
        if (n < 0)
            return false;
        *payload = QByteArray(buffer, int(n));
        return true;
    }
    int setAddress(const ArpSocket::Address &a, const ArpSocket::Address &m) override
    {
        QMutexLocker lock(&m_lan->mutex);
        m_lan->set.append({ ArpLan::bytes(a), ArpLan::bytes(m) });
        return 0;
    }

private:
    void deliver(const QByteArray &frame)
    {
        [[maybe_unused]] const ssize_t n =
            ::send(m_fds[1], frame.constData(), frame.size(), MSG_DONTWAIT);
    }

    std::shared_ptr<ArpLan> m_lan;
    int m_fds[2] = { -1, -1 };
};
