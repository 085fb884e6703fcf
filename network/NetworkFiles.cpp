#include "network/NetworkFiles.h"

#include "remote/IPreferenceInfo.h"

#include <QRegularExpression>
#include <QStringList>

namespace {

// The value as a message may quote it: control characters as \xNN, at most 40 characters.
QString visible(const QString &value)
{
    QString text;
    for (const QChar c : value.left(40))
        text += c.unicode() < 0x20 || c.unicode() == 0x7F
            ? QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'))
            : QString(c);
    return text;
}

} // namespace

QString NetworkFiles::refusal(const zostd::IPreferenceInfo &p)
{
    if (p.getIpv4Enabled() && p.getDhcpv4Enabled() && p.getDdnsEnabled()
        && !isSafeHostname(p.getHostname()))
        return QStringLiteral("LAN host name \"%1\" refused").arg(visible(p.getHostname()));
    if (p.getIpv4Enabled() && !p.getDhcpv4Enabled()) {
        const struct
        {
            const char *name;
            QString value;
        } fields[] = {
            { "address", p.getIpAdr4() },
            { "netmask", p.getNetMask4() },
            { "gateway", p.getDefGW4() },
        };
        for (const auto &field : fields) {
            if (!isDottedQuad(field.value))
                return QStringLiteral("LAN static IPv4 %1 \"%2\" refused")
                    .arg(QLatin1String(field.name), visible(field.value));
        }
    }
    return {};
}

QByteArray NetworkFiles::interfaces(const zostd::IPreferenceInfo &p)
{
    QByteArray text = "auto lo\niface lo inet loopback\n\n";
    if (!p.getIpv4Enabled())
        return text;
    text += "auto eth0\n";
    if (p.getDhcpv4Enabled()) {
        const QByteArray name = p.getDdnsEnabled() ? p.getHostname().toLatin1() : QByteArray();
        text += "iface eth0 inet dhcp\n";
        text += "udhcpc_opts -t 5 -O 44 -x hostname:" + name + "\n\n";
    } else {
        text += "iface eth0 inet static\n";
        text += "    address " + p.getIpAdr4().toLatin1() + "\n";
        text += "    netmask " + p.getNetMask4().toLatin1() + "\n";
        text += "    gateway " + p.getDefGW4().toLatin1() + "\n\n";
    }
    return text;
}

QByteArray NetworkFiles::sysctlConf(const zostd::IPreferenceInfo &p)
{
    // The spacing differs between the lines as the board's own file has it.
    if (!p.getIpv6Enabled())
        return "net.ipv6.conf.all.disable_ipv6 = 1\n"
               "net.ipv6.conf.default.disable_ipv6 = 1\n"
               "net.ipv6.conf.eth0.autoconf=0\n\n";
    return QByteArray("net.ipv6.conf.all.disable_ipv6 = 0\n"
                      "net.ipv6.conf.default.disable_ipv6 = 0\n"
                      "net.ipv6.conf.eth0.autoconf=")
        + (p.getSlaac6Enabled() ? "1" : "0") + "\n\n";
}

bool NetworkFiles::isSafeHostname(const QString &name)
{
    static const QRegularExpression pattern(
        QStringLiteral("\\A([A-Za-z0-9][A-Za-z0-9._-]{0,62})?\\z"));
    return pattern.match(name).hasMatch();
}

bool NetworkFiles::isDottedQuad(const QString &text)
{
    static const QRegularExpression pattern(
        QStringLiteral("\\A(0|[1-9][0-9]{0,2})\\.(0|[1-9][0-9]{0,2})\\.(0|[1-9][0-9]{0,2})\\."
                       "(0|[1-9][0-9]{0,2})\\z"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return false;
    for (int i = 1; i <= 4; ++i) {
        if (match.captured(i).toInt() > 255)
            return false;
    }
    return true;
}
