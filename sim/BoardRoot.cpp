#include "sim/BoardRoot.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

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
} // namespace

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
    for (const char *sub : { "dev", "run" }) {
        if (!dir.mkpath(QLatin1String(sub))) {
            *error = QStringLiteral("cannot create %1/%2").arg(root, QLatin1String(sub));
            return false;
        }
    }
    return true;
}

} // namespace sim
