#pragma once

#include <QByteArray>
#include <QList>
#include <QNetworkAddressEntry>
#include <QString>

namespace platform {

// One network interface as the LAN manager drives it: its index and hardware address, bringing
// it (or another interface such as "lo") up, and its carrier. The ioctl backend acts on the
// machine's own interfaces, so only a program asked on its command line to run the network
// services builds it; tests hand the manager a stand-in.
class NetLink
{
public:
    enum class Carrier { Down, Up, Failed };

    virtual ~NetLink() = default;
    // The interface index, -1 when the query failed.
    virtual int interfaceIndex() const = 0;
    // The 6-byte hardware address, empty when the query failed.
    virtual QByteArray hardwareAddress() const = 0;
    // Sets IFF_UP and IFF_RUNNING on the named interface; false when that failed.
    virtual bool bringUp(const QString &name) = 0;
    // The driver's link word (ETHTOOL_GLINK); Failed when the query failed.
    virtual Carrier carrier() = 0;
    // The interface's address entries in the kernel's order (IPv4 and IPv6 mixed).
    virtual QList<QNetworkAddressEntry> addressEntries() const = 0;
};

// The Linux backend: socket ioctls on an AF_INET datagram socket opened by the constructor.
class NetLinkIoctl : public NetLink
{
public:
    explicit NetLinkIoctl(const QString &name);
    ~NetLinkIoctl() override;
    NetLinkIoctl(const NetLinkIoctl &) = delete;
    NetLinkIoctl &operator=(const NetLinkIoctl &) = delete;

    int interfaceIndex() const override { return m_ifIndex; }
    QByteArray hardwareAddress() const override { return m_macAddress; }
    bool bringUp(const QString &name) override;
    Carrier carrier() override;
    QList<QNetworkAddressEntry> addressEntries() const override;

private:
    const QByteArray m_name;
    int m_ioctlSocket = -1;
    int m_ifIndex = -1;
    QByteArray m_macAddress;
};

} // namespace platform
