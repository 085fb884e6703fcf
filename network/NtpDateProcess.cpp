#include "network/NtpDateProcess.h"

#include "remote/IPreferenceInfo.h"

#include <QLocale>

#include <cerrno>

NtpDateProcess::NtpDateProcess(const zostd::IPreferenceInfo *preferences)
    : m_preferences(preferences)
{
    connect(this, &ZOProcessWrapper::progFinished, this, &NtpDateProcess::progfinished);
}

QStringList NtpDateProcess::arguments(bool hwclock, double threshold, const QString &server) const
{
    const QString host = server.isEmpty() ? m_preferences->getNtpServerHostname() : server;
    return { QStringLiteral("-server:") + host,
        QStringLiteral("-hwclock:") + (hwclock ? QLatin1Char('1') : QLatin1Char('0')),
        QStringLiteral("-thresh:")
            + QString::number(threshold, 'g', QLocale::FloatingPointShortest) };
}

int NtpDateProcess::launch(bool hwclock, double threshold, const QString &server)
{
    if (state() != QProcess::NotRunning)
        return -EBUSY;
    return startProgram(QLatin1String(Program), arguments(hwclock, threshold, server));
}
