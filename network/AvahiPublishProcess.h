#pragma once

#include "platform/ZOProcessWrapper.h"

#include <QString>
#include <QStringList>

namespace zostd {
class IModelInfo;
class IPreferenceInfo;
} // namespace zostd

// Announces one DNS-SD service with "/usr/bin/avahi-publish -s NAME TYPE PORT TXT...". The
// instance name is the one cached after the last publication (so that a name the publisher
// picked after a collision survives a restart), else the preference description. The TXT
// records are fixed at construction: "txtvers=1" and "path=/" for "_http._tcp"; "txtvers=1" and
// the four identity records for every other type. Standard error arrives as lines.
//
// Lives and signals in the network thread.
class AvahiPublishProcess : public zostd::ZOProcessWrapper
{
    Q_OBJECT

public:
    static constexpr const char *Program = "/usr/bin/avahi-publish";
    static constexpr const char *ServiceCachePath = "/etc/instr/avahi-service-cache";

    AvahiPublishProcess(const QString &type,
        quint16 port,
        const zostd::IModelInfo *model,
        const zostd::IPreferenceInfo *preferences);

    // Starts the publisher unless it still runs; 0, -EBUSY while it runs, or ChildProcess's
    // negative errno.
    int publish();
    // Kills the publisher, whether or not it runs.
    int unpublish();
    // The arguments publish() passes.
    QStringList arguments() const;

    const QString &type() const { return m_type; }
    quint16 port() const { return m_port; }
    const QStringList &txtRecords() const { return m_txt; }
    qint64 runningPid() const { return m_pid; }

    // The cached instance name (first line, trimmed), empty when there is none.
    static QString cachedServiceName();
    // Caches the instance name atomically; 0 or -310.
    static int writeServiceCache(const QString &name);
    static bool deleteCache();

public slots:
    void onStart() override;
    void onFinish(int exitcode, QProcess::ExitStatus exitstatus) override;

private:
    const zostd::IPreferenceInfo *m_preferences;
    const QString m_type;
    const quint16 m_port;
    QStringList m_txt;
    qint64 m_pid = 0;
};
