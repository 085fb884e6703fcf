#include "gui/shell/PanelShutdown.h"

#include "gui/shell/ShutdownSignals.h"
#include "platform/ChildProcess.h"

#include <QStringList>

#include <csignal>

using platform::ChildProcess;

int PanelShutdown::run(int sig, const Steps &steps)
{
    const int code = ShutdownSignals::exitCodeFor(sig);
    if (steps.saveState)
        steps.saveState();
    ChildProcess::startDetached(QStringLiteral("/etc/init.d/save-rtc.sh"), {});
    ChildProcess::startDetached(QStringLiteral("/bin/sync"), {});
    if (sig == SIGQUIT && steps.raiseAcFail)
        steps.raiseAcFail();
    if (steps.closeUsbtmc)
        steps.closeUsbtmc();
    // The gadget's modules, innermost first.
    const QString rmmod = QStringLiteral("/sbin/rmmod");
    ChildProcess::startDetached(rmmod, { QStringLiteral("-f"), QStringLiteral("g_usbtmc") });
    ChildProcess::startDetached(rmmod, { QStringLiteral("libcomposite") });
    ChildProcess::startDetached(rmmod, { QStringLiteral("configfs") });
    return code;
}
