#include "remote/ZOFileUtils.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace zostd {

bool ZOFileUtils::checkExistence(const QString &path)
{
    return QFileInfo::exists(path);
}

bool ZOFileUtils::checkExecutable(const QString &path)
{
    return QFileInfo(path).isExecutable();
}

bool ZOFileUtils::checkWritable(const QString &path)
{
    return QFileInfo(path).isWritable();
}

bool ZOFileUtils::checkReadable(const QString &path)
{
    return QFileInfo(path).isReadable();
}

bool ZOFileUtils::checkScriptNewLine(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    QByteArray content = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return false;
    const int nul = content.indexOf('\0');
    if (nul >= 0)
        content.truncate(nul);
    return !content.contains("\r\n");
}

bool ZOFileUtils::removeDir(const QString &path)
{
    const QFileInfo top(path);
    if (top.isSymLink())
        return QFile::remove(path);
    if (!top.isDir())
        return !top.exists();
    const QFileInfoList entries = QDir(path).entryInfoList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::DirsFirst);
    for (const QFileInfo &entry : entries) {
        // A link (to a directory or not) goes as a link; the walk never follows it.
        const bool removed = entry.isDir() && !entry.isSymLink()
            ? removeDir(entry.absoluteFilePath())
            : QFile::remove(entry.absoluteFilePath());
        if (!removed)
            return false;
    }
    return QDir().rmdir(path);
}

} // namespace zostd
