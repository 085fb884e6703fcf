#include "network/AvahiPublishProcess.h"

#include "platform/AtomicFile.h"
#include "platform/BoardPath.h"
#include "remote/IModelInfo.h"
#include "remote/IPreferenceInfo.h"

#include <QFile>

#include <cerrno>

AvahiPublishProcess::AvahiPublishProcess(const QString &type,
    quint16 port,
    const zostd::IModelInfo *model,
    const zostd::IPreferenceInfo *preferences)
    : m_preferences(preferences)
    , m_type(type)
    , m_port(port)
{
    m_txt << QStringLiteral("txtvers=1");
    if (m_type == QLatin1String("_http._tcp")) {
        m_txt << QStringLiteral("path=/");
        return;
    }
    const auto identity = [model](QString (zostd::IModelInfo::*get)() const) {
        return model ? (model->*get)() : QString();
    };
    m_txt << QStringLiteral("Manufacturer=%1").arg(identity(&zostd::IModelInfo::getManufacturer))
          << QStringLiteral("Model=%1").arg(identity(&zostd::IModelInfo::getModel))
          << QStringLiteral("SerialNumber=%1").arg(identity(&zostd::IModelInfo::getSerial))
          << QStringLiteral("FirmwareVersion=%1").arg(identity(&zostd::IModelInfo::getRevision));
}

QString AvahiPublishProcess::cachedServiceName()
{
    QFile file(platform::BoardPath::map(QLatin1String(ServiceCachePath)));
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(file.readLine(256)).trimmed();
}

int AvahiPublishProcess::writeServiceCache(const QString &name)
{
    return platform::AtomicFile::write(
        platform::BoardPath::map(QLatin1String(ServiceCachePath)), name.toUtf8());
}

bool AvahiPublishProcess::deleteCache()
{
    const QString path = platform::BoardPath::map(QLatin1String(ServiceCachePath));
    return QFile::remove(path) || !QFile::exists(path);
}

QStringList AvahiPublishProcess::arguments() const
{
    QString name = cachedServiceName();
    if (name.isEmpty())
        name = m_preferences->getDescription();
    return QStringList { QStringLiteral("-s"), name, m_type, QString::number(m_port) } + m_txt;
}

int AvahiPublishProcess::publish()
{
    if (m_pid != 0 || state() != QProcess::NotRunning)
        return -EBUSY;
    // The name and the TXT records are data, never board paths.
    return startProgram(
        QLatin1String(Program), arguments(), platform::ChildProcess::Arguments::Verbatim);
}

int AvahiPublishProcess::unpublish()
{
    kill();
    return 0;
}

void AvahiPublishProcess::onStart()
{
    m_pid = QProcess::processId();
    ZOProcessWrapper::onStart();
}

void AvahiPublishProcess::onFinish(int exitcode, QProcess::ExitStatus exitstatus)
{
    m_pid = 0;
    ZOProcessWrapper::onFinish(exitcode, exitstatus);
}
