#include "network/NbnsProcess.h"

#include "remote/INetworkInfo.h"
#include "remote/IPreferenceInfo.h"

#include <QRegularExpression>

#include <cerrno>

namespace {
const QString NoAddress4 = QStringLiteral("0.0.0.0");
} // namespace

NbnsProcess::NbnsProcess(const zostd::INetworkInfo *info, const zostd::IPreferenceInfo *preferences)
    : m_networkInfo(info)
    , m_preferences(preferences)
{ }

QStringList NbnsProcess::arguments() const
{
    QStringList arguments { QStringLiteral("-hostname:") + m_preferences->getHostname() };
    const QString wins1 = m_networkInfo->getPriWINS4();
    const QString wins2 = m_networkInfo->getSecWINS4();
    if (wins1 != NoAddress4)
        arguments << QStringLiteral("-wins1:") + wins1;
    if (wins2 != NoAddress4)
        arguments << QStringLiteral("-wins2:") + wins2;
    return arguments;
}

int NbnsProcess::startService()
{
    if (state() != QProcess::NotRunning)
        return -EBUSY;
    return startProgram(QLatin1String(Program), arguments());
}

int NbnsProcess::stopService()
{
    if (m_pid == 0)
        return 0;
    return platform::ChildProcess::startDetached(
        QLatin1String(Program), { QStringLiteral("-kill:1") });
}

QString NbnsProcess::advertisedName(const QString &line)
{
    static const QRegularExpression pattern(
        QStringLiteral("\\A([-A-Za-z0-9]+) (has been advertized|registration succeeded at).*\\z"));
    const QRegularExpressionMatch match = pattern.match(line);
    return match.hasMatch() ? match.captured(1) : QString();
}

void NbnsProcess::onStart()
{
    m_pid = QProcess::processId();
    ZOProcessWrapper::onStart();
}

void NbnsProcess::onFinish(int exitcode, QProcess::ExitStatus exitstatus)
{
    m_pid = 0;
    ZOProcessWrapper::onFinish(exitcode, exitstatus);
}
