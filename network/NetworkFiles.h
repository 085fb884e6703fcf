#pragma once

#include <QByteArray>
#include <QString>

namespace zostd {
class IPreferenceInfo;
}

// The two system files that bring eth0 up, generated from the preferences:
// /etc/network/interfaces (read by ifup and ifdown, whose option lines reach a shell as root)
// and /etc/sysctl.conf. Every value is checked before it may reach a file: a refused value
// leaves both files as they were.
class NetworkFiles
{
public:
    static constexpr const char *InterfacesPath = "/etc/network/interfaces";
    static constexpr const char *SysctlPath = "/etc/sysctl.conf";

    // Empty when the preferences may be written; otherwise why not, naming the value.
    static QString refusal(const zostd::IPreferenceInfo &preferences);
    // The files' contents; call only when refusal() is empty.
    static QByteArray interfaces(const zostd::IPreferenceInfo &preferences);
    static QByteArray sysctlConf(const zostd::IPreferenceInfo &preferences);

    // A host name as DHCP sends it: letters, digits, '-', '.' and '_', at most 63 characters,
    // starting with a letter or digit; empty is allowed (no name is sent).
    static bool isSafeHostname(const QString &name);
    // An IPv4 address or mask in dotted decimal, four numbers 0 to 255.
    static bool isDottedQuad(const QString &text);
};
