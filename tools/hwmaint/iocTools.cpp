#include "tools/hwmaint/iocTools.h"

#include "platform/BoardPath.h"
#include "platform/ChildProcess.h"
#include "platform/SysfsFile.h"
#include "tools/hwmaint/IocSetting.h"
#include "tools/hwmaint/PanelControl.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>
#include <QThread>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

using platform::BoardPath;
using platform::ChildProcess;
using platform::SysfsFile;

namespace {
const QString umountProgram = QStringLiteral("/bin/umount");
const QString mountProgram = QStringLiteral("/bin/mount");
const QString cpProgram = QStringLiteral("/bin/cp");
const QString ddProgram = QStringLiteral("/bin/dd");
const QString mounts = QStringLiteral("/proc/mounts");
const QString usbSelect = QStringLiteral("/sys/class/gpio/gpio111/value");
// The controller's ISP disk shows this SCSI vendor; its name (sda, sdb, ...) depends on what
// else is plugged in.
const QString ispDiskVendor = QStringLiteral("NXP");
constexpr int DdBlock = 512;
constexpr int SentTimeoutMs = 2000;

QString errnoText(int negativeErrno)
{
    return QString::fromLocal8Bit(std::strerror(-negativeErrno));
}

// The device mounted at mountPoint and its options, from the kernel's mount table.
bool findMount(const QString &mountPoint, QString *device, QString *options)
{
    QFile f(BoardPath::map(mounts));
    if (!f.open(QIODevice::ReadOnly))
        return false;
    for (const QByteArray &line : f.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() >= 4 && QString::fromLocal8Bit(fields.at(1)) == mountPoint) {
            *device = QString::fromLocal8Bit(fields.at(0));
            *options = QString::fromLocal8Bit(fields.at(3));
            return true;
        }
    }
    return false;
}

bool isMounted(const QString &mountPoint)
{
    QString device;
    QString options;
    return findMount(mountPoint, &device, &options);
}

// Flushes the file to the disk and reads it back; false with a reason on failure.
bool syncAndRead(const QString &path, QByteArray *data, QString *reason)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 || ::fsync(fd) != 0) {
        *reason = QString::fromLocal8Bit(std::strerror(errno));
        if (fd >= 0)
            ::close(fd);
        return false;
    }
    ::close(fd);
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        *reason = f.errorString();
        return false;
    }
    *data = f.readAll();
    return true;
}
} // namespace

iocTools::iocTools()
    : iocTools(IocToolsTiming())
{ }

iocTools::iocTools(const IocToolsTiming &timing, QTextStream *errors)
    : m_timing(timing)
    , m_errors(errors)
{
    if (!m_errors) {
        m_ownErrors = new QTextStream(stderr);
        m_errors = m_ownErrors;
    }
}

iocTools::~iocTools()
{
    delete m_ownErrors;
}

int iocTools::fail(int code, const QString &message)
{
    *m_errors << QStringLiteral("hwmaint: ") << message << '\n';
    m_errors->flush();
    return code;
}

int iocTools::boot(bool isp)
{
    ioc::IocSetting writer;
    const int state = ioc::IoControl::deviceState();
    if (state < 0)
        return fail(Missing,
            QStringLiteral("cannot open %1: %2")
                .arg(QLatin1String(ioc::spiDevice), errnoText(state)));
    writer.start();
    QThread::msleep(ulong(m_timing.bootStartMs));
    writer.iocBootMode(isp, true);
    writer.transfer();
    // The controller needs the reset held this long; a writer thread slow to start must not
    // shorten it.
    writer.waitUntilSent(SentTimeoutMs);
    QThread::msleep(ulong(m_timing.bootPairGapMs));
    writer.iocBootMode(isp, false);
    writer.transfer();
    QThread::msleep(ulong(m_timing.bootEndMs));
    const int rc = writer.stop();
    if (rc != 0)
        return fail(Failed,
            QStringLiteral("sending the %1 boot mode to the IOC failed: %2")
                .arg(isp ? QStringLiteral("ISP") : QStringLiteral("flash"), errnoText(rc)));
    return Success;
}

int iocTools::usbSwitch(bool toIoc, bool init)
{
    if (!PanelControl::isIinitialized() || init) {
        PanelControl::initialize();
        QThread::msleep(ulong(m_timing.gpioSetupMs));
    }
    const int rc = PanelControl::usbSwitch(toIoc);
    if (rc != 0)
        return fail(rc == -ENOENT ? Missing : Failed,
            QStringLiteral("cannot switch the USB host: %1").arg(errnoText(rc)));
    QString level;
    const QString wanted = toIoc ? QStringLiteral("1") : QStringLiteral("0");
    if (SysfsFile::read(usbSelect, &level) != 0 || level != wanted)
        return fail(Failed,
            QStringLiteral("the USB host did not switch to the %1 (%2 reads \"%3\")")
                .arg(toIoc ? QStringLiteral("IOC") : QStringLiteral("front panel"),
                    usbSelect,
                    level));
    return Success;
}

int iocTools::update(const QStringList &files)
{
    if (files.size() != 1)
        return fail(Missing, QStringLiteral("iocupdate takes exactly one firmware file"));
    const QString file = files.first();
    QFile source(BoardPath::map(file));
    if (!QFileInfo(source.fileName()).isFile() || !source.open(QIODevice::ReadOnly))
        return fail(Missing, QStringLiteral("cannot read %1").arg(file));
    const QByteArray image = source.readAll();
    source.close();
    if (image.isEmpty())
        return fail(Missing, QStringLiteral("%1 is empty").arg(file));

    int rc = usbSwitch(true, false);
    if (rc != Success)
        return rc;
    rc = boot(true);
    if (rc != Success) {
        usbSwitch(false, false);
        return rc;
    }

    const QString disk = waitForIspDisk();
    if (disk.isEmpty()) {
        fail(Failed,
            QStringLiteral("the IOC's ISP disk did not appear within %1 ms; nothing was written")
                .arg(m_timing.diskTimeoutMs));
        leaveIspMode();
        return Failed;
    }
    const QString mountPoint = QStringLiteral("/run/media/") + disk;
    rc = mountIspDisk(QStringLiteral("/dev/") + disk, mountPoint);
    if (rc != Success) {
        leaveIspMode();
        return rc;
    }

    const QString target = mountPoint + QStringLiteral("/firmware.bin");
    rc = copyFirmware(file, target);
    if (rc == Success)
        rc = verifyFirmware(image, file, target);
    const int unmounted = run(umountProgram, { mountPoint });
    if (rc != Success || unmounted != Success)
        return fail(Failed,
            QStringLiteral("the IOC stays in ISP mode with the USB host switched to it; "
                           "run iocupdate again"));
    rc = leaveIspMode();
    return rc;
}

QString iocTools::waitForIspDisk()
{
    const QDeadlineTimer deadline(m_timing.diskTimeoutMs);
    forever {
        const QStringList disks = QDir(BoardPath::map(QStringLiteral("/sys/block")))
                                      .entryList({ QStringLiteral("sd*") }, QDir::AllEntries);
        for (const QString &name : disks) {
            QString vendor;
            if (SysfsFile::read(QStringLiteral("/sys/block/%1/device/vendor").arg(name), &vendor)
                    == 0
                && vendor.trimmed() == ispDiskVendor)
                return name;
        }
        if (deadline.hasExpired())
            return QString();
        QThread::msleep(ulong(qMin<qint64>(m_timing.diskPollMs, deadline.remainingTime())));
    }
}

// The board's automounter may have mounted the disk read-only; it is mounted again writable,
// and only a confirmed mount point is ever written to.
int iocTools::mountIspDisk(const QString &device, const QString &mountPoint)
{
    if (isMounted(mountPoint)) {
        const int rc = run(umountProgram, { mountPoint });
        if (rc != Success)
            return rc;
    }
    if (!QDir().mkpath(BoardPath::map(mountPoint)))
        return fail(Failed, QStringLiteral("cannot create the mount point %1").arg(mountPoint));
    const int rc = run(mountProgram,
        { QStringLiteral("-rw"),
            QStringLiteral("-t"),
            QStringLiteral("vfat"),
            device,
            mountPoint });
    if (rc != Success)
        return rc;
    QString mounted;
    QString options;
    if (!findMount(mountPoint, &mounted, &options) || mounted != device
        || !options.split(QLatin1Char(',')).contains(QLatin1String("rw")))
        return fail(Failed,
            QStringLiteral("%1 is not mounted writable on %2; nothing was written")
                .arg(device, mountPoint));
    return Success;
}

int iocTools::copyFirmware(const QString &file, const QString &target)
{
    if (m_ddMode)
        return run(ddProgram,
            { QStringLiteral("bs=%1").arg(DdBlock),
                QStringLiteral("conv=notrunc,sync,noerror"),
                QStringLiteral("if=") + file,
                QStringLiteral("of=") + target });
    return run(cpProgram, { file, target });
}

// dd writes whole blocks, the last one padded with zeros; cp the file as it is.
int iocTools::verifyFirmware(const QByteArray &image, const QString &file, const QString &target)
{
    QByteArray written;
    QString reason;
    if (!syncAndRead(BoardPath::map(target), &written, &reason))
        return fail(Failed, QStringLiteral("cannot read back %1: %2").arg(target, reason));
    int expected = image.size();
    if (m_ddMode)
        expected = (image.size() + DdBlock - 1) / DdBlock * DdBlock;
    const bool same = written.size() == expected && written.startsWith(image)
        && written.mid(image.size()).count('\0') == expected - image.size();
    if (!same)
        return fail(Failed, QStringLiteral("verify failed: %1 differs from %2").arg(target, file));
    return Success;
}

// Flash boot and the USB host back to the front socket; both are tried.
int iocTools::leaveIspMode()
{
    const int booted = boot(false);
    const int switched = usbSwitch(false, false);
    return booted != Success ? booted : switched;
}

int iocTools::run(const QString &program, const QStringList &arguments)
{
    const ChildProcess::Result result = ChildProcess::run(
        program, arguments, m_timing.childTimeoutMs, ChildProcess::Output::Forward);
    if (result.succeeded())
        return Success;
    return fail(
        result.error == -ENOENT ? Missing : Failed, ChildProcess::describe(program, result));
}
