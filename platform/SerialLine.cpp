#include "platform/SerialLine.h"

#include "platform/BoardPath.h"

#include <QFileInfo>
#include <QSerialPort>

#include <cerrno>

namespace platform {

int SerialLine::open(QSerialPort *port, const QString &boardDevicePath)
{
    const QString path = BoardPath::map(boardDevicePath);
    const QFileInfo device(path);
    if (!device.exists())
        return -ENOENT;
    if (!BoardPath::root().isEmpty()
        && !device.canonicalFilePath().startsWith(QLatin1String("/dev/pts/")))
        return -ENOTTY;
    port->setPortName(path);
    return port->open(QIODevice::ReadWrite) ? 0 : -EIO;
}

} // namespace platform
