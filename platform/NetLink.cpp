#include "platform/NetLink.h"

#include <QNetworkInterface>

#include <cstring>
#include <linux/ethtool.h>
#include <linux/sockios.h>
#include <net/if.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace platform {

namespace {

// An interface request naming the interface; the name is cut to IFNAMSIZ - 1 bytes.
ifreq requestFor(const QByteArray &name)
{
    ifreq request;
    std::memset(&request, 0, sizeof request);
    std::strncpy(request.ifr_name, name.constData(), IFNAMSIZ - 1);
    return request;
}

} // namespace

NetLinkIoctl::NetLinkIoctl(const QString &name)
    : m_name(name.toLatin1())
{
    m_ioctlSocket = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (m_ioctlSocket < 0)
        return;
    ifreq request = requestFor(m_name);
    if (::ioctl(m_ioctlSocket, SIOCGIFINDEX, &request) == 0)
        m_ifIndex = request.ifr_ifindex;
    request = requestFor(m_name);
    if (::ioctl(m_ioctlSocket, SIOCGIFHWADDR, &request) == 0)
        m_macAddress = QByteArray(request.ifr_hwaddr.sa_data, 6);
}

NetLinkIoctl::~NetLinkIoctl()
{
    if (m_ioctlSocket >= 0)
        ::close(m_ioctlSocket);
}

bool NetLinkIoctl::bringUp(const QString &name)
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    ifreq request = requestFor(name.toLatin1());
    bool ok = ::ioctl(fd, SIOCGIFFLAGS, &request) == 0;
    if (ok) {
        request.ifr_flags |= IFF_UP | IFF_RUNNING;
        ok = ::ioctl(fd, SIOCSIFFLAGS, &request) == 0;
    }
    ::close(fd);
    return ok;
}

NetLink::Carrier NetLinkIoctl::carrier()
{
    if (m_ioctlSocket < 0)
        return Carrier::Failed;
    ethtool_value value = { ETHTOOL_GLINK, 0 };
    ifreq request = requestFor(m_name);
    request.ifr_data = reinterpret_cast<char *>(&value);
    if (::ioctl(m_ioctlSocket, SIOCETHTOOL, &request) != 0)
        return Carrier::Failed;
    return value.data ? Carrier::Up : Carrier::Down;
}

QList<QNetworkAddressEntry> NetLinkIoctl::addressEntries() const
{
    return QNetworkInterface::interfaceFromName(QString::fromLatin1(m_name)).addressEntries();
}

} // namespace platform
