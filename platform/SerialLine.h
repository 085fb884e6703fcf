#pragma once

#include <QString>

class QSerialPort;

namespace platform {

// Opening the instrument's serial port, whose line settings act on the machine itself. The
// device is named by its board path ("/dev/ttyO1") and mapped like every board path. On the
// board it is the UART; under a board root it must lead to a pseudo-terminal (a test's pty
// pair), so that a desktop run never opens or sets the line of a host serial port, even one a
// link in the root points to. Once open, the port's own setters carry the line settings.
class SerialLine
{
public:
    // Opens port read-write on the device. Returns 0, -ENOENT (no such device), -ENOTTY (under
    // a board root, not a pseudo-terminal) or -EIO (the port did not open; see its error).
    static int open(QSerialPort *port, const QString &boardDevicePath);
};

} // namespace platform
