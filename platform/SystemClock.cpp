#include "platform/SystemClock.h"

#include "platform/BoardPath.h"

#include <QFile>
#include <QMutex>
#include <QMutexLocker>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/time.h>
#include <unistd.h>

namespace platform {

namespace {

constexpr const char *OffsetFile = "/run/clock.offset";
constexpr const char *LocalTime = "/etc/localtime";
constexpr const char *ZoneFile = "/etc/timezone";
constexpr const char *ZoneDatabase = "/usr/share/zoneinfo/";

// Guards the program's TZ variable and every local-time conversion of this class.
QMutex &zoneMutex()
{
    static QMutex mutex;
    return mutex;
}

// Guards the stand-in's offset file (read, change, write).
QMutex &offsetMutex()
{
    static QMutex mutex;
    return mutex;
}

AtomicFile::RenameFunction &zoneRename()
{
    static AtomicFile::RenameFunction rename;
    return rename;
}

bool standIn()
{
    return !BoardPath::root().isEmpty();
}

qint64 hostNow()
{
    return qint64(::time(nullptr));
}

qint64 storedOffset()
{
    QFile file(BoardPath::map(QString::fromLatin1(OffsetFile)));
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    bool ok = false;
    const qint64 offset = file.readAll().trimmed().toLongLong(&ok);
    return ok ? offset : 0;
}

} // namespace

qint64 SystemClock::now()
{
    if (!standIn())
        return hostNow();
    QMutexLocker lock(&offsetMutex());
    return hostNow() + storedOffset();
}

int SystemClock::set(qint64 seconds)
{
    if (!standIn()) {
        timeval tv {};
        tv.tv_sec = time_t(seconds);
        tv.tv_usec = 0;
        return ::settimeofday(&tv, nullptr) == 0 ? 0 : -errno;
    }
    QMutexLocker lock(&offsetMutex());
    const QByteArray text = QByteArray::number(seconds - hostNow()) + '\n';
    return AtomicFile::write(BoardPath::map(QString::fromLatin1(OffsetFile)), text) == 0 ? 0 : -EIO;
}

void SystemClock::toLocal(qint64 seconds, std::tm *out)
{
    QMutexLocker lock(&zoneMutex());
    const time_t t = time_t(seconds);
    if (!::localtime_r(&t, out))
        std::memset(out, 0, sizeof *out);
}

qint64 SystemClock::makeLocal(std::tm *local)
{
    QMutexLocker lock(&zoneMutex());
    return qint64(::mktime(local));
}

int SystemClock::setZone(const QByteArray &zone, QString *reason)
{
    auto fail = [reason](const QString &why) {
        if (reason)
            *reason = why;
        return -310;
    };
    const QString localTime = BoardPath::map(QString::fromLatin1(LocalTime));
    const QString zoneFile = BoardPath::map(QString::fromLatin1(ZoneFile));
    const QString temporary = localTime + QStringLiteral(".new");
    // The link holds the board's own path of the zone file.
    const QByteArray target = QByteArray(ZoneDatabase) + zone;

    QMutexLocker lock(&zoneMutex());
    ::unlink(QFile::encodeName(temporary).constData()); // left by an earlier failure
    if (::symlink(target.constData(), QFile::encodeName(temporary).constData()) != 0)
        return fail(
            QStringLiteral("%1: %2").arg(temporary, QString::fromLocal8Bit(strerror(errno))));

    QFile oldZone(zoneFile);
    const bool hadZoneFile = oldZone.open(QIODevice::ReadOnly);
    const QByteArray oldZoneText = hadZoneFile ? oldZone.readAll() : QByteArray();
    oldZone.close();
    QString why;
    if (AtomicFile::write(zoneFile, zone, &why) != 0) {
        ::unlink(QFile::encodeName(temporary).constData());
        return fail(why);
    }

    const AtomicFile::RenameFunction &rename = zoneRename();
    const bool renamed = rename ? rename(temporary, localTime)
                                : ::rename(QFile::encodeName(temporary).constData(),
                                      QFile::encodeName(localTime).constData())
            == 0;
    if (!renamed) {
        const int error = errno;
        ::unlink(QFile::encodeName(temporary).constData());
        // Back to the zone file the old link goes with.
        if (hadZoneFile)
            AtomicFile::write(zoneFile, oldZoneText);
        else
            QFile::remove(zoneFile);
        return fail(
            QStringLiteral("%1: %2").arg(localTime, QString::fromLocal8Bit(strerror(error))));
    }

    qputenv("TZ", zone);
    ::tzset();
    return 0;
}

void SystemClock::setZoneRenameFunction(AtomicFile::RenameFunction rename)
{
    zoneRename() = std::move(rename);
}

} // namespace platform
