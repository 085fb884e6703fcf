#include "network/NetworkInfo.h"

#include "remote/IPreferenceInfo.h"

#include <QHostAddress>
#include <QMutexLocker>

NetworkInfo *NetworkInfo::s_pSelf = nullptr;

namespace {

const QString NoAddress4 = QStringLiteral("0.0.0.0");
const QString NoAddress6 = QStringLiteral("::");

// The first two bytes of an IPv6 address: 0xFE80 link-local, 0x0000 loopback, unspecified
// and the IPv4-mapped and -compatible forms.
quint16 leadingWord6(const QHostAddress &address)
{
    const Q_IPV6ADDR bytes = address.toIPv6Address();
    return quint16(bytes[0] << 8 | bytes[1]);
}

} // namespace

NetworkInfo::NetworkInfo()
{
    s_pSelf = this;
    zostd::setInterface_INetworkInfo(this);
}

NetworkInfo::~NetworkInfo()
{
    if (s_pSelf == this) {
        s_pSelf = nullptr;
        zostd::setInterface_INetworkInfo(nullptr);
    }
}

NetworkInfo::Fields NetworkInfo::fields() const
{
    QMutexLocker lock(&m_mutex);
    return m_fields;
}

void NetworkInfo::modify(const std::function<void(Fields &)> &change)
{
    QMutexLocker lock(&m_mutex);
    change(m_fields);
}

template <class T> T NetworkInfo::read(T Fields::*member) const
{
    QMutexLocker lock(&m_mutex);
    return m_fields.*member;
}

const QNetworkAddressEntry *NetworkInfo::firstIpv4(const QList<QNetworkAddressEntry> &entries)
{
    for (const QNetworkAddressEntry &entry : entries) {
        if (entry.ip().protocol() == QAbstractSocket::IPv4Protocol)
            return &entry;
    }
    return nullptr;
}

const QNetworkAddressEntry *NetworkInfo::firstLinkLocal6(const QList<QNetworkAddressEntry> &entries)
{
    for (const QNetworkAddressEntry &entry : entries) {
        if (entry.ip().protocol() == QAbstractSocket::IPv6Protocol
            && leadingWord6(entry.ip()) == 0xFE80)
            return &entry;
    }
    return nullptr;
}

const QNetworkAddressEntry *NetworkInfo::firstGlobal6(const QList<QNetworkAddressEntry> &entries)
{
    for (const QNetworkAddressEntry &entry : entries) {
        if (entry.ip().protocol() != QAbstractSocket::IPv6Protocol)
            continue;
        const quint16 word = leadingWord6(entry.ip());
        if (word != 0xFE80 && word != 0x0000)
            return &entry;
    }
    return nullptr;
}

int NetworkInfo::lanIndicator(bool ipv4Enabled, bool ipv6Enabled, int status4, int status6)
{
    const auto single = [](int status) {
        return status < 0 ? -1 : status == 0 ? 1 : 0;
    };
    if (ipv4Enabled && ipv6Enabled) {
        if (status4 < 0 || status6 < 0)
            return -1;
        return status4 == 0 && status6 == 0 ? 1 : 0;
    }
    if (ipv4Enabled)
        return single(status4);
    if (ipv6Enabled)
        return single(status6);
    return 0;
}

QString NetworkInfo::getIpAdr4() const
{
    QMutexLocker lock(&m_mutex);
    const QNetworkAddressEntry *entry = firstIpv4(m_fields.addressEntries);
    return entry ? entry->ip().toString() : NoAddress4;
}

QString NetworkInfo::getNetMask4() const
{
    QMutexLocker lock(&m_mutex);
    const QNetworkAddressEntry *entry = firstIpv4(m_fields.addressEntries);
    return entry ? entry->netmask().toString() : NoAddress4;
}

QString NetworkInfo::getDefGW4() const
{
    return read(&Fields::defGW4);
}

QString NetworkInfo::getPriDNS4() const
{
    return read(&Fields::priDNS4);
}

QString NetworkInfo::getSecDNS4() const
{
    return read(&Fields::secDNS4);
}

QString NetworkInfo::getPriWINS4() const
{
    return read(&Fields::priWINS4);
}

QString NetworkInfo::getSecWINS4() const
{
    return read(&Fields::secWINS4);
}

QString NetworkInfo::getLinkLocalIpAdr6() const
{
    QMutexLocker lock(&m_mutex);
    const QNetworkAddressEntry *entry = firstLinkLocal6(m_fields.addressEntries);
    return entry ? entry->ip().toString().remove(QStringLiteral("%eth0")) : NoAddress6;
}

QString NetworkInfo::getGlobalIpAdr6() const
{
    QMutexLocker lock(&m_mutex);
    const QNetworkAddressEntry *entry = firstGlobal6(m_fields.addressEntries);
    return entry ? entry->ip().toString() : NoAddress6;
}

quint16 NetworkInfo::getLinkLocalPrefix6() const
{
    QMutexLocker lock(&m_mutex);
    const QNetworkAddressEntry *entry = firstLinkLocal6(m_fields.addressEntries);
    return entry ? quint16(entry->prefixLength()) : 0;
}

quint16 NetworkInfo::getGlobalPrefix6() const
{
    QMutexLocker lock(&m_mutex);
    const QNetworkAddressEntry *entry = firstGlobal6(m_fields.addressEntries);
    return entry ? quint16(entry->prefixLength()) : 0;
}

QString NetworkInfo::getDefGW6() const
{
    return read(&Fields::defGW6);
}

QString NetworkInfo::getPriDNS6() const
{
    return read(&Fields::priDNS6);
}

QString NetworkInfo::getSecDNS6() const
{
    return read(&Fields::secDNS6);
}

int NetworkInfo::getAdrsSrc4() const
{
    return read(&Fields::adrsSrc4);
}

int NetworkInfo::getGlobAdrsSrc6() const
{
    return read(&Fields::globAdrsSrc6);
}

int NetworkInfo::getLanStatus4() const
{
    return read(&Fields::lanStatus4);
}

int NetworkInfo::getLanStatus6() const
{
    return read(&Fields::lanStatus6);
}

int NetworkInfo::getLanIndicator() const
{
    // The preferences are read before the record's lock: they take a lock of their own.
    const zostd::IPreferenceInfo *preferences = zostd::getInterface_IPreferenceInfo();
    const bool ipv4 = preferences && preferences->getIpv4Enabled();
    const bool ipv6 = preferences && preferences->getIpv6Enabled();
    QMutexLocker lock(&m_mutex);
    return lanIndicator(ipv4, ipv6, m_fields.lanStatus4, m_fields.lanStatus6);
}

QString NetworkInfo::getResolvedDdnsHostname() const
{
    return read(&Fields::resolvedDdnsHostname);
}

QString NetworkInfo::getResolvedMdnsHostname() const
{
    return read(&Fields::resolvedMdnsHostname);
}

QString NetworkInfo::getResolvedNbnsName() const
{
    return read(&Fields::resolvedNbnsName);
}

QString NetworkInfo::getResolvedMdnsServiceName() const
{
    return read(&Fields::resolvedMdnsServiceName);
}

QString NetworkInfo::getResolvedDomainName() const
{
    return read(&Fields::resolvedDomainName);
}
