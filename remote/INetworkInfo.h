#pragma once

#include <QMetaType>
#include <QString>

#include <atomic>

namespace zostd {

// The LAN interface's state as the network manager last observed it, read-only. Addresses are
// texts: "0.0.0.0" and "::" mean no address. LAN status: 1 link up, not yet confirmed; 0
// configured; -1 address lost; -2 address fault; -3 link down or version disabled. Address
// source: 0 none, 1 DHCP, 2 link-local (IPv4) or router advertisement (IPv6), 3 static.
// Getters may be called from any thread. The declaration order is the interface's layout.
class INetworkInfo
{
public:
    virtual ~INetworkInfo() = default;

    virtual QString getIpAdr4() const = 0;
    virtual QString getNetMask4() const = 0;
    virtual QString getDefGW4() const = 0;
    virtual QString getPriDNS4() const = 0;
    virtual QString getSecDNS4() const = 0;
    virtual QString getPriWINS4() const = 0;
    virtual QString getSecWINS4() const = 0;
    virtual QString getLinkLocalIpAdr6() const = 0;
    virtual QString getGlobalIpAdr6() const = 0;
    virtual quint16 getLinkLocalPrefix6() const = 0;
    virtual quint16 getGlobalPrefix6() const = 0;
    virtual QString getDefGW6() const = 0;
    virtual QString getPriDNS6() const = 0;
    virtual QString getSecDNS6() const = 0;
    virtual int getAdrsSrc4() const = 0;
    virtual int getGlobAdrsSrc6() const = 0;
    virtual int getLanStatus4() const = 0;
    virtual int getLanStatus6() const = 0;
    // The LAN lamp: -1 fault, 1 configured, 0 standby (nothing enabled, or a run under way).
    virtual int getLanIndicator() const = 0;
    virtual QString getResolvedDdnsHostname() const = 0;
    virtual QString getResolvedMdnsHostname() const = 0;
    virtual QString getResolvedNbnsName() const = 0;
    virtual QString getResolvedMdnsServiceName() const = 0;
    virtual QString getResolvedDomainName() const = 0;
};

namespace detail {
// Header-only, so that this library does not link to the one that implements the interface.
inline std::atomic<const INetworkInfo *> s_networkInfo { nullptr };
} // namespace detail

// The live record, or null before it is built.
inline const INetworkInfo *getInterface_INetworkInfo()
{
    return detail::s_networkInfo.load();
}

// Called by the implementation's constructor (and with null by its destructor).
inline void setInterface_INetworkInfo(const INetworkInfo *info)
{
    detail::s_networkInfo.store(info);
}

} // namespace zostd

Q_DECLARE_METATYPE(const zostd::INetworkInfo *)
