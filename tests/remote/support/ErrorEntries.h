#pragma once

#include "remote/ZOSystErrCue.h"

#include <QStringList>

// "code interface" of every queued error, oldest first; empties the queue.
inline QStringList takeErrorEntries()
{
    QStringList errors;
    while (!zo4882::s_systErrCue.isEmpty()) {
        const zo4882::SYST_ERR_INFO e = zo4882::s_systErrCue.decue();
        errors << QStringLiteral("%1 %2").arg(e.code()).arg(int(e.intf()));
    }
    return errors;
}
