#include "sim/BoardRoot.h"

#include "sim/InputDevice.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace sim {

namespace {
bool copyTree(const QString &from, const QString &to, QString *error)
{
    QDir target;
    QDirIterator it(from,
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
        QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString source = it.next();
        const QFileInfo info = it.fileInfo();
        const QString dest = to + QLatin1Char('/') + QDir(from).relativeFilePath(source);
        if (info.isDir()) {
            if (!target.mkpath(dest)) {
                *error = QStringLiteral("cannot create %1").arg(dest);
                return false;
            }
        } else if (info.fileName() != QLatin1String(".keep")) {
            target.mkpath(QFileInfo(dest).path());
            if (!QFile::copy(source, dest)) {
                *error = QStringLiteral("cannot copy %1 to %2").arg(source, dest);
                return false;
            }
            // Template files are read-only in some checkouts; the board's copy is writable.
            QFile::setPermissions(dest, info.permissions() | QFile::WriteOwner | QFile::ReadOwner);
        }
    }
    return true;
}
// Links each missing host tool; a tool the host does not have stays missing, as a stand-in would.
bool linkHostTools(const QString &root, QString *error)
{
    for (const char *const *tool = BoardRoot::HostTools; *tool; ++tool) {
        const QString boardPath = QLatin1String(*tool);
        const QString link = root + boardPath;
        if (QFileInfo(link).isSymLink() || QFileInfo::exists(link))
            continue;
        const QString host = QStandardPaths::findExecutable(QFileInfo(boardPath).fileName());
        if (host.isEmpty())
            continue;
        QDir().mkpath(QFileInfo(link).path());
        if (!QFile::link(host, link)) {
            *error = QStringLiteral("cannot link %1 to %2").arg(link, host);
            return false;
        }
    }
    return true;
}
} // namespace

const char *const BoardRoot::HostTools[] = { "/bin/sync", "/bin/tar", "/usr/bin/md5sum", nullptr };

bool BoardRoot::prepare(const QString &root, const QString &templateDir, QString *error)
{
    QDir dir(root);
    const bool empty = !dir.exists()
        || dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)
               .isEmpty();
    if (!QDir().mkpath(root)) {
        *error = QStringLiteral("cannot create board root %1").arg(root);
        return false;
    }
    if (empty) {
        if (!QFileInfo(templateDir).isDir()) {
            *error = QStringLiteral("template %1 is not a directory").arg(templateDir);
            return false;
        }
        if (!copyTree(templateDir, root, error))
            return false;
    }
    for (const char *sub : { "dev", "run", "var/lock", "var/log" }) {
        if (!dir.mkpath(QLatin1String(sub))) {
            *error = QStringLiteral("cannot create %1/%2").arg(root, QLatin1String(sub));
            return false;
        }
    }
    return InputDevice::create(root, error) && linkHostTools(QDir(root).absolutePath(), error);
}

} // namespace sim
