#include "sim/InputDevice.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/input.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sim {

const char InputDevice::BoardPath[] = "/dev/input/event0";

bool InputDevice::create(const QString &root, QString *error)
{
    const QString path = root + QLatin1String(BoardPath);
    if (QFileInfo(path).exists())
        return true;
    QDir().mkpath(QFileInfo(path).path());
    if (::mkfifo(QFile::encodeName(path).constData(), 0660) != 0 && errno != EEXIST) {
        *error = QStringLiteral("cannot create %1: %2")
                     .arg(path, QString::fromLocal8Bit(strerror(errno)));
        return false;
    }
    return true;
}

InputDevice::InputDevice(const QString &root)
{
    QString error;
    if (create(root, &error))
        m_fd = ::open(QFile::encodeName(root + QLatin1String(BoardPath)).constData(),
            O_RDWR | O_NONBLOCK | O_CLOEXEC);
}

InputDevice::~InputDevice()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

QByteArray InputDevice::record(int type, int code, int value)
{
    struct input_event event = {};
    event.type = quint16(type);
    event.code = quint16(code);
    event.value = value;
    return QByteArray(reinterpret_cast<const char *>(&event), int(sizeof(event)));
}

bool InputDevice::report(int type, int code, int value)
{
    return writeBytes(record(type, code, value));
}

bool InputDevice::turnTo(int position)
{
    return writeBytes(record(EV_ABS, ABS_X, position) + record(EV_SYN, SYN_REPORT, 0));
}

bool InputDevice::writeBytes(const QByteArray &bytes)
{
    if (m_fd < 0)
        return false;
    ssize_t n;
    do {
        n = ::write(m_fd, bytes.constData(), size_t(bytes.size()));
    } while (n < 0 && errno == EINTR);
    return n == bytes.size();
}

} // namespace sim
