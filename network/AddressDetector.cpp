#include "network/AddressDetector.h"

#include "network/NetworkInfo.h"

#include "platform/NetLink.h"

#include <algorithm>

namespace {

// Entries count as equal when address, netmask and broadcast are.
bool sameEntry(const QNetworkAddressEntry &a, const QNetworkAddressEntry &b)
{
    return a.ip() == b.ip() && a.netmask() == b.netmask() && a.broadcast() == b.broadcast();
}

bool containsEntry(const QList<QNetworkAddressEntry> &list, const QNetworkAddressEntry &entry)
{
    return std::any_of(list.begin(), list.end(), [&](const QNetworkAddressEntry &e) {
        return sameEntry(e, entry);
    });
}

} // namespace

AddressDetector::AddressDetector(NetworkInfo *info, platform::NetLink *link)
    : m_info(info)
    , m_link(link)
{ }

bool AddressDetector::detect()
{
    const QList<QNetworkAddressEntry> now = m_link->addressEntries();
    bool changed = false;
    m_info->modify([&](NetworkInfo::Fields &f) {
        const QList<QNetworkAddressEntry> &old = f.addressEntries;
        changed = now.size() != old.size();
        for (int i = 0; !changed && i < now.size(); ++i)
            changed = !containsEntry(old, now.at(i)) || !containsEntry(now, old.at(i));
        if (changed)
            f.addressEntries = now;
    });
    return changed;
}
