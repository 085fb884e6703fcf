#include "network/AvahiDaemonProcess.h"

#include "platform/AtomicFile.h"
#include "platform/BoardPath.h"
#include "remote/IPreferenceInfo.h"
#include "remote/ZOFileUtils.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

namespace {

QString firstLine(const char *boardPath)
{
    QFile file(platform::BoardPath::map(QLatin1String(boardPath)));
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(file.readLine(256)).trimmed();
}

void setDetail(QString *detail, const QString &text)
{
    if (detail)
        *detail = text;
}

} // namespace

AvahiDaemonProcess::AvahiDaemonProcess(const zostd::IPreferenceInfo *preferences)
    : m_preferences(preferences)
{ }

AvahiDaemonProcess::~AvahiDaemonProcess()
{
    if (state() != QProcess::NotRunning) {
        kill();
        waitForFinished(1000);
    }
}

bool AvahiDaemonProcess::isValidHostname(const QString &hostname)
{
    static const QRegularExpression label(
        QStringLiteral("\\A[A-Za-z0-9](?:[-A-Za-z0-9]{0,61}[A-Za-z0-9])?\\z"));
    return label.match(hostname).hasMatch();
}

QString AvahiDaemonProcess::cachedHostname()
{
    return firstLine(HostnameCachePath);
}

int AvahiDaemonProcess::writeHostnameCache(const QString &hostname)
{
    return platform::AtomicFile::write(
        platform::BoardPath::map(QLatin1String(HostnameCachePath)), hostname.toUtf8());
}

bool AvahiDaemonProcess::deleteCache()
{
    const QString path = platform::BoardPath::map(QLatin1String(HostnameCachePath));
    return QFile::remove(path) || !QFile::exists(path);
}

int AvahiDaemonProcess::generateConfFile(const QString &hostname, QString *detail)
{
    // The name becomes part of a configuration line: anything but a plain label could add
    // lines of its own.
    if (!isValidHostname(hostname)) {
        setDetail(
            detail, QStringLiteral("mDNS host name \"%1\" is not a valid host name").arg(hostname));
        return -224;
    }
    QFile templateFile(platform::BoardPath::map(QLatin1String(TemplatePath)));
    if (!templateFile.open(QIODevice::ReadOnly | QIODevice::Text)) {
        setDetail(detail, QStringLiteral("%1: cannot be read").arg(QLatin1String(TemplatePath)));
        return -256;
    }
    const QString text = QString::fromLatin1(templateFile.readAll()).arg(hostname);
    QString reason;
    const int rc = platform::AtomicFile::write(
        platform::BoardPath::map(QLatin1String(ConfPath)), text.toLatin1(), &reason);
    if (rc != 0)
        setDetail(detail, reason);
    return rc;
}

int AvahiDaemonProcess::startService(QString *detail)
{
    const QString cached = cachedHostname();
    QDir().mkpath(platform::BoardPath::map(QLatin1String(ConfDir)));
    // A cache that holds no valid name (edited, or damaged) gives way to the preference.
    const QString hostname = isValidHostname(cached) ? cached : m_preferences->getHostname();
    const int rc = generateConfFile(hostname, detail);
    if (rc == -224 || rc == -310)
        return rc;
    if (m_pid == 0 && state() == QProcess::NotRunning) {
        const int started = startProgram(QLatin1String(Program), {});
        if (started != 0) {
            setDetail(detail, QStringLiteral("%1: cannot be started").arg(QLatin1String(Program)));
            return started;
        }
    }
    return rc;
}

int AvahiDaemonProcess::stopService()
{
    if (m_pid != 0)
        kill();
    return 0;
}

void AvahiDaemonProcess::onStart()
{
    m_pid = QProcess::processId();
    ZOProcessWrapper::onStart();
}

void AvahiDaemonProcess::onFinish(int exitcode, QProcess::ExitStatus exitstatus)
{
    m_pid = 0;
    zostd::ZOFileUtils::removeDir(platform::BoardPath::map(QLatin1String(ConfDir)));
    ZOProcessWrapper::onFinish(exitcode, exitstatus);
}
