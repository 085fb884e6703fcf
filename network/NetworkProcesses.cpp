#include "network/NetworkProcesses.h"

#include <cerrno>

NetworkToolProcess::NetworkToolProcess(const QString &program, const QStringList &arguments)
    : m_program(program)
    , m_arguments(arguments)
{ }

int NetworkToolProcess::run()
{
    if (state() != QProcess::NotRunning)
        return -EBUSY;
    return startProgram(m_program, m_arguments);
}

IfUp::IfUp()
    : NetworkToolProcess(
        QStringLiteral("/sbin/ifup"), { QStringLiteral("-v"), QStringLiteral("eth0") })
{ }

IfDown::IfDown()
    : NetworkToolProcess(
        QStringLiteral("/sbin/ifdown"), { QStringLiteral("-v"), QStringLiteral("eth0") })
{ }

IfConfig::IfConfig()
    : NetworkToolProcess(QStringLiteral("/sbin/ifconfig"), { QStringLiteral("eth0") })
{ }

Route6::Route6()
    : NetworkToolProcess(
        QStringLiteral("/sbin/route"), { QStringLiteral("-A"), QStringLiteral("inet6") })
{ }

Route4::Route4()
    : NetworkToolProcess(
        QStringLiteral("/sbin/route"), { QStringLiteral("-A"), QStringLiteral("inet") })
{ }

ZoDns6::ZoDns6()
    : NetworkToolProcess(QStringLiteral("/usr/bin/zodns6"), {})
{ }

Dmesg::Dmesg()
    : NetworkToolProcess(QStringLiteral("/bin/dmesg"), {})
{ }
