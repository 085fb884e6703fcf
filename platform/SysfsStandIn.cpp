#include "platform/SysfsStandIn.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <limits>
#include <unistd.h>

namespace platform {

namespace {
// The kernel's number parsing: decimal, one optional trailing line feed, nothing else.
bool parseNumber(QByteArray text, qint64 *value)
{
    if (text.endsWith('\n'))
        text.chop(1);
    bool good = false;
    *value = text.toLongLong(&good, 10);
    return good && !text.isEmpty() && !text.startsWith('+') && !text.startsWith(' ');
}

QByteArray word(QByteArray text)
{
    if (text.endsWith('\n'))
        text.chop(1);
    return text;
}

QString readText(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromLatin1(f.readAll()).trimmed();
}

// Replaces the file by rename so that a reader in another process never sees it half written.
int replaceText(const QString &path, const QByteArray &text)
{
    const QByteArray target = QFile::encodeName(path);
    const QByteArray temp = target + ".sysfs-tmp";
    const int fd = ::open(temp.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return -errno;
    const ssize_t n = ::write(fd, text.constData(), size_t(text.size()));
    const int rc = n != text.size() ? (n < 0 ? -errno : -EIO) : 0;
    ::close(fd);
    if (rc == 0 && ::rename(temp.constData(), target.constData()) == 0)
        return 0;
    const int err = rc != 0 ? rc : -errno;
    ::unlink(temp.constData());
    return err;
}

int createFolder(const QString &dir, const QList<QPair<QString, QByteArray>> &files)
{
    if (!QDir().mkpath(dir))
        return -EIO;
    for (const auto &f : files) {
        const int rc = replaceText(dir + QLatin1Char('/') + f.first, f.second);
        if (rc != 0)
            return rc;
    }
    return 0;
}

using Attributes = QList<QPair<QString, QByteArray>>;

// Exports line or channel N of a chip as the folder <prefix>N holding its attributes; limit is
// the chip's number of lines or channels.
int exportChild(const QString &chip,
    const QString &prefix,
    qint64 limit,
    const QByteArray &text,
    const Attributes &attributes)
{
    qint64 n = 0;
    if (!parseNumber(text, &n) || n < 0)
        return -EINVAL;
    if (n >= limit)
        return prefix == QLatin1String("pwm") ? -ENODEV : -EINVAL;
    const QString dir = chip + QLatin1Char('/') + prefix + QString::number(n);
    if (QFileInfo::exists(dir))
        return -EBUSY;
    return createFolder(dir, attributes);
}

int exportGpio(const QString &chip, const QByteArray &text)
{
    return exportChild(chip,
        QStringLiteral("gpio"),
        1024,
        text,
        { { QStringLiteral("direction"), "in\n" },
            { QStringLiteral("value"), "0\n" },
            { QStringLiteral("active_low"), "0\n" },
            { QStringLiteral("edge"), "none\n" } });
}

int exportPwm(const QString &chip, const QByteArray &text)
{
    const QString npwm = readText(chip + QStringLiteral("/npwm"));
    return exportChild(chip,
        QStringLiteral("pwm"),
        npwm.isEmpty() ? std::numeric_limits<qint64>::max() : npwm.toLongLong(),
        text,
        { { QStringLiteral("period"), "0\n" },
            { QStringLiteral("duty_cycle"), "0\n" },
            { QStringLiteral("enable"), "0\n" },
            { QStringLiteral("polarity"), "normal\n" } });
}

int unexport(const QString &chip, const QString &prefix, const QByteArray &text)
{
    qint64 n = 0;
    if (!parseNumber(text, &n) || n < 0)
        return -EINVAL;
    QDir dir(chip + QLatin1Char('/') + prefix + QString::number(n));
    if (!dir.exists())
        return -EINVAL;
    return dir.removeRecursively() ? 0 : -EIO;
}

int gpioDirection(const QString &path, const QByteArray &text)
{
    const QString value = QFileInfo(path).path() + QStringLiteral("/value");
    const QByteArray w = word(text);
    if (w == "in")
        return replaceText(path, "in\n");
    if (w != "out" && w != "low" && w != "high")
        return -EINVAL;
    const int rc = replaceText(value, w == "high" ? "1\n" : "0\n");
    return rc != 0 ? rc : replaceText(path, "out\n");
}

int gpioValue(const QString &path, const QByteArray &text)
{
    qint64 n = 0;
    if (readText(QFileInfo(path).path() + QStringLiteral("/direction")) != QLatin1String("out"))
        return -EPERM;
    if (!parseNumber(text, &n))
        return -EINVAL;
    return replaceText(path, n != 0 ? "1\n" : "0\n");
}

// period and duty_cycle check each other; enable takes 0 or 1.
int pwmAttribute(const QString &path, const QString &name, const QByteArray &text)
{
    qint64 n = 0;
    if (!parseNumber(text, &n) || n < 0)
        return -EINVAL;
    const QString dir = QFileInfo(path).path();
    if (name == QLatin1String("enable") && n > 1)
        return -EINVAL;
    if (name == QLatin1String("period")
        && n < readText(dir + QStringLiteral("/duty_cycle")).toLongLong())
        return -EINVAL;
    if (name == QLatin1String("duty_cycle")
        && n > readText(dir + QStringLiteral("/period")).toLongLong())
        return -EINVAL;
    return replaceText(path, QByteArray::number(n) + '\n');
}

int brightness(const QString &path, const QByteArray &text)
{
    qint64 n = 0;
    if (!parseNumber(text, &n) || n < 0)
        return -EINVAL;
    const QString max = readText(QFileInfo(path).path() + QStringLiteral("/max_brightness"));
    if (!max.isEmpty() && n > max.toLongLong())
        return -EINVAL;
    return replaceText(path, QByteArray::number(n) + '\n');
}
} // namespace

int SysfsStandIn::write(
    const QString &boardPath, const QString &path, const QByteArray &text, bool *opened)
{
    // As in sysfs, only existing attributes can be written.
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CLOEXEC);
    *opened = fd >= 0;
    if (fd < 0)
        return -errno;
    ::close(fd);

    static const QRegularExpression gpioChip(QStringLiteral("^/sys/class/gpio/(un)?export$"));
    static const QRegularExpression gpioLine(
        QStringLiteral("^/sys/class/gpio/gpio\\d+/(direction|value)$"));
    static const QRegularExpression pwmChip(
        QStringLiteral("^/sys/class/pwm/pwmchip\\d+/(un)?export$"));
    static const QRegularExpression pwmChannel(
        QStringLiteral("^/sys/class/pwm/pwmchip\\d+/pwm\\d+/(period|duty_cycle|enable)$"));
    static const QRegularExpression backlight(
        QStringLiteral("^/sys/class/backlight/[^/]+/brightness$"));

    const QString dir = QFileInfo(path).path();
    QRegularExpressionMatch m;
    if ((m = gpioChip.match(boardPath)).hasMatch())
        return m.captured(1).isEmpty() ? exportGpio(dir, text)
                                       : unexport(dir, QStringLiteral("gpio"), text);
    if ((m = gpioLine.match(boardPath)).hasMatch())
        return m.captured(1) == QLatin1String("direction") ? gpioDirection(path, text)
                                                           : gpioValue(path, text);
    if ((m = pwmChip.match(boardPath)).hasMatch())
        return m.captured(1).isEmpty() ? exportPwm(dir, text)
                                       : unexport(dir, QStringLiteral("pwm"), text);
    if ((m = pwmChannel.match(boardPath)).hasMatch())
        return pwmAttribute(path, m.captured(1), text);
    if (backlight.match(boardPath).hasMatch())
        return brightness(path, text);
    return replaceText(path, text);
}

} // namespace platform
