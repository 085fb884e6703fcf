#pragma once

#include "remote/INetworkInfo.h"

#include <QList>
#include <QMutex>
#include <QNetworkAddressEntry>
#include <QString>

#include <functional>

// The one record of the LAN interface eth0 as the network manager last observed it. Only the
// network thread writes it (through modify()); any thread reads it through the getters.
//
// Thread use: every getter and modify() take the record's lock, so a reader never sees a
// half-replaced text or entry list; a getter computes its result from one consistent state.
class NetworkInfo : public zostd::INetworkInfo
{
public:
    struct Fields
    {
        // eth0's entries as QNetworkInterface reported them, in that order (IPv4 and IPv6 mixed)
        QList<QNetworkAddressEntry> addressEntries;
        QString defGW4 = QStringLiteral("0.0.0.0");
        QString defGW6 = QStringLiteral("::");
        QString priDNS4 = QStringLiteral("0.0.0.0");
        QString secDNS4 = QStringLiteral("0.0.0.0");
        QString priWINS4 = QStringLiteral("0.0.0.0");
        QString secWINS4 = QStringLiteral("0.0.0.0");
        QString priDNS6 = QStringLiteral("::");
        QString secDNS6 = QStringLiteral("::");
        qint32 adrsSrc4 = 0;
        qint32 globAdrsSrc6 = 0;
        qint32 lanStatus4 = -3;
        qint32 lanStatus6 = -3;
        QString resolvedDdnsHostname;
        QString resolvedMdnsHostname; // with the daemon's ".local." suffix
        QString resolvedNbnsName;
        QString resolvedMdnsServiceName;
        QString resolvedDomainName;
    };

    // The live instance, set by the constructor, cleared by its destructor.
    static NetworkInfo *s_pSelf;

    NetworkInfo();
    ~NetworkInfo() override;
    NetworkInfo(const NetworkInfo &) = delete;
    NetworkInfo &operator=(const NetworkInfo &) = delete;

    // A copy of the whole record.
    Fields fields() const;
    // Runs change on the record under its lock; change must not call this object.
    void modify(const std::function<void(Fields &)> &change);

    // zostd::INetworkInfo
    QString getIpAdr4() const override;
    QString getNetMask4() const override;
    QString getDefGW4() const override;
    QString getPriDNS4() const override;
    QString getSecDNS4() const override;
    QString getPriWINS4() const override;
    QString getSecWINS4() const override;
    QString getLinkLocalIpAdr6() const override;
    QString getGlobalIpAdr6() const override;
    quint16 getLinkLocalPrefix6() const override;
    quint16 getGlobalPrefix6() const override;
    QString getDefGW6() const override;
    QString getPriDNS6() const override;
    QString getSecDNS6() const override;
    int getAdrsSrc4() const override;
    int getGlobAdrsSrc6() const override;
    int getLanStatus4() const override;
    int getLanStatus6() const override;
    int getLanIndicator() const override;
    QString getResolvedDdnsHostname() const override;
    QString getResolvedMdnsHostname() const override;
    QString getResolvedNbnsName() const override;
    QString getResolvedMdnsServiceName() const override;
    QString getResolvedDomainName() const override;

    // The same selections on any entry list (the getters use them on the record's list).
    static const QNetworkAddressEntry *firstIpv4(const QList<QNetworkAddressEntry> &entries);
    static const QNetworkAddressEntry *firstLinkLocal6(const QList<QNetworkAddressEntry> &entries);
    static const QNetworkAddressEntry *firstGlobal6(const QList<QNetworkAddressEntry> &entries);
    // The lamp value for the two statuses and the enabled IP versions.
    static int lanIndicator(bool ipv4Enabled, bool ipv6Enabled, int status4, int status6);

private:
    template <class T> T read(T Fields::*member) const;

    mutable QMutex m_mutex; // guards m_fields
    Fields m_fields;
};
