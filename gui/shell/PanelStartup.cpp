#include "gui/shell/PanelStartup.h"

#include "platform/BoardPath.h"
#include "platform/ChildProcess.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

using platform::BoardPath;
using platform::ChildProcess;

namespace {
const char *const renamedScripts[] = { "/etc/rc5.d/S01networking", "/etc/rc5.d/S21avahi-daemon" };
const char *const instrumentFolders[] = { "/panels",
    "/programs",
    "/programs/cc",
    "/programs/cr",
    "/programs/cv",
    "/programs/cp",
    "/programs/nc",
    "/programs/temp" };

void renameAside(const QString &script)
{
    const QFileInfo info(script);
    QFile::rename(BoardPath::map(script),
        BoardPath::map(info.path() + QLatin1String("/_") + info.fileName()));
}

void copyWhenMissing(const QString &factory, const QString &slot)
{
    if (!QFileInfo::exists(BoardPath::map(slot)))
        QFile::copy(BoardPath::map(factory), BoardPath::map(slot));
}
} // namespace

void PanelStartup::prepareBoard()
{
    for (const char *script : renamedScripts)
        renameAside(QLatin1String(script));

    const QString instr = QStringLiteral("/etc/instr");
    QDir().mkdir(BoardPath::map(instr));
    for (const char *folder : instrumentFolders)
        QDir().mkdir(BoardPath::map(instr + QLatin1String(folder)));
    QDir().mkdir(BoardPath::map(QStringLiteral("/run/media")));
    // The link's target is the board path, which resolves inside the root only on the board;
    // under a board root it points into the root's own copy.
    QFile::link(BoardPath::map(QStringLiteral("/etc/instr/panels")),
        BoardPath::map(QStringLiteral("/run/media/setups")));

    const QString factory = QStringLiteral("/usr/bin/default.info");
    for (int i = 0; i < 20; ++i)
        copyWhenMissing(factory, QString::asprintf("/etc/instr/panels/%02d.info", i));
    copyWhenMissing(factory, QStringLiteral("/etc/instr/panels/auto.info"));

    ChildProcess::startDetached(QStringLiteral("/sbin/ifup"), { QStringLiteral("lo") });
    ChildProcess::startDetached(QStringLiteral("/sbin/ifup"), { QStringLiteral("eth0") });
}
