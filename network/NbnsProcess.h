#pragma once

#include "platform/ZOProcessWrapper.h"

#include <QStringList>

namespace zostd {
class INetworkInfo;
class IPreferenceInfo;
} // namespace zostd

// Runs the board's NetBIOS name program "/usr/bin/zonbns -hostname:NAME [-wins1:A] [-wins2:B]"
// (the WINS servers only when DHCP leased them) and stops it with "zonbns -kill:1". The
// program's standard output arrives as lines; "NAME has been advertized" and "NAME registration
// succeeded at ..." give the NetBIOS name.
//
// Lives and signals in the network thread.
class NbnsProcess : public zostd::ZOProcessWrapper
{
    Q_OBJECT

public:
    static constexpr const char *Program = "/usr/bin/zonbns";

    NbnsProcess(const zostd::INetworkInfo *info, const zostd::IPreferenceInfo *preferences);

    // Starts the program; 0, -EBUSY while it runs (nothing changes), or ChildProcess's errno.
    int startService();
    // Asks a running program to end ("zonbns -kill:1", detached); nothing while none runs.
    int stopService();
    // The arguments startService() passes.
    QStringList arguments() const;
    // The NetBIOS name of an output line, or an empty text when the line names none.
    static QString advertisedName(const QString &line);

    qint64 runningPid() const { return m_pid; }

public slots:
    void onStart() override;
    void onFinish(int exitcode, QProcess::ExitStatus exitstatus) override;

private:
    const zostd::INetworkInfo *m_networkInfo;
    const zostd::IPreferenceInfo *m_preferences;
    qint64 m_pid = 0;
};
