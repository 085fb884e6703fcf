#include "sim/IspDisk.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdio>

namespace sim {

namespace {
QString readTrimmed(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromLatin1(f.readAll()).trimmed();
}

bool writeText(const QString &path, const QByteArray &text)
{
    QDir().mkpath(QFileInfo(path).path());
    const QString temp = path + QStringLiteral(".tmp");
    QFile f(temp);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(text) != text.size()) {
        QFile::remove(temp);
        return false;
    }
    f.close();
    return ::rename(QFile::encodeName(temp).constData(), QFile::encodeName(path).constData()) == 0;
}

// proc/mounts under the root: board paths, one mount per line. The mount stand-ins edit it the
// same way (whole file replaced by rename).
bool editMounts(const QString &root, const QString &dropDevice, const QString &addLine)
{
    const QString path = root + QStringLiteral("/proc/mounts");
    QFile f(path);
    QStringList kept;
    if (f.open(QIODevice::ReadOnly)) {
        for (const QString &line : QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'))) {
            if (!line.isEmpty() && line.section(QLatin1Char(' '), 0, 0) != dropDevice)
                kept << line;
        }
        f.close();
    }
    if (!addLine.isEmpty())
        kept << addLine;
    return writeText(
        path, kept.isEmpty() ? QByteArray() : (kept.join(QLatin1Char('\n')) + '\n').toUtf8());
}

void removeLinkOrEmptyFolder(const QString &path)
{
    const QFileInfo info(path);
    if (info.isSymLink())
        QFile::remove(path);
    else if (info.isDir())
        QDir().rmdir(path);
}
} // namespace

IspDisk::IspDisk(const QString &root)
    : m_root(QDir(root).absolutePath())
    , m_folder(m_root + QStringLiteral("/run/powerboard/ispdisk"))
{ }

bool IspDisk::routedToController() const
{
    const QString gpio = m_root + QStringLiteral("/sys/class/gpio/gpio%1/value");
    return readTrimmed(gpio.arg(111)) == QLatin1String("1")
        && readTrimmed(gpio.arg(112)) == QLatin1String("0");
}

void IspDisk::erase()
{
    QDir(m_folder).removeRecursively();
    QDir().mkpath(m_folder);
}

bool IspDisk::attach(QString *error)
{
    if (isAttached())
        return true;
    QDir().mkpath(m_folder);
    QString name;
    for (char c = 'a'; c <= 'z' && name.isEmpty(); ++c) {
        const QString candidate = QStringLiteral("sd") + QLatin1Char(c);
        if (!QFileInfo::exists(m_root + QStringLiteral("/sys/block/") + candidate))
            name = candidate;
    }
    if (name.isEmpty()) {
        *error = QStringLiteral("no free disk name");
        return false;
    }
    const QString node = m_root + QStringLiteral("/dev/") + name;
    const QString mountPoint = m_root + QStringLiteral("/run/media/") + name;
    const QString block = m_root + QStringLiteral("/sys/block/") + name;
    QDir().mkpath(m_root + QStringLiteral("/run/media"));
    QDir().mkpath(m_root + QStringLiteral("/dev"));
    QFile::remove(node);
    removeLinkOrEmptyFolder(mountPoint);
    const bool ok = QFile::link(m_folder, node) && QFile::link(m_folder, mountPoint)
        && editMounts(m_root,
            QStringLiteral("/dev/") + name,
            QStringLiteral("/dev/%1 /run/media/%1 vfat ro 0 0").arg(name))
        && writeText(block + QStringLiteral("/removable"), "1\n")
        && writeText(block + QStringLiteral("/size"), "1024\n")
        && writeText(block + QStringLiteral("/device/model"), QByteArray(Model) + '\n')
        // The vendor last: the tool looks for it.
        && writeText(block + QStringLiteral("/device/vendor"), QByteArray(Vendor) + '\n');
    if (!ok) {
        *error = QStringLiteral("cannot show the ISP disk as %1").arg(name);
        m_name = name;
        detach();
        return false;
    }
    m_name = name;
    return true;
}

void IspDisk::detach()
{
    if (!isAttached())
        return;
    QDir(m_root + QStringLiteral("/sys/block/") + m_name).removeRecursively();
    editMounts(m_root, QStringLiteral("/dev/") + m_name, QString());
    removeLinkOrEmptyFolder(m_root + QStringLiteral("/run/media/") + m_name);
    QFile::remove(m_root + QStringLiteral("/dev/") + m_name);
    m_name.clear();
}

QByteArray IspDisk::firmware(bool *present) const
{
    QFile f(m_folder + QStringLiteral("/firmware.bin"));
    *present = f.open(QIODevice::ReadOnly);
    return *present ? f.readAll() : QByteArray();
}

} // namespace sim
