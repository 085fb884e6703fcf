#pragma once

#include "platform/ZOProcessWrapper.h"

#include <QStringList>

namespace zostd {
class IPreferenceInfo;
}

// Runs the board's NTP clock program once per launch:
// "/usr/bin/zontpdate -server:HOST -hwclock:1|0 -thresh:SECONDS", the threshold in the shortest
// form (0.1 gives "0.1", 1.0 gives "1"). Its standard output arrives as lines; progfinished()
// marks its end, whatever its exit status.
//
// Lives and signals in the thread of its creator.
class NtpDateProcess : public zostd::ZOProcessWrapper
{
    Q_OBJECT

public:
    static constexpr const char *Program = "/usr/bin/zontpdate";

    explicit NtpDateProcess(const zostd::IPreferenceInfo *preferences);

    // An empty server means the preference NTP server. 0, -EBUSY while a run is under way, or
    // ChildProcess's negative errno.
    int launch(bool hwclock, double threshold, const QString &server);
    QStringList arguments(bool hwclock, double threshold, const QString &server) const;

signals:
    void progfinished();

private:
    const zostd::IPreferenceInfo *m_preferences;
};
