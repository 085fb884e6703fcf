#include "remote/StartupFileChecks.h"

#include "platform/BoardPath.h"
#include "remote/QueueError.h"
#include "remote/ZOFileUtils.h"

namespace zostd {

namespace {

constexpr int SystemError = -310;

const char *const AuxiliaryPrograms[] = {
    "/usr/bin/zodns6",
    "/usr/bin/zonbns",
    "/usr/bin/zontpdate",
    "/usr/bin/zodhcp2",
    "/usr/bin/zoUpdater",
    "/usr/bin/mac_update",
};

const char *const BoardScripts[] = {
    "/etc/profile.d/qt_env.sh",
    "/etc/rc5.d/S00mac_update.sh",
    "/etc/udhcpc.d/50default",
};

} // namespace

QStringList checkStartupFiles()
{
    QStringList failures;
    const auto fail = [&failures](const char *pattern, const QString &path) {
        failures << QString::fromLatin1(pattern).arg(path);
        zo4882::queueError(SystemError, failures.last());
    };
    for (const char *program : AuxiliaryPrograms) {
        const QString path = QLatin1String(program);
        const QString file = platform::BoardPath::map(path);
        if (!ZOFileUtils::checkExistence(file))
            fail("Missing %1", path);
        else if (!ZOFileUtils::checkExecutable(file))
            fail("Unexecutable %1", path);
    }
    for (const char *script : BoardScripts) {
        const QString path = QLatin1String(script);
        const QString file = platform::BoardPath::map(path);
        if (!ZOFileUtils::checkExistence(file)) {
            fail("Missing %1", path);
            continue;
        }
        if (!ZOFileUtils::checkExecutable(file))
            fail("Unexecutable %1", path);
        // An unreadable script's line ends are unknown, not bad.
        if (!ZOFileUtils::checkReadable(file))
            fail("Unreadable %1", path);
        else if (!ZOFileUtils::checkScriptNewLine(file))
            fail("Bad Newline in %1", path);
    }
    return failures;
}

} // namespace zostd
