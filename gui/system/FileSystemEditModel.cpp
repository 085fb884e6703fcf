#include "gui/system/FileSystemEditModel.h"

#include "platform/BoardPath.h"
#include "platform/ChildProcess.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

using platform::BoardPath;
using platform::ChildProcess;

namespace {
const QString MediaRoot = QStringLiteral("/run/media");
const QString SetupsLink = QStringLiteral("setups");
const QString Mount = QStringLiteral("/bin/mount");
const QString Umount = QStringLiteral("/bin/umount");

// What the name editor lets through, and never a step out of the folder or a control character
// (which a stick's file system refuses anyway).
bool acceptableName(const QString &name)
{
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return false;
    return std::none_of(name.cbegin(), name.cend(), [](QChar c) {
        return c == QLatin1Char('/') || c == QLatin1Char(':') || c.unicode() < 0x20;
    });
}

bool run(const QString &program, const QStringList &arguments)
{
    return ChildProcess::run(program, arguments).succeeded();
}
} // namespace

FileSystemEditModel::FileSystemEditModel(QObject *parent, const QString &suffix)
    : QFileSystemModel(parent)
    , m_suffixes { suffix }
{
    setRootPath(BoardPath::map(MediaRoot));
    QStringList filters;
    for (const QString &s : qAsConst(m_suffixes))
        filters << QStringLiteral("*.") + s;
    setNameFilters(filters);
    setNameFilterDisables(false);
}

Qt::ItemFlags FileSystemEditModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsSelectable | Qt::ItemIsEnabled;
    if (index.column() == 0)
        f |= Qt::ItemIsEditable;
    return f;
}

QString FileSystemEditModel::mediaName(const QString &path)
{
    const QStringList parts =
        BoardPath::unmap(QDir::cleanPath(path)).split(QLatin1Char('/'), Qt::SkipEmptyParts);
    if (parts.size() < 3 || parts.at(0) != QLatin1String("run")
        || parts.at(1) != QLatin1String("media"))
        return QString();
    return parts.at(2);
}

bool FileSystemEditModel::validateUSBStorage(const QString &path) const
{
    const QString name = mediaName(path);
    if (name.isEmpty() || name == SetupsLink || name == QLatin1String("..")
        || name == QLatin1String("."))
        return false;
    return QFileInfo(BoardPath::map(MediaRoot + QLatin1Char('/') + name)).isDir();
}

short FileSystemEditModel::remountWritableIfNeeded(const QString &path) const
{
    if (!validateUSBStorage(path))
        return 0;
    const QString mountPoint = MediaRoot + QLatin1Char('/') + mediaName(path);
    return run(Mount, { QStringLiteral("-o"), QStringLiteral("remount,rw"), mountPoint })
        ? 0
        : MediaError;
}

short FileSystemEditModel::remountReadonlyIfNeeded(const QString &path) const
{
    if (!validateUSBStorage(path))
        return 0;
    const QString name = mediaName(path);
    const QString mountPoint = MediaRoot + QLatin1Char('/') + name;
    // Both run whatever the first gives: a stick left unmounted is worse than one left writable.
    const bool unmounted = run(Umount, { mountPoint });
    const bool mounted = run(Mount,
        { QStringLiteral("-r"),
            QStringLiteral("-t"),
            QStringLiteral("auto"),
            QStringLiteral("/dev/") + name,
            mountPoint });
    return unmounted && mounted ? 0 : MediaError;
}

bool FileSystemEditModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    Q_UNUSED(role)
    if (!index.isValid() || index.column() != 0)
        return false;
    const QString name = value.toString();
    if (!acceptableName(name))
        return false;
    const QString oldPath = filePath(index);
    // The media root, the setups link and a mount point stay: renaming one would cut the
    // store or a stick out of the tree.
    if (BoardPath::unmap(oldPath).split(QLatin1Char('/'), Qt::SkipEmptyParts).size() <= 3)
        return false;
    if (remountWritableIfNeeded(oldPath) != 0)
        return false;
    QStringList parts = oldPath.split(QLatin1Char('/'));
    parts.last() = name;
    const QString newPath = parts.join(QLatin1Char('/'));
    const bool renamed = QDir().rename(oldPath, newPath);
    if (renamed) {
        const QModelIndex changed = this->index(newPath);
        emit dataChanged(changed, changed);
    }
    remountReadonlyIfNeeded(oldPath);
    return renamed;
}
