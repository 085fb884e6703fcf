#pragma once

#include "platform/AtomicFile.h"

#include <QByteArray>
#include <QString>

#include <ctime>

namespace platform {

// The board's system clock and time zone, the one way the program reads or sets them.
//
// Clock: on the board (empty board root) the system clock itself (settimeofday). Under a board
// root a stand-in: an offset in seconds from the host's clock, kept in the root's
// "/run/clock.offset", so that a desktop run never sets the host's clock.
//
// Zone: the program's local time follows its TZ variable. Every conversion between seconds and
// local time made through this class and every TZ change hold one mutex, so no conversion sees a
// half-changed zone (TZ, then tzset()).
class SystemClock
{
public:
    // Seconds since the epoch as the board's clock reads them.
    static qint64 now();
    // Sets the board's clock to seconds (microseconds 0). 0, or a negative errno.
    static int set(qint64 seconds);

    // localtime_r() and mktime() under the zone mutex. makeLocal returns -1 for a time that
    // cannot be represented.
    static void toLocal(qint64 seconds, std::tm *out);
    static qint64 makeLocal(std::tm *local);

    // Makes zone (a zone database identifier such as "Asia/Tokyo", already checked) the board's
    // time zone: the link "/etc/localtime" to "/usr/share/zoneinfo/<zone>" is built under a
    // temporary name, "/etc/timezone" is replaced atomically with the identifier, the link is
    // renamed over "/etc/localtime", and only then the program's TZ changes. A failure at any
    // step leaves the old zone in place (files and TZ) and returns -310 with a reason.
    static int setZone(const QByteArray &zone, QString *reason = nullptr);

    // The step that puts the new link in place, replaceable so that a test can make it fail
    // after the link is built. An empty function restores rename(2).
    static void setZoneRenameFunction(AtomicFile::RenameFunction rename);
};

} // namespace platform
